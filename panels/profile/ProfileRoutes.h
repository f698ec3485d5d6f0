// The main window's handling of the profile panel: its buttons, the delayed profile switch after a
// combo selection (timer 1055), rename, import, export, reset and the tab options.
#pragma once

#include "ui/NotifyRouter.h"

#include <QString>

#include <functional>
#include <string>

class QWidget;

namespace nk7x {

class CDeviceBase;
class CDeviceProfileUI;
class UiWindow;

inline constexpr int kProfileSwitchTimerId = 1055;
inline constexpr int kProfileSwitchDelayMs = 400;

// A language text used as a format with one count: its first "%d" becomes n ("%%" stays a single
// percent sign); any other directive is left as written, so a translation cannot misuse the count.
QString FormatMessageCount(const QString& format, int n);

struct ProfileRoutesContext {
    std::function<CDeviceBase*()> currentDevice;            // device of the page shown; null when none
    std::function<CDeviceProfileUI*()> currentProfilePanel; // its profile panel; null when none
    UiWindow* window = nullptr;                             // owner of timer 1055 and parent of the boxes
    std::function<void()> hideKeyEditor;                    // may be empty

    // File choice for import (save = false) and export (save = true); returns the path, empty when
    // the user cancelled. Empty: the desktop's file dialog.
    std::function<QString(QWidget* parent, bool save, const QString& filter)> chooseFile;
    // Message box with a text or a language key; buttons 0 = OK, 1 = OK / Cancel; returns 1 for
    // OK. Empty: the program's message box.
    std::function<int(QWidget* parent, const QString& text, bool textIsKey, int buttons)> showMessage;
    // Language text of a key (a message used as a format). Empty: the message boxes' language,
    // else the key itself.
    std::function<QString(const QString& key)> text;
    // A page's profile panel has switched to another profile (the window's, or a script's); may be
    // empty.
    std::function<void(CDeviceProfileUI& panel)> profileSwitched;
};

class ProfileRoutes {
  public:
    explicit ProfileRoutes(ProfileRoutesContext context);

    void Install(NotifyRouter& router);
    // Timer 1055: switches the device to the panel's selected profile. True when `id` is 1055.
    bool OnTimer(int id);

    // The handlers, also reachable without a router.
    void OnComboSelect();
    void OnRename();
    void OnImport();
    void OnExport();
    void OnReset();
    void OnTab(int n, bool selected);
    // Switches a page to profile `index` of its panel as a choice in the panel does: the list's
    // selection stored, the profile loaded into `device` (when there is one), the page refreshed
    // and what the device keeps written to it. False, and nothing changes, for an index out of range.
    bool SwitchTo(CDeviceProfileUI& panel, CDeviceBase* device, int index);

  private:
    CDeviceBase* Device() const;
    CDeviceProfileUI* Panel() const;
    QString ChooseFile(bool save) const;
    int Show(const QString& text, bool textIsKey, int buttons) const;
    QString Text(const QString& key) const;
    // DownloadMacros and its message.
    void DownloadMacros(CDeviceBase& device) const;
    void OnTimerSwitch();
    // The profile `uuid` into the device, the page refreshed, the device written.
    void Load(CDeviceBase& device, const std::string& uuid);

    ProfileRoutesContext m_ctx;
};

} // namespace nk7x
