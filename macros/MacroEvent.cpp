#include "macros/MacroEvent.h"

#include "macros/KeyTables.h"
#include "profiles/json/JsonAccess.h"
#include "profiles/json/JsonFile.h"

#include <cmath>

namespace nk7x {
namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Reads decimal digits after optional white space and an optional plus sign; saturates at
// `limit`. A minus sign makes the value 0.
uint32_t ParseDigits(std::string_view text, uint32_t limit, bool* negative) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    *negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        *negative = text[i] == '-';
        ++i;
    }
    uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<uint32_t>(text[i] - '0');
        if (value > limit)
            value = limit + 1; // stays above the limit however many digits follow
    }
    return value;
}

uint16_t ClampDelay(int64_t value) {
    if (value < 0)
        return 0;
    if (value > kMaxDelay)
        return kMaxDelay;
    return static_cast<uint16_t>(value);
}

} // namespace

bool IsKnownEventType(int type) {
    return (type >= 1 && type <= 5) || type == static_cast<int>(MacroEventType::ModifierKey) ||
           type == static_cast<int>(MacroEventType::KeyboardKey);
}

uint16_t ParseDelayText(std::string_view text) {
    bool negative = false;
    uint32_t value = ParseDigits(text, kMaxDelay, &negative);
    if (negative)
        return 0;
    return ClampDelay(value);
}

uint16_t ReadDelay(const Json::Value& delay) {
    if (delay.isString())
        return ParseDelayText(JsonValueString(delay));
    if (delay.isBool() || !delay.isNumeric())
        return 0;
    if (delay.isDouble()) {
        double d = delay.asDouble();
        if (!std::isfinite(d) || d <= 0)
            return 0;
        return d >= kMaxDelay ? kMaxDelay : static_cast<uint16_t>(d);
    }
    if (delay.isUInt64() && !delay.isInt64())
        return kMaxDelay;
    return ClampDelay(JsonValueInt64(delay));
}

uint8_t ParseMoveDistance(std::string_view text) {
    // Digits are folded modulo 256 as they are read, so any length of text is safe.
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    if (i < text.size() && text[i] == '+')
        ++i;
    unsigned value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = (value * 10 + static_cast<unsigned>(text[i] - '0')) % 256;
    return static_cast<uint8_t>(value);
}

std::optional<MacroEvent> MacroEventFromJson(const Json::Value& record) {
    if (!record.isObject())
        return std::nullopt;
    const Json::Value& type = JsonMember(record, "Type");
    const Json::Value& button = JsonMember(record, "Button");
    if (!type.isIntegral() || type.isBool() || !button.isIntegral() || button.isBool())
        return std::nullopt;
    if (!type.isInt64() || !button.isInt64())
        return std::nullopt;
    const int64_t t = type.asInt64();
    const int64_t b = button.asInt64();
    if (t < 0 || t > 127 || !IsKnownEventType(static_cast<int>(t)) || b < 0 || b > 255)
        return std::nullopt;
    MacroEvent event;
    event.type = static_cast<int>(t);
    event.button = static_cast<uint8_t>(b);
    event.down = JsonString(record, "Action") == kActionDown;
    event.delay = ReadDelay(JsonMember(record, "Delay"));
    return event;
}

Json::Value MacroEventToJson(const MacroEvent& event) {
    Json::Value record(Json::objectValue);
    record["Action"] = std::string(event.down ? kActionDown : kActionUp);
    record["Button"] = static_cast<int>(event.button);
    record["Type"] = event.type;
    record["Delay"] = std::to_string(event.delay);
    return record;
}

std::string MacroEventToText(const MacroEvent& event) {
    return StyledJsonText(MacroEventToJson(event));
}

std::optional<MacroEvent> MacroEventFromText(const std::string& text) {
    Json::Value record;
    if (!ParseJsonText(text, record))
        return std::nullopt;
    return MacroEventFromJson(record);
}

uint8_t TypeAndDirection(const MacroEvent& event) {
    return static_cast<uint8_t>((event.type & 0x7F) | (event.down ? 0x80 : 0));
}

std::optional<MacroEvent> KeyEventFromScanCode(uint8_t scanCode, bool extended, bool down) {
    const std::optional<std::size_t> row = FindKeyByScanCode(scanCode, extended);
    if (!row)
        return std::nullopt;
    const KeyTableRow& key = KeyTable()[*row];
    MacroEvent event;
    event.down = down;
    if (key.Usage() != 0) {
        event.type = static_cast<int>(MacroEventType::KeyboardKey);
        event.button = key.Usage();
    } else if (key.ModifierBit() != 0) {
        event.type = static_cast<int>(MacroEventType::ModifierKey);
        event.button = key.ModifierBit();
    } else {
        return std::nullopt;
    }
    return event;
}

std::optional<MacroEvent> MouseEventFromMessage(uint16_t message, int extraButton) {
    const std::optional<std::size_t> row = FindMouseRowByMessage(message, extraButton);
    if (!row)
        return std::nullopt;
    const MouseEventRow& mouse = MouseEventTable()[*row];
    MacroEvent event;
    event.type = mouse.typeAndDirection & 0x7F;
    event.down = (mouse.typeAndDirection & 0x80) != 0;
    event.button = mouse.buttonBit;
    return event;
}

std::string EventKeyName(const MacroEvent& event) {
    std::optional<std::size_t> row;
    switch (event.type) {
    case static_cast<int>(MacroEventType::KeyboardKey):
        row = FindKeyByUsage(event.button);
        return row ? std::string(KeyTable()[*row].nameKey) : std::string();
    case static_cast<int>(MacroEventType::ModifierKey):
        row = FindModifierByBit(event.button);
        return row ? std::string(KeyTable()[*row].nameKey) : std::string();
    case static_cast<int>(MacroEventType::MouseButton):
        row = FindMouseButtonByBit(event.button);
        break;
    case static_cast<int>(MacroEventType::MouseMoveX):
    case static_cast<int>(MacroEventType::MouseMoveY):
        row = FindMouseMoveRow(TypeAndDirection(event));
        break;
    default:
        break;
    }
    return row ? std::string(MouseEventTable()[*row].nameKey) : std::string();
}

std::string EventActionText(const MacroEvent& event) {
    if (event.type == static_cast<int>(MacroEventType::MouseMoveX) ||
        event.type == static_cast<int>(MacroEventType::MouseMoveY))
        return std::to_string(event.button);
    return {};
}

bool IsKeyboardEvent(const MacroEvent& event) {
    return event.type == static_cast<int>(MacroEventType::ModifierKey) ||
           event.type == static_cast<int>(MacroEventType::KeyboardKey);
}

} // namespace nk7x
