#include "panels/keys/KeyPicking.h"

#include "macros/KeyTables.h"
#include "platform/input/ScanCodes.h"

#include <QGuiApplication>
#include <QKeyEvent>

namespace nk7x {
namespace {

struct QtUsage {
    int key;
    uint8_t usage;
};

constexpr QtUsage kQtKeys[] = {
    {Qt::Key_Return, 0x28},      {Qt::Key_Enter, 0x28},        {Qt::Key_Escape, 0x29},
    {Qt::Key_Backspace, 0x2A},   {Qt::Key_Tab, 0x2B},          {Qt::Key_Backtab, 0x2B},
    {Qt::Key_Space, 0x2C},       {Qt::Key_Minus, 0x2D},        {Qt::Key_Equal, 0x2E},
    {Qt::Key_BracketLeft, 0x2F}, {Qt::Key_BracketRight, 0x30}, {Qt::Key_Backslash, 0x31},
    {Qt::Key_Semicolon, 0x33},   {Qt::Key_Apostrophe, 0x34},   {Qt::Key_QuoteLeft, 0x35},
    {Qt::Key_Comma, 0x36},       {Qt::Key_Period, 0x37},       {Qt::Key_Slash, 0x38},
    {Qt::Key_CapsLock, 0x39},    {Qt::Key_Print, 0x46},        {Qt::Key_ScrollLock, 0x47},
    {Qt::Key_Pause, 0x48},       {Qt::Key_Insert, 0x49},       {Qt::Key_Home, 0x4A},
    {Qt::Key_PageUp, 0x4B},      {Qt::Key_Delete, 0x4C},       {Qt::Key_End, 0x4D},
    {Qt::Key_PageDown, 0x4E},    {Qt::Key_Right, 0x4F},        {Qt::Key_Left, 0x50},
    {Qt::Key_Down, 0x51},        {Qt::Key_Up, 0x52},           {Qt::Key_NumLock, 0x53},
    {Qt::Key_Menu, 0x65},
};

// Keypad keys (with the keypad modifier) in their own usages.
constexpr QtUsage kQtKeypad[] = {
    {Qt::Key_Slash, 0x54}, {Qt::Key_Asterisk, 0x55}, {Qt::Key_Minus, 0x56}, {Qt::Key_Plus, 0x57},
    {Qt::Key_Enter, 0x58}, {Qt::Key_Period, 0x63},   {Qt::Key_Comma, 0x63},
};

// Modifier keys by row: rows 0-7 are left Ctrl, Shift, Alt, Win, then the right ones.
constexpr std::pair<int, std::size_t> kQtModifiers[] = {
    {Qt::Key_Control, 0}, {Qt::Key_Shift, 1}, {Qt::Key_Alt, 2},     {Qt::Key_Meta, 3},
    {Qt::Key_Super_L, 3}, {Qt::Key_AltGr, 6}, {Qt::Key_Super_R, 7},
};

} // namespace

std::optional<std::size_t> KeyRowOfEvdevCode(uint32_t code) {
    if (code == 0 || code > 0xFFFF)
        return std::nullopt;
    const std::optional<ScanCode> scan = ScanCodeFromKeyCode(static_cast<uint16_t>(code));
    if (!scan)
        return std::nullopt;
    return FindKeyByScanCode(scan->code, scan->extended);
}

std::optional<std::size_t> KeyRowOfQtKey(int key, bool keypad) {
    for (const auto& [qt, row] : kQtModifiers)
        if (qt == key)
            return row;
    if (keypad) {
        if (key >= Qt::Key_1 && key <= Qt::Key_9)
            return FindKeyByUsage(static_cast<uint8_t>(0x59 + (key - Qt::Key_1)));
        if (key == Qt::Key_0)
            return FindKeyByUsage(0x62);
        for (const QtUsage& k : kQtKeypad)
            if (k.key == key)
                return FindKeyByUsage(k.usage);
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return FindKeyByUsage(static_cast<uint8_t>(0x04 + (key - Qt::Key_A)));
    if (key >= Qt::Key_1 && key <= Qt::Key_9)
        return FindKeyByUsage(static_cast<uint8_t>(0x1E + (key - Qt::Key_1)));
    if (key == Qt::Key_0)
        return FindKeyByUsage(0x27);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
        return FindKeyByUsage(static_cast<uint8_t>(0x3A + (key - Qt::Key_F1)));
    for (const QtUsage& k : kQtKeys)
        if (k.key == key)
            return FindKeyByUsage(k.usage);
    return std::nullopt;
}

std::optional<std::size_t> KeyRowOfEvent(const QKeyEvent& event) {
    const uint32_t native = event.nativeScanCode();
    const QString platform = QGuiApplication::platformName();
    const bool xkb = platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
    if (native > kX11KeyCodeOffset && xkb) {
        if (const std::optional<std::size_t> row = KeyRowOfEvdevCode(native - kX11KeyCodeOffset))
            return row;
    }
    return KeyRowOfQtKey(event.key(), event.modifiers().testFlag(Qt::KeypadModifier));
}

} // namespace nk7x
