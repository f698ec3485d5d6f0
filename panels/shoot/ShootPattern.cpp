#include "panels/shoot/ShootPattern.h"

#include "macros/MacroEvent.h"
#include "profiles/json/JsonAccess.h"

#include <algorithm>

namespace nk7x {
namespace {

constexpr const char* kEvents = "Events";
constexpr int kLeftButtonBit = 0x01;
constexpr int kPressDelayMs = 10;   // the left button is held this long
constexpr int kSidewaysDelayMs = 5; // pause between the sideways and the vertical move

bool IsDown(const Json::Value& record) {
    const std::string action = JsonString(record, "Action");
    if (action.size() != kActionDown.size())
        return false;
    for (std::size_t i = 0; i < action.size(); ++i) {
        const char c = action[i];
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != kActionDown[i])
            return false;
    }
    return true;
}

int Clamp(int64_t value, int max) {
    return static_cast<int>(std::clamp<int64_t>(value, 0, max));
}

void PutEvent(Json::Value& events, int index, bool down, int button, int delay, MacroEventType type) {
    Json::Value& record = JsonMakeObject(JsonSlot(events, static_cast<Json::ArrayIndex>(index)));
    record["Action"] = std::string(down ? kActionDown : kActionUp);
    record["Button"] = button;
    record["Delay"] = delay;
    record["Type"] = static_cast<int>(type);
}

bool InRange(int bullet) {
    return bullet >= 0 && bullet < kShootBulletCount;
}

} // namespace

bool IsShootPattern(const Json::Value& doc) {
    return doc.isObject() && JsonMember(doc, kEvents).isArray();
}

Json::Value EmptyShootPattern() {
    Json::Value doc(Json::objectValue);
    doc[kEvents] = Json::Value(Json::arrayValue);
    return doc;
}

ShootBullet ReadShootBullet(const Json::Value& doc, int bullet) {
    ShootBullet out;
    if (!InRange(bullet))
        return out;
    const Json::Value& events = JsonMember(doc, kEvents);
    const auto first = static_cast<Json::ArrayIndex>(bullet * kShootEventsPerBullet);
    const Json::Value& sideways = JsonElement(events, first + 2);
    const Json::Value& vertical = JsonElement(events, first + 3);
    out.left = IsDown(sideways);
    out.x = Clamp(JsonInt64(sideways, "Button"), kShootMaxMove);
    out.up = IsDown(vertical);
    out.y = Clamp(JsonInt64(vertical, "Button"), kShootMaxMove);
    // Macro files write delays as strings; both forms read the same.
    out.delay = ReadDelay(JsonMember(vertical, "Delay"));
    return out;
}

std::vector<ShootBullet> ReadShootBullets(const Json::Value& doc) {
    std::vector<ShootBullet> bullets;
    bullets.reserve(kShootBulletCount);
    for (int b = 0; b < kShootBulletCount; ++b)
        bullets.push_back(ReadShootBullet(doc, b));
    return bullets;
}

bool WriteShootBullet(Json::Value& doc, int bullet, const ShootBullet& value) {
    if (!InRange(bullet))
        return false;
    Json::Value& events = JsonMakeArray(JsonSlot(doc, kEvents));
    const int first = bullet * kShootEventsPerBullet;
    const int x = std::clamp(value.x, 0, kShootMaxMove);
    const int y = std::clamp(value.y, 0, kShootMaxMove);
    const int delay = std::clamp(value.delay, 0, kShootMaxDelay);
    // The last element first: the array grows once, to its final length.
    PutEvent(events, first + 5, value.up, 0, 0, MacroEventType::MouseMoveY);
    PutEvent(events, first + 4, value.left, 0, 0, MacroEventType::MouseMoveX);
    PutEvent(events, first + 3, value.up, y, delay, MacroEventType::MouseMoveY);
    PutEvent(events, first + 2, value.left, x, kSidewaysDelayMs, MacroEventType::MouseMoveX);
    PutEvent(events, first + 1, false, kLeftButtonBit, 0, MacroEventType::MouseButton);
    PutEvent(events, first, true, kLeftButtonBit, kPressDelayMs, MacroEventType::MouseButton);
    return true;
}

int ParseShootNumber(std::string_view text, int max) {
    // The delay reader already skips white space, stops at the first non-digit and saturates.
    return std::min<int>(ParseDelayText(text), std::max(max, 0));
}

} // namespace nk7x
