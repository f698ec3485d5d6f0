// The main window's tray icon and its menu (read from the skin's "menu.xml"), and the window's way
// into the tray and back: the close button hides it there, a left click on the icon shows or hides
// it, a second start of the program brings it to the front, a start in the tray keeps it there.
#pragma once

#include <QString>

#include <functional>
#include <memory>

class QIcon;
class QMenu;
class QSystemTrayIcon;

namespace nk7x {

class LanguageTexts;
class UiWindow;

// Whether the desktop has a tray: asked of the desktop (Auto), or decided by whoever starts the
// window (a test, a session known to lack one).
enum class TrayPresence { Auto, Absent, Present };

struct TrayIconContext {
    UiWindow* window = nullptr; // parent of the icon; the window that goes into the tray and back
    TrayPresence presence = TrayPresence::Auto;
    // Start in the tray: the end of the start-up scan leaves the window there (see OnInstanceRequest).
    bool startHidden = false;
    // False while the system sleeps: clicks and menu choices are ignored then.
    std::function<bool()> running;
    std::function<void()> closeSecondaryWindows;
    // The device list (and its "no device" notice) brought up to date before the window shows.
    std::function<void()> refreshDeviceList;
    std::function<void()> applyScalePolicy;
    std::function<void()> openAbout;
    std::function<void()> openSettings;
};

class TrayIcon {
  public:
    explicit TrayIcon(TrayIconContext context);
    ~TrayIcon();

    // Makes the icon and the menu described in `menuFile`; the icon shows when there is a tray.
    void Create(const QIcon& icon, const QString& menuFile);
    // Hides the icon (the window is shutting down).
    void Hide();

    bool Available() const;

    // A choice in the menu: "exit", "about_menu", "setwnd_menu".
    void OnMenuChoice(const QString& item);
    void OnLeftClick();
    // The close button: into the tray; without one the window could not be found again, so it is
    // minimised.
    void HideWindow();
    // The instance request, once the window has checked that it runs: lParam 0 is the end of the
    // start-up scan, 1 a second start.
    void OnInstanceRequest(qint64 lParam);
    // The device list brought up to date and the window to the front, unless it starts in the tray.
    void FrontAndRefresh();

    // The menu's items in the language of `texts`.
    void Retranslate(const LanguageTexts& texts);

    QMenu* Menu() const { return m_menu.get(); }
    QSystemTrayIcon* Icon() const { return m_icon; }

  private:
    TrayIconContext m_ctx;
    QSystemTrayIcon* m_icon = nullptr; // a child of the window, deleted first (it refers to the menu)
    std::unique_ptr<QMenu> m_menu;
};

} // namespace nk7x
