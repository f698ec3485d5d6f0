// The main window's secondary windows: the settings window (one at a time, with the device list's
// firmware versions), the about window and the skin picker, and what they report back.
#pragma once

#include "windows/AboutWnd.h"
#include "windows/SetWnd.h"
#include "windows/SkinFrame.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

namespace nk7x {

class SettingsStore;
class UiWindow;

struct SecondaryWindowsContext {
    UiWindow* owner = nullptr;
    SettingsStore* store = nullptr;
    // The device list's firmware versions in its order (0: no open link).
    std::function<std::vector<uint16_t>()> deviceVersions;
    std::function<QStringList()> languageKeys;
    std::function<int()> languageIndex;
    std::function<void(int)> chooseLanguage;
    // The settings window reported that everything is up to date.
    std::function<void()> upToDate;
    // Start with the desktop: both empty when not offered.
    std::function<bool()> autostartEnabled;
    std::function<bool(bool)> setAutostart;
    // The lighting server: all empty when not offered (see SetWndContext).
    std::function<bool()> sdkServerEnabled;
    std::function<bool(bool)> setSdkServer;
    std::function<QString()> sdkServerState;
    std::function<QString()> trackingState;
};

class SecondaryWindows {
  public:
    explicit SecondaryWindows(SecondaryWindowsContext context);
    ~SecondaryWindows();

    enum class Placement { Centred, BesideButton };
    // Opens the settings window unless one is open (then it is brought to the front). Returns it.
    CSetWnd* OpenSettings(Placement placement);
    CAboutWnd* OpenAbout();
    // Opens the picker under the skin button; a second click while it is open closes it.
    CSkinFrame* OpenSkinPicker(QWidget* button);

    CSetWnd* Settings() const { return m_settings; }
    CAboutWnd* About() const { return m_about; }
    CSkinFrame* SkinPicker() const { return m_skin; }

    void CloseAll();
    // The interface switched language.
    void LanguageChanged();

  private:
    SecondaryWindowsContext m_ctx;
    QPointer<CSetWnd> m_settings;
    QPointer<CAboutWnd> m_about;
    QPointer<CSkinFrame> m_skin;
};

} // namespace nk7x
