#include "macros/KeyTables.h"

#include <array>

namespace nk7x {
namespace {

// Rows 0-7 modifiers, 8-103 standard keys, 104-112 international keys, 113-130 consumer keys,
// 131-133 system-control keys, 134-138 the device macro keys, 139-140 FN and GM. The virtual-key
// column of rows 91 and 131-133 is a substitute; the device keys (134-140) have none.
// clang-format off
constexpr std::array<KeyTableRow, kKeyTableSize> kKeys{{
    {0xA2, 0, kKeyboardPage, 0x01, 0x00, 0, "keyboard_key_LCtrl"}, // 0
    {0xA0, 0, kKeyboardPage, 0x02, 0x00, 0, "keyboard_key_LShift"}, // 1
    {0xA4, 0, kKeyboardPage, 0x04, 0x00, 0, "keyboard_key_LAlt"}, // 2
    {0x5B, 0, kKeyboardPage, 0x08, 0x00, 0, "keyboard_key_LWin"}, // 3
    {0xA3, 0, kKeyboardPage, 0x10, 0x00, 0, "keyboard_key_RCtrl"}, // 4
    {0xA1, 0, kKeyboardPage, 0x20, 0x00, 0, "keyboard_key_RShift"}, // 5
    {0xA5, 0, kKeyboardPage, 0x40, 0x00, 0, "keyboard_key_RAlt"}, // 6
    {0x5C, 0, kKeyboardPage, 0x80, 0x00, 0, "keyboard_key_RWin"}, // 7
    {0x41, 0, kKeyboardPage, 0x00, 0x04, 0, "keyboard_key_A"}, // 8
    {0x42, 0, kKeyboardPage, 0x00, 0x05, 0, "keyboard_key_B"}, // 9
    {0x43, 0, kKeyboardPage, 0x00, 0x06, 0, "keyboard_key_C"}, // 10
    {0x44, 0, kKeyboardPage, 0x00, 0x07, 0, "keyboard_key_D"}, // 11
    {0x45, 0, kKeyboardPage, 0x00, 0x08, 0, "keyboard_key_E"}, // 12
    {0x46, 0, kKeyboardPage, 0x00, 0x09, 0, "keyboard_key_F"}, // 13
    {0x47, 0, kKeyboardPage, 0x00, 0x0A, 0, "keyboard_key_G"}, // 14
    {0x48, 0, kKeyboardPage, 0x00, 0x0B, 0, "keyboard_key_H"}, // 15
    {0x49, 0, kKeyboardPage, 0x00, 0x0C, 0, "keyboard_key_I"}, // 16
    {0x4A, 0, kKeyboardPage, 0x00, 0x0D, 0, "keyboard_key_J"}, // 17
    {0x4B, 0, kKeyboardPage, 0x00, 0x0E, 0, "keyboard_key_K"}, // 18
    {0x4C, 0, kKeyboardPage, 0x00, 0x0F, 0, "keyboard_key_L"}, // 19
    {0x4D, 0, kKeyboardPage, 0x00, 0x10, 0, "keyboard_key_M"}, // 20
    {0x4E, 0, kKeyboardPage, 0x00, 0x11, 0, "keyboard_key_N"}, // 21
    {0x4F, 0, kKeyboardPage, 0x00, 0x12, 0, "keyboard_key_O"}, // 22
    {0x50, 0, kKeyboardPage, 0x00, 0x13, 0, "keyboard_key_P"}, // 23
    {0x51, 0, kKeyboardPage, 0x00, 0x14, 0, "keyboard_key_Q"}, // 24
    {0x52, 0, kKeyboardPage, 0x00, 0x15, 0, "keyboard_key_R"}, // 25
    {0x53, 0, kKeyboardPage, 0x00, 0x16, 0, "keyboard_key_S"}, // 26
    {0x54, 0, kKeyboardPage, 0x00, 0x17, 0, "keyboard_key_T"}, // 27
    {0x55, 0, kKeyboardPage, 0x00, 0x18, 0, "keyboard_key_U"}, // 28
    {0x56, 0, kKeyboardPage, 0x00, 0x19, 0, "keyboard_key_V"}, // 29
    {0x57, 0, kKeyboardPage, 0x00, 0x1A, 0, "keyboard_key_W"}, // 30
    {0x58, 0, kKeyboardPage, 0x00, 0x1B, 0, "keyboard_key_X"}, // 31
    {0x59, 0, kKeyboardPage, 0x00, 0x1C, 0, "keyboard_key_Y"}, // 32
    {0x5A, 0, kKeyboardPage, 0x00, 0x1D, 0, "keyboard_key_Z"}, // 33
    {0x31, 0, kKeyboardPage, 0x00, 0x1E, 0, "keyboard_key_1"}, // 34
    {0x32, 0, kKeyboardPage, 0x00, 0x1F, 0, "keyboard_key_2"}, // 35
    {0x33, 0, kKeyboardPage, 0x00, 0x20, 0, "keyboard_key_3"}, // 36
    {0x34, 0, kKeyboardPage, 0x00, 0x21, 0, "keyboard_key_4"}, // 37
    {0x35, 0, kKeyboardPage, 0x00, 0x22, 0, "keyboard_key_5"}, // 38
    {0x36, 0, kKeyboardPage, 0x00, 0x23, 0, "keyboard_key_6"}, // 39
    {0x37, 0, kKeyboardPage, 0x00, 0x24, 0, "keyboard_key_7"}, // 40
    {0x38, 0, kKeyboardPage, 0x00, 0x25, 0, "keyboard_key_8"}, // 41
    {0x39, 0, kKeyboardPage, 0x00, 0x26, 0, "keyboard_key_9"}, // 42
    {0x30, 0, kKeyboardPage, 0x00, 0x27, 0, "keyboard_key_0"}, // 43
    {0x0D, 0, kKeyboardPage, 0x00, 0x28, 0, "keyboard_key_Enter"}, // 44
    {0x1B, 0, kKeyboardPage, 0x00, 0x29, 0, "keyboard_key_Esc"}, // 45
    {0x08, 0, kKeyboardPage, 0x00, 0x2A, 0, "keyboard_key_BackSpace"}, // 46
    {0x09, 0, kKeyboardPage, 0x00, 0x2B, 0, "keyboard_key_Tab"}, // 47
    {0x20, 0, kKeyboardPage, 0x00, 0x2C, 0, "keyboard_key_Space"}, // 48
    {0xBD, 0, kKeyboardPage, 0x00, 0x2D, 0, "keyboard_key_-"}, // 49
    {0xBB, 0, kKeyboardPage, 0x00, 0x2E, 0, "keyboard_key_="}, // 50
    {0xDB, 0, kKeyboardPage, 0x00, 0x2F, 0, "keyboard_key_["}, // 51
    {0xDD, 0, kKeyboardPage, 0x00, 0x30, 0, "keyboard_key_]"}, // 52
    {0xDC, 0, kKeyboardPage, 0x00, 0x31, 0, "keyboard_key_xiegang"}, // 53
    {0xBA, 0, kKeyboardPage, 0x00, 0x33, 0, "keyboard_key_;"}, // 54
    {0xDE, 0, kKeyboardPage, 0x00, 0x34, 0, "keyboard_key_'"}, // 55
    {0xC0, 0, kKeyboardPage, 0x00, 0x35, 0, "keyboard_key_`"}, // 56
    {0xBC, 0, kKeyboardPage, 0x00, 0x36, 0, "keyboard_key_<"}, // 57
    {0xBE, 0, kKeyboardPage, 0x00, 0x37, 0, "keyboard_key_."}, // 58
    {0xBF, 0, kKeyboardPage, 0x00, 0x38, 0, "keyboard_key_/"}, // 59
    {0x14, 0, kKeyboardPage, 0x00, 0x39, 0, "keyboard_key_Caplk"}, // 60
    {0x70, 0, kKeyboardPage, 0x00, 0x3A, 0, "keyboard_key_F1"}, // 61
    {0x71, 0, kKeyboardPage, 0x00, 0x3B, 0, "keyboard_key_F2"}, // 62
    {0x72, 0, kKeyboardPage, 0x00, 0x3C, 0, "keyboard_key_F3"}, // 63
    {0x73, 0, kKeyboardPage, 0x00, 0x3D, 0, "keyboard_key_F4"}, // 64
    {0x74, 0, kKeyboardPage, 0x00, 0x3E, 0, "keyboard_key_F5"}, // 65
    {0x75, 0, kKeyboardPage, 0x00, 0x3F, 0, "keyboard_key_F6"}, // 66
    {0x76, 0, kKeyboardPage, 0x00, 0x40, 0, "keyboard_key_F7"}, // 67
    {0x77, 0, kKeyboardPage, 0x00, 0x41, 0, "keyboard_key_F8"}, // 68
    {0x78, 0, kKeyboardPage, 0x00, 0x42, 0, "keyboard_key_F9"}, // 69
    {0x79, 0, kKeyboardPage, 0x00, 0x43, 0, "keyboard_key_F10"}, // 70
    {0x7A, 0, kKeyboardPage, 0x00, 0x44, 0, "keyboard_key_F11"}, // 71
    {0x7B, 0, kKeyboardPage, 0x00, 0x45, 0, "keyboard_key_F12"}, // 72
    {0x2C, 0, kKeyboardPage, 0x00, 0x46, 0, "keyboard_key_Print Scr"}, // 73
    {0x91, 0, kKeyboardPage, 0x00, 0x47, 0, "keyboard_key_Scroll Lock"}, // 74
    {0x13, 0, kKeyboardPage, 0x00, 0x48, 0, "keyboard_key_Pause"}, // 75
    {0x2D, 0, kKeyboardPage, 0x00, 0x49, 0, "keyboard_key_Insert"}, // 76
    {0x24, 0, kKeyboardPage, 0x00, 0x4A, 0, "keyboard_key_Home"}, // 77
    {0x21, 0, kKeyboardPage, 0x00, 0x4B, 0, "keyboard_key_Page Up"}, // 78
    {0x2E, 0, kKeyboardPage, 0x00, 0x4C, 0, "keyboard_key_Delete"}, // 79
    {0x23, 0, kKeyboardPage, 0x00, 0x4D, 0, "keyboard_key_End"}, // 80
    {0x22, 0, kKeyboardPage, 0x00, 0x4E, 0, "keyboard_key_Page Down"}, // 81
    {0x27, 0, kKeyboardPage, 0x00, 0x4F, 0, "keyboard_key_Right"}, // 82
    {0x25, 0, kKeyboardPage, 0x00, 0x50, 0, "keyboard_key_Left"}, // 83
    {0x28, 0, kKeyboardPage, 0x00, 0x51, 0, "keyboard_key_Down"}, // 84
    {0x26, 0, kKeyboardPage, 0x00, 0x52, 0, "keyboard_key_Up"}, // 85
    {0x90, 0, kKeyboardPage, 0x00, 0x53, 0, "keyboard_key_Num Lock"}, // 86
    {0x6F, 0, kKeyboardPage, 0x00, 0x54, 0, "keyboard_key_Num /"}, // 87
    {0x6A, 0, kKeyboardPage, 0x00, 0x55, 0, "keyboard_key_Num *"}, // 88
    {0x6D, 0, kKeyboardPage, 0x00, 0x56, 0, "keyboard_key_Num -"}, // 89
    {0x6B, 0, kKeyboardPage, 0x00, 0x57, 0, "keyboard_key_Num +"}, // 90
    {0x01, 1, kKeyboardPage, 0x00, 0x58, 0, "keyboard_key_Num Enter"}, // 91
    {0x61, 0, kKeyboardPage, 0x00, 0x59, 0, "keyboard_key_Num 1"}, // 92
    {0x62, 0, kKeyboardPage, 0x00, 0x5A, 0, "keyboard_key_Num 2"}, // 93
    {0x63, 0, kKeyboardPage, 0x00, 0x5B, 0, "keyboard_key_Num 3"}, // 94
    {0x64, 0, kKeyboardPage, 0x00, 0x5C, 0, "keyboard_key_Num 4"}, // 95
    {0x65, 0, kKeyboardPage, 0x00, 0x5D, 0, "keyboard_key_Num 5"}, // 96
    {0x66, 0, kKeyboardPage, 0x00, 0x5E, 0, "keyboard_key_Num 6"}, // 97
    {0x67, 0, kKeyboardPage, 0x00, 0x5F, 0, "keyboard_key_Num 7"}, // 98
    {0x68, 0, kKeyboardPage, 0x00, 0x60, 0, "keyboard_key_Num 8"}, // 99
    {0x69, 0, kKeyboardPage, 0x00, 0x61, 0, "keyboard_key_Num 9"}, // 100
    {0x60, 0, kKeyboardPage, 0x00, 0x62, 0, "keyboard_key_Num 0"}, // 101
    {0x6E, 0, kKeyboardPage, 0x00, 0x63, 0, "keyboard_key_Decimal"}, // 102
    {0x5D, 0, kKeyboardPage, 0x00, 0x65, 0, "keyboard_key_App"}, // 103
    {0xE2, 0, kKeyboardPage, 0x00, 0x64, 0, "keyboard_key_K45"}, // 104
    {0xC1, 0, kKeyboardPage, 0x00, 0x87, 0, "keyboard_key_K56"}, // 105
    {0xFF, 0, kKeyboardPage, 0x00, 0x89, 0, "keyboard_key_K14"}, // 106
    {0xC2, 0, kKeyboardPage, 0x00, 0x85, 0, "keyboard_key_K107"}, // 107
    {0xEB, 0, kKeyboardPage, 0x00, 0x8B, 0, "keyboard_key_K131"}, // 108
    {0xFF, 0, kKeyboardPage, 0x00, 0x8A, 0, "keyboard_key_K132"}, // 109
    {0xFF, 0, kKeyboardPage, 0x00, 0x88, 0, "keyboard_key_K133"}, // 110
    {0xE9, 0, kKeyboardPage, 0x00, 0x91, 0, "keyboard_key_K150"}, // 111
    {0xFF, 0, kKeyboardPage, 0x00, 0x90, 0, "keyboard_key_K151"}, // 112
    {0xB7, 0, kConsumerPage, 0x92, 0x01, 0, "keyboard_key_Launch App2"}, // 113
    {0xAC, 0, kConsumerPage, 0x23, 0x02, 0, "keyboard_key_Browaer Home"}, // 114
    {0xB3, 0, kConsumerPage, 0xCD, 0x00, 0, "keyboard_key_Media Play Pause"}, // 115
    {0xAA, 0, kConsumerPage, 0x21, 0x02, 0, "keyboard_key_Browser Search"}, // 116
    {0xB4, 0, kConsumerPage, 0x8A, 0x01, 0, "keyboard_key_Launch Mail"}, // 117
    {0xAF, 0, kConsumerPage, 0xE9, 0x00, 0, "keyboard_key_Volume Up"}, // 118
    {0xAD, 0, kConsumerPage, 0xE2, 0x00, 0, "keyboard_key_Volume Mute"}, // 119
    {0xB2, 0, kConsumerPage, 0xB7, 0x00, 0, "keyboard_key_Media Stop"}, // 120
    {0xAE, 0, kConsumerPage, 0xEA, 0x00, 0, "keyboard_key_Volume Down"}, // 121
    {0xAB, 0, kConsumerPage, 0x2A, 0x02, 0, "keyboard_key_Browser Favorites"}, // 122
    {0xA7, 0, kConsumerPage, 0x25, 0x02, 0, "keyboard_key_Browser ForWard"}, // 123
    {0xA6, 0, kConsumerPage, 0x24, 0x02, 0, "keyboard_key_Browser Back"}, // 124
    {0xB1, 0, kConsumerPage, 0xB6, 0x00, 0, "keyboard_key_Media Prev Track"}, // 125
    {0xB0, 0, kConsumerPage, 0xB5, 0x00, 0, "keyboard_key_Media Next Track"}, // 126
    {0xB6, 0, kConsumerPage, 0x94, 0x01, 0, "keyboard_key_Computer"}, // 127
    {0xA8, 0, kConsumerPage, 0x27, 0x02, 0, "keyboard_key_Browser Refresh"}, // 128
    {0xA9, 0, kConsumerPage, 0x26, 0x02, 0, "wed_stop"}, // 129
    {0xB5, 0, kConsumerPage, 0x83, 0x01, 0, "keyboard_key_Launch Media Select"}, // 130
    {0x03, 1, kSystemControl, 0x01, 0x00, 0, "keyboard_key_Power"}, // 131
    {0x04, 1, kSystemControl, 0x02, 0x00, 0, "keyboard_key_Sleep"}, // 132
    {0x05, 1, kSystemControl, 0x04, 0x00, 0, "keyboard_key_Wakeup"}, // 133
    {0x00, 0, kDeviceMacro, 0xA2, 0x01, 0, "keyboard_key_M1"}, // 134
    {0x00, 0, kDeviceMacro, 0xA2, 0x02, 0, "keyboard_key_M2"}, // 135
    {0x00, 0, kDeviceMacro, 0xA2, 0x03, 0, "keyboard_key_M3"}, // 136
    {0x00, 0, kDeviceMacro, 0xA2, 0x04, 0, "keyboard_key_M4"}, // 137
    {0x00, 0, kDeviceMacro, 0xA2, 0x05, 0, "keyboard_key_M5"}, // 138
    {0x00, 0, kDeviceSpecial, 0x01, 0x00, 0, "keyboard_key_FN"}, // 139
    {0x00, 0, kDeviceSpecial, 0x1B, 0x00, 0, "keyboard_key_GM"}, // 140
}};
// clang-format on

// Row for row parallel to key-table rows 0-112. Right Shift is listed as 0x36 extended, and the
// input layer reports it that way.
// clang-format off
constexpr std::array<ScanCodeRow, kScanCodeTableSize> kScanCodes{{
    {0xA2, 0, 0x1D, 0}, // 0
    {0xA0, 0, 0x2A, 0}, // 1
    {0xA4, 0, 0x38, 0}, // 2
    {0x5B, 0, 0x5B, 1}, // 3
    {0xA3, 0, 0x1D, 1}, // 4
    {0xA1, 0, 0x36, 1}, // 5
    {0xA5, 0, 0x38, 1}, // 6
    {0x5C, 0, 0x5C, 1}, // 7
    {0x41, 0, 0x1E, 0}, // 8
    {0x42, 0, 0x30, 0}, // 9
    {0x43, 0, 0x2E, 0}, // 10
    {0x44, 0, 0x20, 0}, // 11
    {0x45, 0, 0x12, 0}, // 12
    {0x46, 0, 0x21, 0}, // 13
    {0x47, 0, 0x22, 0}, // 14
    {0x48, 0, 0x23, 0}, // 15
    {0x49, 0, 0x17, 0}, // 16
    {0x4A, 0, 0x24, 0}, // 17
    {0x4B, 0, 0x25, 0}, // 18
    {0x4C, 0, 0x26, 0}, // 19
    {0x4D, 0, 0x32, 0}, // 20
    {0x4E, 0, 0x31, 0}, // 21
    {0x4F, 0, 0x18, 0}, // 22
    {0x50, 0, 0x19, 0}, // 23
    {0x51, 0, 0x10, 0}, // 24
    {0x52, 0, 0x13, 0}, // 25
    {0x53, 0, 0x1F, 0}, // 26
    {0x54, 0, 0x14, 0}, // 27
    {0x55, 0, 0x16, 0}, // 28
    {0x56, 0, 0x2F, 0}, // 29
    {0x57, 0, 0x11, 0}, // 30
    {0x58, 0, 0x2D, 0}, // 31
    {0x59, 0, 0x15, 0}, // 32
    {0x5A, 0, 0x2C, 0}, // 33
    {0x31, 0, 0x02, 0}, // 34
    {0x32, 0, 0x03, 0}, // 35
    {0x33, 0, 0x04, 0}, // 36
    {0x34, 0, 0x05, 0}, // 37
    {0x35, 0, 0x06, 0}, // 38
    {0x36, 0, 0x07, 0}, // 39
    {0x37, 0, 0x08, 0}, // 40
    {0x38, 0, 0x09, 0}, // 41
    {0x39, 0, 0x0A, 0}, // 42
    {0x30, 0, 0x0B, 0}, // 43
    {0x0D, 0, 0x1C, 0}, // 44
    {0x1B, 0, 0x01, 0}, // 45
    {0x08, 0, 0x0E, 0}, // 46
    {0x09, 0, 0x0F, 0}, // 47
    {0x20, 0, 0x39, 0}, // 48
    {0xBD, 0, 0x0C, 0}, // 49
    {0xBB, 0, 0x0D, 0}, // 50
    {0xDB, 0, 0x1A, 0}, // 51
    {0xDD, 0, 0x1B, 0}, // 52
    {0xDC, 0, 0x2B, 0}, // 53
    {0xBA, 0, 0x27, 0}, // 54
    {0xDE, 0, 0x28, 0}, // 55
    {0xC0, 0, 0x29, 0}, // 56
    {0xBC, 0, 0x33, 0}, // 57
    {0xBE, 0, 0x34, 0}, // 58
    {0xBF, 0, 0x35, 0}, // 59
    {0x14, 0, 0x3A, 0}, // 60
    {0x70, 0, 0x3B, 0}, // 61
    {0x71, 0, 0x3C, 0}, // 62
    {0x72, 0, 0x3D, 0}, // 63
    {0x73, 0, 0x3E, 0}, // 64
    {0x74, 0, 0x3F, 0}, // 65
    {0x75, 0, 0x40, 0}, // 66
    {0x76, 0, 0x41, 0}, // 67
    {0x77, 0, 0x42, 0}, // 68
    {0x78, 0, 0x43, 0}, // 69
    {0x79, 0, 0x44, 0}, // 70
    {0x7A, 0, 0x57, 0}, // 71
    {0x7B, 0, 0x58, 0}, // 72
    {0x2C, 0, 0x37, 1}, // 73
    {0x91, 0, 0x46, 0}, // 74
    {0x13, 0, 0x45, 0}, // 75
    {0x2D, 0, 0x52, 1}, // 76
    {0x24, 0, 0x47, 1}, // 77
    {0x21, 0, 0x49, 1}, // 78
    {0x2E, 0, 0x53, 1}, // 79
    {0x23, 0, 0x4F, 1}, // 80
    {0x22, 0, 0x51, 1}, // 81
    {0x27, 0, 0x4D, 1}, // 82
    {0x25, 0, 0x4B, 1}, // 83
    {0x28, 0, 0x50, 1}, // 84
    {0x26, 0, 0x48, 1}, // 85
    {0x90, 0, 0x45, 1}, // 86
    {0x6F, 0, 0x35, 1}, // 87
    {0x6A, 0, 0x37, 0}, // 88
    {0x6D, 0, 0x4A, 0}, // 89
    {0x6B, 0, 0x4E, 0}, // 90
    {0x01, 1, 0x1C, 1}, // 91
    {0x61, 0, 0x4F, 0}, // 92
    {0x62, 0, 0x50, 0}, // 93
    {0x63, 0, 0x51, 0}, // 94
    {0x64, 0, 0x4B, 0}, // 95
    {0x65, 0, 0x4C, 0}, // 96
    {0x66, 0, 0x4D, 0}, // 97
    {0x67, 0, 0x47, 0}, // 98
    {0x68, 0, 0x48, 0}, // 99
    {0x69, 0, 0x49, 0}, // 100
    {0x60, 0, 0x52, 0}, // 101
    {0x6E, 0, 0x53, 0}, // 102
    {0x5D, 0, 0x5D, 1}, // 103
    {0xE2, 0, 0x56, 0}, // 104
    {0xC1, 0, 0x73, 0}, // 105
    {0xFF, 0, 0x7D, 0}, // 106
    {0xC2, 0, 0x7E, 0}, // 107
    {0xEB, 0, 0x7B, 0}, // 108
    {0xFF, 0, 0x79, 0}, // 109
    {0xFF, 0, 0x70, 0}, // 110
    {0xE9, 0, 0x71, 0}, // 111
    {0xFF, 0, 0x72, 0}, // 112
}};
// clang-format on

// clang-format off
constexpr std::array<MouseEventRow, kMouseEventTableSize> kMouseEvents{{
    {0x0201, kMouseButtonCategory, 0x01, 0x81, 0, "mouse_key_left"},
    {0x0202, kMouseButtonCategory, 0x01, 0x01, 0, "mouse_key_left"},
    {0x0204, kMouseButtonCategory, 0x02, 0x81, 0, "mouse_key_right"},
    {0x0205, kMouseButtonCategory, 0x02, 0x01, 0, "mouse_key_right"},
    {0x0207, kMouseButtonCategory, 0x04, 0x81, 0, "mouse_key_middle"},
    {0x0208, kMouseButtonCategory, 0x04, 0x01, 0, "mouse_key_middle"},
    {0x020B, kMouseButtonCategory, 0x10, 0x81, 0, "mouse_key_forward"},
    {0x020C, kMouseButtonCategory, 0x10, 0x01, 0, "mouse_key_forward"},
    {0x020B, kMouseButtonCategory, 0x08, 0x81, 0, "mouse_key_back"},
    {0x020C, kMouseButtonCategory, 0x08, 0x01, 0, "mouse_key_back"},
    {0x0004, kMouseMoveCategory, 0, 0x84, 0, "mouse_move_to_left_text"},
    {0x0004, kMouseMoveCategory, 0, 0x04, 0, "mouse_move_to_right_text"},
    {0x0005, kMouseMoveCategory, 0, 0x85, 0, "mouse_move_to_up_text"},
    {0x0005, kMouseMoveCategory, 0, 0x05, 0, "mouse_move_to_down_text"},
    {0x020A, kMouseWheelCategory, 0, 0, 0, "mouse_cursor_text"},
}};
// clang-format on

static_assert(sizeof(ScanCodeRow) == 4, "a scan-code row is four bytes");

// The hook tells a pressed key only by its scan code and extended flag, so no two rows may share
// them; and each virtual key of the parallel tables must agree.
constexpr bool ScanCodesUniqueAndParallel() {
    for (std::size_t i = 0; i < kScanCodes.size(); ++i) {
        if (kScanCodes[i].virtualKey != kKeys[i].virtualKey ||
            kScanCodes[i].placeholder != kKeys[i].placeholder)
            return false;
        for (std::size_t j = i + 1; j < kScanCodes.size(); ++j)
            if (kScanCodes[i].scanCode == kScanCodes[j].scanCode &&
                kScanCodes[i].extended == kScanCodes[j].extended)
                return false;
    }
    return true;
}
static_assert(ScanCodesUniqueAndParallel());

constexpr uint16_t kMsgLeftDown = 0x0201;
constexpr uint16_t kMsgMiddleUp = 0x0208;
constexpr uint16_t kMsgExtraDown = 0x020B;
constexpr uint16_t kMsgExtraUp = 0x020C;

} // namespace

std::span<const KeyTableRow> KeyTable() {
    return kKeys;
}
std::span<const ScanCodeRow> ScanCodeTable() {
    return kScanCodes;
}
std::span<const MouseEventRow> MouseEventTable() {
    return kMouseEvents;
}

std::optional<std::size_t> FindKeyByScanCode(uint8_t scanCode, bool extended) {
    const uint8_t ext = extended ? 1 : 0;
    for (std::size_t i = 0; i < kScanCodes.size(); ++i)
        if (kScanCodes[i].scanCode == scanCode && kScanCodes[i].extended == ext)
            return i;
    return std::nullopt;
}

std::optional<std::size_t> FindKeyByCodes(uint8_t category, uint8_t codeLow, uint8_t codeHigh,
                                          std::size_t firstRow) {
    for (std::size_t i = firstRow; i < kKeys.size(); ++i)
        if (kKeys[i].category == category && kKeys[i].codeLow == codeLow && kKeys[i].codeHigh == codeHigh)
            return i;
    return std::nullopt;
}

std::optional<std::size_t> FindKeyByUsage(uint8_t usage) {
    // Usage 0 is no key: it is the empty usage column of the modifiers.
    if (usage == 0)
        return std::nullopt;
    return FindKeyByCodes(kKeyboardPage, 0, usage, kModifierRows);
}

std::optional<std::size_t> FindModifierByBit(uint8_t bit) {
    if (bit == 0)
        return std::nullopt;
    for (std::size_t i = 0; i < kModifierRows; ++i)
        if (kKeys[i].category == kKeyboardPage && kKeys[i].codeHigh == 0 && kKeys[i].codeLow == bit)
            return i;
    return std::nullopt;
}

std::optional<std::size_t> FindKeyByName(std::string_view nameKey) {
    for (std::size_t i = 0; i < kKeys.size(); ++i)
        if (kKeys[i].nameKey == nameKey)
            return i;
    return std::nullopt;
}

std::optional<std::size_t> FindMouseButtonByBit(uint8_t bit) {
    if (bit == 0)
        return std::nullopt;
    for (std::size_t i = 0; i < kMouseButtonRows; ++i)
        if (kMouseEvents[i].buttonBit == bit)
            return i;
    return std::nullopt;
}

std::optional<std::size_t> FindMouseMoveRow(uint8_t typeAndDirection) {
    for (std::size_t i = kMouseMoveFirstRow; i < kMouseMoveEndRow; ++i)
        if (kMouseEvents[i].typeAndDirection == typeAndDirection)
            return i;
    return std::nullopt;
}

std::optional<std::size_t> FindMouseRowByMessage(uint16_t message, int extraButton) {
    if (message >= kMsgLeftDown && message <= kMsgMiddleUp) {
        for (std::size_t i = 0; i < 6; ++i)
            if (kMouseEvents[i].message == message)
                return i;
        return std::nullopt;
    }
    if (message == kMsgExtraDown || message == kMsgExtraUp) {
        const std::size_t up = message == kMsgExtraUp ? 1 : 0;
        if (extraButton == 2)
            return 6 + up;
        if (extraButton == 1)
            return 8 + up;
    }
    return std::nullopt;
}

} // namespace nk7x
