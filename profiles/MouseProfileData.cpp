#include "profiles/MouseProfileData.h"

#include "profiles/ProfileJson.h"

namespace nk7x {

std::vector<DpiStage> CMouseProfiledata::GetDpiStages() {
    JsonGuardVoid([&] {
        const Json::Value& section = JsonMember(GetProfileValue(), "DPIStages");
        const Json::Value& array = JsonMember(section, "StageDPIs");
        if (!array.isArray())
            return;
        m_stageActive = JsonInt(section, "StageActive");
        std::size_t i = 0;
        for (const Json::Value& element : array) {
            DpiStage stage;
            stage.active = JsonU8(element, "StageActive");
            stage.xy = JsonU8(element, "StageXY");
            stage.dpiX = JsonU16(element, "StageDPIX");
            stage.dpiY = JsonU16(element, "StageDPIY");
            stage.red = JsonU8(element, "StageColorR");
            stage.green = JsonU8(element, "StageColorG");
            stage.blue = JsonU8(element, "StageColorB");
            if (i < m_dpiStages.size())
                m_dpiStages[i] = stage;
            else
                m_dpiStages.push_back(stage);
            ++i;
        }
    });
    return m_dpiStages;
}

void CMouseProfiledata::SetDpiStages(const std::vector<DpiStage>& stages) {
    m_dpiStages = stages;
    JsonGuardVoid([&] {
        Json::Value& array = JsonSlot(JsonSlot(MutableProfile(), "DPIStages"), "StageDPIs");
        for (std::size_t i = 0; i < stages.size() && i <= kJsonMaxIndex; ++i) {
            Json::Value& element = JsonMakeObject(JsonSlot(array, static_cast<Json::ArrayIndex>(i)));
            element["StageActive"] = stages[i].active;
            element["StageXY"] = stages[i].xy;
            element["StageDPIX"] = stages[i].dpiX;
            element["StageDPIY"] = stages[i].dpiY;
            element["StageColorR"] = stages[i].red;
            element["StageColorG"] = stages[i].green;
            element["StageColorB"] = stages[i].blue;
        }
    });
}

void CMouseProfiledata::SetStageActive(int stage) {
    m_stageActive = stage;
    JsonGuardVoid([&] { JsonSlot(JsonSlot(MutableProfile(), "DPIStages"), "StageActive") = stage; });
}

MouseSystemStages CMouseProfiledata::GetSystemStages() {
    MouseSystemStages stages;
    JsonGuardVoid([&] {
        const Json::Value& profile = GetProfileValue();
        const Json::Value& section = JsonMember(profile, "SystemStages");
        if (!section.isObject())
            return;
        stages.doubleClickTime = JsonU16(section, "DoubleClickTime");
        stages.pointerSpeed = JsonU16(section, "MouseSpeed");
        stages.pointerPrecision = JsonU16(section, "PointerPrecision");
        stages.scrollPage = JsonU16(section, "ScorllPage");
        stages.wheelScrollLines = JsonU16(section, "WheelScorlllinse");
        stages.reportRateStage = JsonU16(JsonMember(profile, "ReportStages"), "StageActive");
    });
    m_systemStages = stages;
    return stages;
}

void CMouseProfiledata::SetSystemStages(const MouseSystemStages& stages) {
    m_systemStages = stages;
    JsonGuardVoid([&] {
        Json::Value& section = JsonSlot(MutableProfile(), "SystemStages");
        JsonMakeObject(section);
        section["DoubleClickTime"] = stages.doubleClickTime;
        section["MouseSpeed"] = stages.pointerSpeed;
        section["PointerPrecision"] = stages.pointerPrecision;
        section["ScorllPage"] = stages.scrollPage;
        section["WheelScorlllinse"] = stages.wheelScrollLines;
        JsonSlot(JsonSlot(MutableProfile(), "ReportStages"), "StageActive") = stages.reportRateStage;
    });
}

std::vector<CorrectEntry> CMouseProfiledata::GetCorrectInfo() {
    m_correctEntries = JsonGuard(std::vector<CorrectEntry>(), [&] {
        std::vector<CorrectEntry> entries;
        const Json::Value& array = JsonArray(GetProfileValue(), "CorrectInfo");
        entries.reserve(array.size());
        for (const Json::Value& element : array) {
            CorrectEntry entry;
            entry.pixelThreshold = JsonU8(element, "CorrectPixThresh");
            entry.minSquare = JsonU8(element, "CorrectMinSq");
            entry.selected = JsonU8(element, "CorrectSelect");
            entry.name = JsonString(element, "CorrectName");
            entries.push_back(std::move(entry));
        }
        return entries;
    });
    return m_correctEntries;
}

} // namespace nk7x
