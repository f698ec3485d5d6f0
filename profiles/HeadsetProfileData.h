// The headset's profile data: the common sections plus the sound settings ("SystemSetStages"),
// the equaliser slots of the presets ("EQHzValueInfo") and the user's custom curves
// ("CustomEQNameInfo", "CustomEQHzValueInfo").
#pragma once

#include "profiles/BasicProfileData.h"

namespace nk7x {

class CHs6533Profiledata : public CBasicProfiledata {
  public:
    using CBasicProfiledata::CBasicProfiledata;

    static constexpr int kBandCount = 10;
    static constexpr int kCustomEqType = 13; // the custom curve; it has no preset slot

    // "SystemSetStages": all zero when absent.
    HeadsetSystemSetStages GetSystemSetStages();
    void SetSystemSetStages(const HeadsetSystemSetStages& stages);

    // The preset slot of an EQ type: 1-12 their own slot, 13 none (-1), anything else slot 1.
    static int EqSlotOf(int eqType);

    // Exactly kBandCount values of the type's slot; a missing slot is created as zero bands.
    // Type 13 gives no values and changes nothing.
    std::vector<int32_t> GetEqValues(int eqType);
    // Writes the first kBandCount values into the type's slot; type 13 writes nothing.
    void SetEqValues(int eqType, const std::vector<int32_t>& values);

    // The "Name" of every custom curve; the setter replaces the list.
    std::vector<std::string> GetCustomEqNames();
    void SetCustomEqNames(const std::vector<std::string>& names);

    // Exactly kBandCount values of custom curve `index`; a missing curve is created as zero bands.
    // An index outside 0..kJsonMaxIndex reads as zeros and changes nothing.
    std::vector<int32_t> GetCustomEqValues(int index);
    void SetCustomEqValues(int index, const std::vector<int32_t>& values);

    // Removes custom curve `index` from both the name list and the value list, which stay
    // parallel. False when there is no such curve in either.
    bool RemoveCustomEq(int index);

    const HeadsetSystemSetStages& SystemSetStages() const { return m_systemSetStages; }

  private:
    HeadsetSystemSetStages m_systemSetStages;
};

} // namespace nk7x
