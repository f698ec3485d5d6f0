#include "platform/qt/WindowGrabInputHook.h"

#include "platform/input/ScanCodes.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>

#include <linux/input-event-codes.h>

namespace nk7x {
namespace {

struct QtKeyCode {
    int qtKey;
    uint16_t code;
};

// Keys by their toolkit name, for platforms without native codes. Shifted symbols map to the key
// that makes them on a US layout.
constexpr QtKeyCode kQtKeys[] = {
    {Qt::Key_Escape, KEY_ESC},
    {Qt::Key_Tab, KEY_TAB},
    {Qt::Key_Backtab, KEY_TAB},
    {Qt::Key_Backspace, KEY_BACKSPACE},
    {Qt::Key_Return, KEY_ENTER},
    {Qt::Key_Enter, KEY_ENTER},
    {Qt::Key_Insert, KEY_INSERT},
    {Qt::Key_Delete, KEY_DELETE},
    {Qt::Key_Pause, KEY_PAUSE},
    {Qt::Key_Print, KEY_SYSRQ},
    {Qt::Key_Home, KEY_HOME},
    {Qt::Key_End, KEY_END},
    {Qt::Key_Left, KEY_LEFT},
    {Qt::Key_Up, KEY_UP},
    {Qt::Key_Right, KEY_RIGHT},
    {Qt::Key_Down, KEY_DOWN},
    {Qt::Key_PageUp, KEY_PAGEUP},
    {Qt::Key_PageDown, KEY_PAGEDOWN},
    {Qt::Key_Shift, KEY_LEFTSHIFT},
    {Qt::Key_Control, KEY_LEFTCTRL},
    {Qt::Key_Meta, KEY_LEFTMETA},
    {Qt::Key_Alt, KEY_LEFTALT},
    {Qt::Key_CapsLock, KEY_CAPSLOCK},
    {Qt::Key_NumLock, KEY_NUMLOCK},
    {Qt::Key_ScrollLock, KEY_SCROLLLOCK},
    {Qt::Key_Menu, KEY_COMPOSE},
    {Qt::Key_Space, KEY_SPACE},
    {Qt::Key_Minus, KEY_MINUS},
    {Qt::Key_Underscore, KEY_MINUS},
    {Qt::Key_Equal, KEY_EQUAL},
    {Qt::Key_Plus, KEY_EQUAL},
    {Qt::Key_BracketLeft, KEY_LEFTBRACE},
    {Qt::Key_BraceLeft, KEY_LEFTBRACE},
    {Qt::Key_BracketRight, KEY_RIGHTBRACE},
    {Qt::Key_BraceRight, KEY_RIGHTBRACE},
    {Qt::Key_Backslash, KEY_BACKSLASH},
    {Qt::Key_Bar, KEY_BACKSLASH},
    {Qt::Key_Semicolon, KEY_SEMICOLON},
    {Qt::Key_Colon, KEY_SEMICOLON},
    {Qt::Key_Apostrophe, KEY_APOSTROPHE},
    {Qt::Key_QuoteDbl, KEY_APOSTROPHE},
    {Qt::Key_QuoteLeft, KEY_GRAVE},
    {Qt::Key_AsciiTilde, KEY_GRAVE},
    {Qt::Key_Comma, KEY_COMMA},
    {Qt::Key_Less, KEY_COMMA},
    {Qt::Key_Period, KEY_DOT},
    {Qt::Key_Greater, KEY_DOT},
    {Qt::Key_Slash, KEY_SLASH},
    {Qt::Key_Question, KEY_SLASH},
    {Qt::Key_Exclam, KEY_1},
    {Qt::Key_At, KEY_2},
    {Qt::Key_NumberSign, KEY_3},
    {Qt::Key_Dollar, KEY_4},
    {Qt::Key_Percent, KEY_5},
    {Qt::Key_AsciiCircum, KEY_6},
    {Qt::Key_Ampersand, KEY_7},
    {Qt::Key_Asterisk, KEY_8},
    {Qt::Key_ParenLeft, KEY_9},
    {Qt::Key_ParenRight, KEY_0},
};

constexpr uint16_t kLetterCodes[26] = {KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I,
                                       KEY_J, KEY_K, KEY_L, KEY_M, KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R,
                                       KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z};
constexpr uint16_t kDigitCodes[10] = {KEY_0, KEY_1, KEY_2, KEY_3, KEY_4, KEY_5, KEY_6, KEY_7, KEY_8, KEY_9};
constexpr uint16_t kKeypadDigitCodes[10] = {KEY_KP0, KEY_KP1, KEY_KP2, KEY_KP3, KEY_KP4,
                                            KEY_KP5, KEY_KP6, KEY_KP7, KEY_KP8, KEY_KP9};
constexpr uint16_t kFunctionCodes[12] = {KEY_F1, KEY_F2, KEY_F3, KEY_F4,  KEY_F5,  KEY_F6,
                                         KEY_F7, KEY_F8, KEY_F9, KEY_F10, KEY_F11, KEY_F12};

bool IsLockKey(uint16_t code) {
    return code == KEY_CAPSLOCK || code == KEY_NUMLOCK || code == KEY_SCROLLLOCK;
}

std::optional<MouseButtonId> ButtonOf(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        return MouseButtonId::Left;
    case Qt::RightButton:
        return MouseButtonId::Right;
    case Qt::MiddleButton:
        return MouseButtonId::Middle;
    case Qt::BackButton:
        return MouseButtonId::Back;
    case Qt::ForwardButton:
        return MouseButtonId::Forward;
    default:
        break;
    }
    return std::nullopt;
}

} // namespace

