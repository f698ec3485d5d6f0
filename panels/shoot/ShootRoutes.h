// The main window's handling of the shoot panel: gun and bullet choice, the bullet editor's
// fields, and the save (download to the mouse), reset, import and export buttons. Every route acts
// only while the page shown is a mouse and only on that page's panel.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace nk7x {

class CShootControlUI;
class NotifyRouter;
class UiWindow;
struct UiNotify;

// The filter of the import and export dialogs.
inline constexpr const char* kShootFileFilter = "Shoot Files(*.shoot)";
inline constexpr const char* kShootFileSuffix = ".shoot";
// Shown when an import is refused (the file is no pattern or cannot be read), and when an export
// cannot be written.
inline constexpr const char* kMsgShootImportRefused = "shoot_import_refused_text";
inline constexpr const char* kMsgShootExportFailed = "shoot_export_failed_text";

struct ShootRoutesContext {
    // The shoot panel of the page shown; null when the page has none.
    std::function<CShootControlUI*()> currentPanel;
    // Whether the page shown is a mouse (device type 2). No function: every page counts as one.
    std::function<bool()> currentPageIsMouse;
    // The mouse page's download of its four pattern files into the mouse.
    std::function<void()> downloadShootPatterns;
    UiWindow* window = nullptr; // parent of the dialogs and message boxes
    // File choice (`save`: a save dialog); empty: the toolkit's dialogs with kShootFileFilter.
    std::function<QString(QWidget* parent, bool save, const QString& filter)> chooseFile;
    // A message (a language key) with an OK button; empty: the program's message box.
    std::function<void(const QString& textKey)> showMessage;
};

class ShootRoutes {
  public:
    explicit ShootRoutes(ShootRoutesContext context);

    void Install(NotifyRouter& router);

    // The handlers, reachable without a router; each acts on `panel` (ignored when null).
    void OnGunSelected(CShootControlUI* panel, int gun);
    void OnBulletSelected(CShootControlUI* panel, int bullet);
    // A direction check changed: its caption follows and the bullet is saved with it.
    void OnDirectionChanged(CShootControlUI* panel, bool sideways);
    // An edit box of the bullet lost the focus (or took Enter).
    void OnFieldLeft(CShootControlUI* panel);
    void OnSave(CShootControlUI* panel);
    void OnReset(CShootControlUI* panel);
    void OnImport(CShootControlUI* panel);
    void OnExport(CShootControlUI* panel);

    // The panel a notification is for: the shown mouse page's panel when the sender lies in it
    // (or there is no sender), else null.
    CShootControlUI* TargetOf(const UiNotify& msg) const;

  private:
    CShootControlUI* CurrentPanel() const;
    QString ChooseFile(bool save) const;
    void Show(const char* textKey) const;

    ShootRoutesContext m_ctx;
};

} // namespace nk7x
