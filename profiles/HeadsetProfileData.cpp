#include "profiles/HeadsetProfileData.h"

#include "profiles/ProfileJson.h"

namespace nk7x {
namespace {

bool ValidIndex(int n) {
    return n >= 0 && static_cast<Json::ArrayIndex>(n) <= kJsonMaxIndex;
}

// The bands of one curve: an existing array is read (a missing band reads as 0); anything else is
// replaced by kBandCount zero bands.
std::vector<int32_t> ReadBands(Json::Value& curve) {
    std::vector<int32_t> values(CHs6533Profiledata::kBandCount, 0);
    if (!curve.isArray()) {
        curve = Json::Value(Json::arrayValue);
        for (int b = 0; b < CHs6533Profiledata::kBandCount; ++b)
            curve[static_cast<Json::ArrayIndex>(b)]["value"] = 0;
        return values;
    }
    for (int b = 0; b < CHs6533Profiledata::kBandCount; ++b)
        values[static_cast<std::size_t>(b)] =
            JsonInt(JsonElement(curve, static_cast<Json::ArrayIndex>(b)), "value");
    return values;
}

void WriteBands(Json::Value& curve, const std::vector<int32_t>& values) {
    JsonMakeArray(curve);
    for (std::size_t b = 0; b < values.size() && b < CHs6533Profiledata::kBandCount; ++b)
        JsonSlot(JsonSlot(curve, static_cast<Json::ArrayIndex>(b)), "value") = values[b];
}

} // namespace

HeadsetSystemSetStages CHs6533Profiledata::GetSystemSetStages() {
    HeadsetSystemSetStages stages;
    JsonGuardVoid([&] {
        const Json::Value& section = JsonMember(GetProfileValue(), "SystemSetStages");
        if (!section.isObject())
            return;
        stages.voiceEffectEnabled = JsonInt(section, "MagicEnable");
        stages.voiceEffectType = JsonInt(section, "MagicType");
        stages.eqType = JsonInt(section, "EqType");
        stages.customEqIndex = JsonInt(section, "CustomEqSeletIndex");
        stages.micInSelected = JsonInt(section, "MicInSelect");
        stages.micInValue = JsonInt(section, "MicInValue");
        stages.micMonitorSelected = JsonInt(section, "MicMoniterSelect");
        stages.micMonitorValue = JsonInt(section, "MicMoniterValue");
    });
    m_systemSetStages = stages;
    return stages;
}

void CHs6533Profiledata::SetSystemSetStages(const HeadsetSystemSetStages& stages) {
    JsonGuardVoid([&] {
        Json::Value& section = JsonMakeObject(MutableProfile()["SystemSetStages"]);
        section["MagicEnable"] = stages.voiceEffectEnabled;
        section["MagicType"] = stages.voiceEffectType;
        section["EqType"] = stages.eqType;
        section["CustomEqSeletIndex"] = stages.customEqIndex;
        section["MicInSelect"] = stages.micInSelected;
        section["MicInValue"] = stages.micInValue;
        section["MicMoniterSelect"] = stages.micMonitorSelected;
        section["MicMoniterValue"] = stages.micMonitorValue;
    });
    m_systemSetStages = stages;
}

int CHs6533Profiledata::EqSlotOf(int eqType) {
    if (eqType == kCustomEqType)
        return -1;
    if (eqType >= 1 && eqType <= 12)
        return eqType;
    return 1;
}

std::vector<int32_t> CHs6533Profiledata::GetEqValues(int eqType) {
    const int slot = EqSlotOf(eqType);
    if (slot < 0)
        return {};
    return JsonGuard(std::vector<int32_t>(kBandCount, 0), [&] {
        Json::Value& slots = JsonSlot(MutableProfile(), "EQHzValueInfo");
        return ReadBands(JsonSlot(slots, static_cast<Json::ArrayIndex>(slot)));
    });
}

void CHs6533Profiledata::SetEqValues(int eqType, const std::vector<int32_t>& values) {
    const int slot = EqSlotOf(eqType);
    if (slot < 0)
        return;
    JsonGuardVoid([&] {
        Json::Value& slots = JsonSlot(MutableProfile(), "EQHzValueInfo");
        WriteBands(JsonSlot(slots, static_cast<Json::ArrayIndex>(slot)), values);
    });
}

std::vector<std::string> CHs6533Profiledata::GetCustomEqNames() {
    return JsonGuard(std::vector<std::string>(), [&] {
        std::vector<std::string> names;
        for (const Json::Value& element : JsonArray(GetProfileValue(), "CustomEQNameInfo"))
            names.push_back(JsonString(element, "Name"));
        return names;
    });
}

void CHs6533Profiledata::SetCustomEqNames(const std::vector<std::string>& names) {
    JsonGuardVoid([&] {
        Json::Value array(Json::arrayValue);
        for (const std::string& name : names) {
            Json::Value element(Json::objectValue);
            element["Name"] = name;
            array.append(std::move(element));
        }
        MutableProfile()["CustomEQNameInfo"] = std::move(array);
    });
}

std::vector<int32_t> CHs6533Profiledata::GetCustomEqValues(int index) {
    if (!ValidIndex(index))
        return std::vector<int32_t>(kBandCount, 0);
    return JsonGuard(std::vector<int32_t>(kBandCount, 0), [&] {
        Json::Value& curves = JsonSlot(MutableProfile(), "CustomEQHzValueInfo");
        return ReadBands(JsonSlot(curves, static_cast<Json::ArrayIndex>(index)));
    });
}

void CHs6533Profiledata::SetCustomEqValues(int index, const std::vector<int32_t>& values) {
    if (!ValidIndex(index))
        return;
    JsonGuardVoid([&] {
        Json::Value& curves = JsonSlot(MutableProfile(), "CustomEQHzValueInfo");
        WriteBands(JsonSlot(curves, static_cast<Json::ArrayIndex>(index)), values);
    });
}

bool CHs6533Profiledata::RemoveCustomEq(int index) {
    if (!ValidIndex(index))
        return false;
    return JsonGuard(false, [&] {
        bool removed = false;
        for (const char* key : {"CustomEQNameInfo", "CustomEQHzValueInfo"}) {
            if (!JsonMember(GetProfileValue(), key).isArray())
                continue;
            Json::Value& array = MutableProfile()[key];
            Json::Value gone;
            if (static_cast<Json::ArrayIndex>(index) < array.size())
                removed = array.removeIndex(static_cast<Json::ArrayIndex>(index), &gone) || removed;
        }
        return removed;
    });
}

} // namespace nk7x
