// The main window's handling of the keyboard page's own controls: the settings controls (stored in
// the profile, saved and, where the keyboard holds them, written), the restore-defaults button and
// the clicks on the key buttons of the picture.
#pragma once

#include <functional>

class QWidget;

namespace nk7x {

class CKeyboardDevice;
class NotifyRouter;
class UiWindow;
struct UiNotify;

struct KeyboardRoutesContext {
    // The keyboard of the page shown; null when the page shown is not a keyboard's.
    std::function<CKeyboardDevice*()> currentKeyboard;
    // Parent of the message boxes; may be null.
    UiWindow* window = nullptr;
};

class KeyboardRoutes {
  public:
    explicit KeyboardRoutes(KeyboardRoutesContext context);

    void Install(NotifyRouter& router);

    // The handlers, reachable without a router. `number` is the index of a numbered name.
    void OnPollingRate(const UiNotify& msg, int option);
    void OnFlagOption(const UiNotify& msg);
    void OnRepeatRate(const UiNotify& msg);
    void OnRepeatDelay(const UiNotify& msg, int option);
    void OnDefaults();
    void OnKeyClick(int keyIndex);

  private:
    CKeyboardDevice* Keyboard() const;

    KeyboardRoutesContext m_ctx;
};

} // namespace nk7x