std::optional<uint16_t> KeyCodeFromQtKey(int key, bool keypad) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return kLetterCodes[key - Qt::Key_A];
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return keypad ? kKeypadDigitCodes[key - Qt::Key_0] : kDigitCodes[key - Qt::Key_0];
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
        return kFunctionCodes[key - Qt::Key_F1];
    if (keypad) {
        switch (key) {
        case Qt::Key_Slash:
            return KEY_KPSLASH;
        case Qt::Key_Asterisk:
            return KEY_KPASTERISK;
        case Qt::Key_Minus:
            return KEY_KPMINUS;
        case Qt::Key_Plus:
            return KEY_KPPLUS;
        case Qt::Key_Enter:
            return KEY_KPENTER;
        case Qt::Key_Period:
            return KEY_KPDOT;
        default:
            break;
        }
    }
    for (const QtKeyCode& k : kQtKeys)
        if (k.qtKey == key)
            return k.code;
    return std::nullopt;
}

std::optional<InputEvent> InputEventFromKeyEvent(const QKeyEvent& event, bool nativeIsX11) {
    std::optional<uint16_t> code;
    const quint32 native = event.nativeScanCode();
    if (nativeIsX11 && native > static_cast<quint32>(kX11KeyCodeOffset))
        code = static_cast<uint16_t>(native - kX11KeyCodeOffset);
    else
        code = KeyCodeFromQtKey(event.key(), event.modifiers().testFlag(Qt::KeypadModifier));
    if (!code)
        return std::nullopt;
    const std::optional<ScanCode> scan = ScanCodeFromKeyCode(*code);
    if (!scan)
        return std::nullopt;
    return KeyInputEvent(scan->code, scan->extended, event.type() == QEvent::KeyPress, *code);
}

WindowGrabInputHook::WindowGrabInputHook(QWidget* window, QObject* parent)
    : QObject(parent), m_window(window) {
    m_x11 = QGuiApplication::platformName() == QLatin1String("xcb");
}

WindowGrabInputHook::~WindowGrabInputHook() {
    Uninstall();
}

bool WindowGrabInputHook::Install(HookMode mode, InputSink sink) {
    Uninstall();
    if (!m_window) {
        m_lastError = "no window to take the keyboard";
        return false;
    }
    if (!QCoreApplication::instance()) {
        m_lastError = "no application";
        return false;
    }
    m_mode = mode;
    m_sink = std::move(sink);
    m_lastKey = {};
    m_lastMouse = {};
    // The filter sees every key before any control does; the grab makes the desktop's keys come here.
    QCoreApplication::instance()->installEventFilter(this);
    m_window->grabKeyboard();
    m_installed = true;
    m_lastError.clear();
    return true;
}

void WindowGrabInputHook::Uninstall() {
    if (!m_installed)
        return;
    m_installed = false;
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    if (m_window)
        m_window->releaseKeyboard();
    m_sink = nullptr;
}

std::string WindowGrabInputHook::Limitations() const {
    std::string out = "Mouse buttons are recorded only when clicked inside this program's window.";
    if (!m_x11)
        out += "\nKeys are recorded only while this program's window is active.";
    return out;
}

bool WindowGrabInputHook::eventFilter(QObject* watched, QEvent* event) {
    if (!m_installed || !m_sink)
        return false;
    const QEvent::Type type = event->type();
    if ((type == QEvent::KeyPress || type == QEvent::KeyRelease) && watched->isWidgetType()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const LastKey seen{static_cast<int>(type), key->nativeScanCode(), key->key(), key->timestamp(),
                           key->isAutoRepeat()};
        const bool again = seen.type == m_lastKey.type && seen.native == m_lastKey.native &&
                           seen.key == m_lastKey.key && seen.timestamp == m_lastKey.timestamp &&
                           seen.timestamp != 0 && seen.autoRepeat == m_lastKey.autoRepeat;
        const std::optional<InputEvent> input = InputEventFromKeyEvent(*key, m_x11);
        const bool lock = input && IsLockKey(input->keyCode);
        if (!again) {
            m_lastKey = seen;
            // A held key repeats as more presses (and on some desktops releases) flagged as
            // repeats; the recording keeps the one press and the one release of the hand.
            if (input && !key->isAutoRepeat()) {
                InputEvent e = *input;
                const QPoint at = QCursor::pos();
                e.hasPosition = true;
                e.x = at.x();
                e.y = at.y();
                e.timeMs = static_cast<int64_t>(key->timestamp());
                // A copy: the sink may uninstall the hook.
                const InputSink sink = m_sink;
                sink(e);
            }
        }
        // The lock keys go on so that their lights and state follow; every other key stops here.
        return !lock;
    }
    if ((type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease) &&
        HookModeWantsMouse(m_mode) && (watched->isWindowType() || watched->isWidgetType())) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint at = mouse->globalPosition().toPoint();
        const LastMouse seen{static_cast<int>(type), static_cast<int>(mouse->button()), mouse->timestamp(),
                             at};
        const bool again = seen.type == m_lastMouse.type && seen.button == m_lastMouse.button &&
                           seen.timestamp == m_lastMouse.timestamp && seen.at == m_lastMouse.at;
        m_lastMouse = seen;
        if (const std::optional<MouseButtonId> button = ButtonOf(mouse->button()); button && !again) {
            InputEvent e = MouseInputEventAt(*button, type == QEvent::MouseButtonPress, at.x(), at.y());
            e.timeMs = static_cast<int64_t>(mouse->timestamp());
            const InputSink sink = m_sink;
            sink(e);
        }
    }
    return false;
}

} // namespace nk7x
