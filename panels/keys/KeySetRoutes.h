// The main window's handling of the key assignment editor: a choice is stored in the device's key
// list and its profile object at once; the write button sends the macros and the key table and
// saves the profile.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace nk7x {

class CDeviceBase;
class CKeySetControlUI;
class NotifyRouter;
class UiWindow;
struct UiNotify;

struct KeySetRoutesContext {
    // The device of the page shown (keyboard or mouse) and its editor; null when the page shown
    // has none.
    std::function<CDeviceBase*()> currentKeyboard;
    std::function<CKeySetControlUI*()> currentPanel;
    // Parent of the message boxes; may be null.
    UiWindow* window = nullptr;
    // Message box with a text or a language key (OK only). Empty: the program's message box.
    std::function<void(const QString& text, bool textIsKey)> showMessage;
    // Language text of a key (a message used as a format). Empty: the message boxes' language.
    std::function<QString(const QString& key)> text;
};

class KeySetRoutes {
  public:
    explicit KeySetRoutes(KeySetRoutesContext context);

    void Install(NotifyRouter& router);

    // The handlers, reachable without a router.
    void OnFunction(int index);
    void OnRepeatMode(int index);
    void OnModifier(int option, bool selected);
    void OnDefault();
    void OnCancel();
    void OnWrite();
    // Collects the editor's choice into the selected key of the device and its profile object;
    // nothing is saved or sent. False when no key is selected or there is no editor.
    bool Store();

    // The same store for a given device and editor (key picking on the page).
    static bool StoreOn(CDeviceBase& keyboard, CKeySetControlUI& panel);

  private:
    CDeviceBase* Keyboard() const;
    CKeySetControlUI* Panel() const;
    // A notification from an editor other than the one shown (a page filling its own) edits nothing.
    bool FromShownPanel(const UiNotify& msg) const;
    void Show(const QString& text, bool textIsKey) const;
    QString Text(const QString& key) const;

    KeySetRoutesContext m_ctx;
};

} // namespace nk7x
