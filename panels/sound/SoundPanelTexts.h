// The language keys the sound panels' code chooses between at run time (the layouts name their
// fixed captions themselves).
#pragma once

namespace nk7x {

// Under a microphone or monitoring control that the headset does not offer.
inline constexpr const char* kSoundVolumeMissingKey = "hs_volume_missing_text";
inline constexpr const char* kSoundMuteMissingKey = "hs_mute_missing_text";
inline constexpr const char* kSoundVolumeMuteMissingKey = "hs_volume_mute_missing_text";
// Shown by the custom curve list while no curve is chosen.
inline constexpr const char* kCustomEqNoneKey = "custom_eq_none_text";

inline constexpr const char* kSoundPanelCodeKeys[] = {kSoundVolumeMissingKey, kSoundMuteMissingKey,
                                                      kSoundVolumeMuteMissingKey, kCustomEqNoneKey};

} // namespace nk7x
