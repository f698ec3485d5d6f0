// The keyboard's profile data: the common sections plus the system settings ("SystemStages") and
// the custom per-key colour groups ("CustomLightMode").
#pragma once

#include "profiles/BasicProfileData.h"

namespace nk7x {

class CKeyboardProfiledata : public CBasicProfiledata {
  public:
    using CBasicProfiledata::CBasicProfiledata;

    // "SystemStages": all zero when absent. The setter writes the six keys in place.
    KeyboardSystemStages GetSystemStages();
    void SetSystemStages(const KeyboardSystemStages& stages);

    // Exactly `count` colours of group `group` of "CustomLightMode"/"LightColorInfo"; elements
    // that are missing are created as zeros in the profile. A group or count outside
    // 0..kJsonMaxIndex changes nothing (the count is clipped, the group reads as zeros).
    std::vector<CustomColor> GetCustomColors(int group, int count);
    // Writes element i of the group for every colour given.
    void SetCustomColors(const std::vector<CustomColor>& colors, int group);

    // "CustomLightMode"/"CustomLightModeGroupIndex", 0 when absent.
    int GetCustomGroup();
    void SetCustomGroup(int group);

    const KeyboardSystemStages& SystemStages() const { return m_systemStages; }
    const std::vector<CustomColor>& CustomColors() const { return m_customColors; }
    int CustomGroup() const { return m_customGroup; }

  private:
    KeyboardSystemStages m_systemStages;
    std::vector<CustomColor> m_customColors;
    int32_t m_customGroup = 0;
};

} // namespace nk7x
