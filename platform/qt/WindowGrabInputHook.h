// The input hook that always works: while installed, one window of this program takes the keyboard
// (on X11 a real grab of the whole desktop's keyboard) and every key and mouse button that reaches
// this program is passed to the sink on the UI thread, with the cursor position. Keys reach no
// other control of the program; mouse buttons still do, so the stop button can be clicked.
#pragma once

#include "platform/input/InputHook.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <optional>

class QKeyEvent;

namespace nk7x {

// The Linux input key code of a toolkit key, for platforms that give no native code (offscreen,
// Wayland): the common keys only; nothing for others.
std::optional<uint16_t> KeyCodeFromQtKey(int key, bool keypad);

// The input event of a toolkit key event: by its native code where the platform gives one (X11
// key codes are the Linux codes plus 8), else by the toolkit key. Nothing for keys without a scan
// code.
std::optional<InputEvent> InputEventFromKeyEvent(const QKeyEvent& event, bool nativeIsX11);

class WindowGrabInputHook final : public QObject, public IInputHook {
    Q_OBJECT
  public:
    // `window` takes the keyboard while installed; it may go away (Install then fails).
    explicit WindowGrabInputHook(QWidget* window, QObject* parent = nullptr);
    ~WindowGrabInputHook() override;

    bool Install(HookMode mode, InputSink sink) override;
    void Uninstall() override;
    bool Installed() const override { return m_installed; }
    HookMode Mode() const override { return m_mode; }
    std::string Name() const override { return "this program's window"; }
    std::string LastError() const override { return m_lastError; }
    std::string Limitations() const override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPointer<QWidget> m_window;
    HookMode m_mode = HookMode::Record;
    InputSink m_sink;
    bool m_installed = false;
    bool m_x11 = false;
    std::string m_lastError;
    // The last key event handled: a key event the program passes on to a parent is seen again.
    struct LastKey {
        int type = 0;
        quint32 native = 0;
        int key = 0;
        quint64 timestamp = 0;
        bool autoRepeat = false;
    } m_lastKey;
    // The same for mouse buttons: the window and then the control under the cursor see each click.
    struct LastMouse {
        int type = 0;
        int button = 0;
        quint64 timestamp = 0;
        QPoint at;
    } m_lastMouse;
};

} // namespace nk7x
