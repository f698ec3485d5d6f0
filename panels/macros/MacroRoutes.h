// The main window's handling of the macro editor: its buttons, list selection, delay fields and
// action menu, the delete flow that keeps key assignments consistent, the macro download, and the
// recording and key-picking wiring (hook choice, controls locked while recording).
#pragma once

#include "macros/MacroRecorder.h"
#include "platform/input/InputHook.h"

#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QMenu;
class QWidget;

namespace nk7x {

class CDeviceBase;
class CKeySetControlUI;
class CMacroSetControlUI;
class NotifyRouter;
class RecordingHook;
class UiWindow;

// How long a key pick may hold every keyboard without a key pressed.
inline constexpr int kKeyPickGrabMs = 15000;

struct MacroRoutesContext {
    // The panel of the page shown and its device; null when the page has none.
    std::function<CMacroSetControlUI*()> currentPanel;
    std::function<CDeviceBase*()> currentDevice;
    // The device whose key assignments follow the macros (keyboard or mouse); null when none.
    std::function<CDeviceBase*()> currentKeyboard;
    // The key assignment editor of the page shown; may be empty or give null.
    std::function<CKeySetControlUI*()> currentKeyPanel;
    // Locks (false) or frees the device list and the page's profile panel while recording.
    std::function<void(bool enabled)> setPageSwitching;
    UiWindow* window = nullptr; // parent of the boxes and the menu
    // The action menu's file; empty (or no function) when there is none.
    std::function<QString()> actionMenuPath;
    // The hook; empty: evdev, else the window grab of `window`.
    std::function<std::unique_ptr<RecordingHook>()> makeHook;
    // File choice (as the profile routes); message box (buttons 0 OK, 1 OK/Cancel; 1 for OK;
    // `owned`: owned by the window); language text. Empty: the program's own.
    std::function<QString(QWidget* parent, bool save, const QString& filter)> chooseFile;
    std::function<int(const QString& text, bool textIsKey, int buttons, bool owned)> showMessage;
    std::function<QString(const QString& key)> text;
};

class MacroRoutes {
  public:
    explicit MacroRoutes(MacroRoutesContext context);
    ~MacroRoutes();

    void Install(NotifyRouter& router);

    // The handlers, reachable without a router.
    void OnCreate();
    void OnDelete();
    void OnRename();
    void OnSave();
    void OnImport();
    void OnExport();
    // An action menu item or an insert; recording items start a recording.
    void OnMenuItem(const QString& item);
    void ShowActionMenu();
    QMenu* ActionMenu() const { return m_menu.get(); }

    // Recording (hook mode from the placement).
    void StartRecording(DelayMode mode, RecordPlacement placement);
    // Ends a running recording: hook removed, controls freed, macro saved. Also ends key picking.
    void StopRecording();
    bool Recording() const;
    // Key picking while the key editor's name field has the focus.
    void StartKeyPicking();
    void StopKeyPicking();
    RecordingHook* Hook() const { return m_hook.get(); }
    // The message boxes from now on (tests answer them).
    void
    SetShowMessage(std::function<int(const QString& text, bool textIsKey, int buttons, bool owned)> show) {
        m_ctx.showMessage = std::move(show);
    }
    // Replaces the hook (not while one is installed).
    void SetHook(std::unique_ptr<RecordingHook> hook);

  private:
    CMacroSetControlUI* Panel() const;
    CKeySetControlUI* KeyPanel() const;
    int Show(const QString& text, bool textIsKey, int buttons, bool owned) const;
    QString Text(const QString& key) const;
    QString ChooseFile(bool save) const;
    RecordingHook& EnsureHook();
    void OnInput(const InputEvent& event);
    void DownloadMacros(CDeviceBase& device) const;
    // After the list of names changed: the key editor's choices and the page follow.
    void NamesChanged(bool captions) const;

    MacroRoutesContext m_ctx;
    std::unique_ptr<RecordingHook> m_hook;
    int m_pickGeneration = 0;                 // which key pick a grab's time limit belongs to
    QPointer<CMacroSetControlUI> m_recording; // the panel being recorded into
    std::unique_ptr<QMenu> m_menu;
};

} // namespace nk7x
