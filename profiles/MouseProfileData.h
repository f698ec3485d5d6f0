// The mouse's profile data: the common sections plus the sensitivity stages ("DPIStages"), the
// system settings ("SystemStages", "ReportStages") and the pointer corrections ("CorrectInfo").
#pragma once

#include "profiles/BasicProfileData.h"

namespace nk7x {

class CMouseProfiledata : public CBasicProfiledata {
  public:
    using CBasicProfiledata::CBasicProfiledata;

    // Reads "DPIStages" over the stored stages position by position (a longer stored vector keeps
    // its tail) and sets the active stage; without the section the stored stages are returned.
    std::vector<DpiStage> GetDpiStages();
    // Replaces the stored stages and writes the seven keys of "StageDPIs"[i] for each.
    void SetDpiStages(const std::vector<DpiStage>& stages);

    int GetStageActive() const { return m_stageActive; }
    void SetStageActive(int stage);

    // "SystemStages" and "ReportStages"/"StageActive"; all zero without "SystemStages".
    MouseSystemStages GetSystemStages();
    void SetSystemStages(const MouseSystemStages& stages);

    // One entry per "CorrectInfo" element.
    std::vector<CorrectEntry> GetCorrectInfo();

    const std::vector<DpiStage>& DpiStages() const { return m_dpiStages; }
    const MouseSystemStages& SystemStages() const { return m_systemStages; }
    const std::vector<CorrectEntry>& CorrectEntries() const { return m_correctEntries; }

  private:
    std::vector<DpiStage> m_dpiStages;
    int32_t m_stageActive = 0;
    MouseSystemStages m_systemStages;
    std::vector<CorrectEntry> m_correctEntries;
};

} // namespace nk7x
