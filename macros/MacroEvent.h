// One macro event (a key or button press or release, or a mouse move, followed by a wait), its
// record in the macro files, the limits of macros, and the texts an event row shows.
#pragma once

#include <json/value.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nk7x {

// Values of "Type". Files may also hold 2 and 3 (older mouse kinds): they load and show with the
// mouse style and no text, and are never produced.
enum class MacroEventType : int {
    MouseButton = 1,
    MouseMoveX = 4,
    MouseMoveY = 5,
    ModifierKey = 9,
    KeyboardKey = 10,
};

inline constexpr std::size_t kMaxMacros = 50;           // per device page
inline constexpr std::size_t kMaxRecordedEvents = 4000; // recording adds no row beyond this
inline constexpr uint16_t kMaxDelay = 65535;            // milliseconds
inline constexpr std::size_t kDelayFieldMaxChars = 6;
inline constexpr int kMacroFileVersion = 64;
// Names longer than this (in UTF-8 bytes) are refused by rename; a list entry is one line of text.
inline constexpr std::size_t kMaxMacroNameBytes = 256;
// A macro file holding more events than this is cut there when loaded: no device image can hold
// more (its length field is 16 bits), and it keeps a hostile file from filling memory.
inline constexpr std::size_t kMaxLoadedEvents = 65535;

// Action texts of the record.
inline constexpr std::string_view kActionDown = "down";
inline constexpr std::string_view kActionUp = "up";

struct MacroEvent {
    bool down = true;   // "Action": "down" (press, move left or up) or "up"
    int type = 0;       // "Type": a MacroEventType value, or 2 or 3
    uint8_t button = 0; // "Button": usage, modifier bit, button bit or distance, by type
    uint16_t delay = 0; // "Delay": milliseconds to wait after the event

    bool operator==(const MacroEvent&) const = default;
};

// The event types a file may carry (1-5, 9, 10).
bool IsKnownEventType(int type);

// The event of a record, or nothing when the record is no usable event: not an object, "Type"
// not a known type or "Button" not an integer 0-255. "Action" other than "down" reads as "up";
// "Delay" may be an integer or a string (ReadDelay).
std::optional<MacroEvent> MacroEventFromJson(const Json::Value& record);

// The record as the files hold it, "Delay" as a decimal string.
Json::Value MacroEventToJson(const MacroEvent& event);

// The record in the styled text form a row of the editor keeps, and back (nothing when the text
// is not a usable record).
std::string MacroEventToText(const MacroEvent& event);
std::optional<MacroEvent> MacroEventFromText(const std::string& text);

// Millisecond delays from text: leading white space is skipped, then decimal digits are read up to
// the first other character; no digits (or a minus sign) give 0, values above 65534 give 65535.
uint16_t ParseDelayText(std::string_view text);

// A "Delay" member: an integer, a real or a string of digits; anything else is 0. Out-of-range
// values are clamped to 0-65535.
uint16_t ReadDelay(const Json::Value& delay);

// A typed move distance: decimal digits read as ParseDelayText does, kept modulo 256.
uint8_t ParseMoveDistance(std::string_view text);

// Byte 2 of an event in the device image and the type-and-direction column of the mouse table:
// the type in bits 0-6, bit 7 set for "down".
uint8_t TypeAndDirection(const MacroEvent& event);

// The event a recorded key makes: the key's row is found by scan code and extended flag; a row
// with a usage gives a `KeyboardKey` event, a modifier row a `ModifierKey` event. Nothing when
// no row matches. The delay is 0.
std::optional<MacroEvent> KeyEventFromScanCode(uint8_t scanCode, bool extended, bool down);

// The event a recorded mouse message makes (left, right and middle press and release, and the
// extra buttons by their number: 2 forward, 1 back). Nothing for any other message.
std::optional<MacroEvent> MouseEventFromMessage(uint16_t message, int extraButton = 0);

// The name key an event row's key label shows (empty when no table row matches).
std::string EventKeyName(const MacroEvent& event);

// The action label's text: the distance in decimal for a move, else empty (the label's style
// shows the direction).
std::string EventActionText(const MacroEvent& event);

// True for events the key label shows with the keyboard style (types 9 and 10); the others
// (1-5) use the mouse style.
bool IsKeyboardEvent(const MacroEvent& event);

} // namespace nk7x
