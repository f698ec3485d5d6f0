#include "profiles/KeyboardProfileData.h"

#include "profiles/ProfileJson.h"

#include <algorithm>

namespace nk7x {
namespace {

Json::Value ZeroColor() {
    Json::Value color(Json::objectValue);
    color["Red"] = 0;
    color["Green"] = 0;
    color["Blue"] = 0;
    color["Alpha"] = 0;
    return color;
}

bool ValidIndex(int n) {
    return n >= 0 && static_cast<Json::ArrayIndex>(n) <= kJsonMaxIndex;
}

} // namespace

KeyboardSystemStages CKeyboardProfiledata::GetSystemStages() {
    KeyboardSystemStages stages;
    JsonGuardVoid([&] {
        const Json::Value& section = JsonMember(GetProfileValue(), "SystemStages");
        if (!section.isObject())
            return;
        stages.repeatRate = JsonU16(section, "Repeat");
        stages.repeatDelay = JsonU16(section, "RepeatDelay");
        stages.key6Flag = JsonU16(section, "Key6Flag");
        stages.pollingRate = JsonU16(section, "PollingRate");
        stages.wKeyFlag = JsonU16(section, "WFlag");
        stages.winKeyFlag = JsonU16(section, "WinFlag");
    });
    m_systemStages = stages;
    return stages;
}

void CKeyboardProfiledata::SetSystemStages(const KeyboardSystemStages& stages) {
    m_systemStages = stages;
    JsonGuardVoid([&] {
        Json::Value& section = JsonMakeObject(MutableProfile()["SystemStages"]);
        section["Repeat"] = stages.repeatRate;
        section["RepeatDelay"] = stages.repeatDelay;
        section["Key6Flag"] = stages.key6Flag;
        section["PollingRate"] = stages.pollingRate;
        section["WFlag"] = stages.wKeyFlag;
        section["WinFlag"] = stages.winKeyFlag;
    });
}

std::vector<CustomColor> CKeyboardProfiledata::GetCustomColors(int group, int count) {
    const int n = std::clamp(count, 0, static_cast<int>(kJsonMaxIndex) + 1);
    m_customColors = JsonGuard(std::vector<CustomColor>(static_cast<std::size_t>(n)), [&] {
        std::vector<CustomColor> colors(static_cast<std::size_t>(n));
        if (!ValidIndex(group) || n == 0)
            return colors;
        Json::Value& groups = JsonSlot(JsonSlot(MutableProfile(), "CustomLightMode"), "LightColorInfo");
        Json::Value& array = JsonSlot(groups, static_cast<Json::ArrayIndex>(group));
        JsonMakeArray(array);
        for (int i = 0; i < n; ++i) {
            Json::Value& element = array[static_cast<Json::ArrayIndex>(i)];
            if (!element.isObject()) {
                element = ZeroColor();
                continue;
            }
            CustomColor& c = colors[static_cast<std::size_t>(i)];
            c.red = JsonU8(element, "Red");
            c.green = JsonU8(element, "Green");
            c.blue = JsonU8(element, "Blue");
            c.alpha = JsonU8(element, "Alpha");
        }
        return colors;
    });
    return m_customColors;
}

void CKeyboardProfiledata::SetCustomColors(const std::vector<CustomColor>& colors, int group) {
    m_customColors = colors;
    if (!ValidIndex(group))
        return;
    JsonGuardVoid([&] {
        Json::Value& groups = JsonSlot(JsonSlot(MutableProfile(), "CustomLightMode"), "LightColorInfo");
        Json::Value& array = JsonMakeArray(JsonSlot(groups, static_cast<Json::ArrayIndex>(group)));
        for (std::size_t i = 0; i < colors.size() && i <= kJsonMaxIndex; ++i) {
            Json::Value& element = JsonMakeObject(array[static_cast<Json::ArrayIndex>(i)]);
            element["Red"] = colors[i].red;
            element["Green"] = colors[i].green;
            element["Blue"] = colors[i].blue;
            element["Alpha"] = colors[i].alpha;
        }
    });
}

int CKeyboardProfiledata::GetCustomGroup() {
    m_customGroup = JsonGuard(0, [&] {
        return JsonInt(JsonMember(GetProfileValue(), "CustomLightMode"), "CustomLightModeGroupIndex");
    });
    return m_customGroup;
}

void CKeyboardProfiledata::SetCustomGroup(int group) {
    m_customGroup = group;
    JsonGuardVoid([&] {
        JsonSlot(JsonSlot(MutableProfile(), "CustomLightMode"), "CustomLightModeGroupIndex") = group;
    });
}

} // namespace nk7x
