// The headset's sound controls as the sound panels use them: microphone and monitoring volume and
// mute, the equaliser, the voice effect, surround and noise cancelling, and which of them exist.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "devices/headset/HeadsetTables.h"

namespace nk7x {

// One capability each; a backend answers for the headset it actually reached.
enum class Feature {
    MicVolume,
    MicMute,
    MonitorVolume, // hearing one's own microphone in the headset (sidetone)
    MonitorMute,
    Equaliser,
    VoiceEffect,
    Surround,
    NoiseCancelling,
};
inline constexpr int kFeatureCount = 8;

// "mic-volume", "monitor-mute", ... for logs and reports.
const char* FeatureName(Feature feature);

// The ten band values of one equaliser curve, band 1 first (the presets range from -13 to 18).
using EqCurve = std::array<int32_t, kEqBandCount>;

// The curve of equaliser preset 1..12; nullopt for every other type.
std::optional<EqCurve> EqPresetCurve(int eqType);

// What the chip holds now, for the profile. An entry is empty when the headset does not have it or
// the chip would not tell.
struct AudioState {
    std::optional<int> micVolume; // 0..100
    std::optional<bool> micMuted;
    std::optional<int> monitorVolume; // 0..100
    std::optional<bool> monitorMuted;
    std::optional<bool> voiceEffectOn;
    std::optional<int> voiceEffect; // 1..4
    std::optional<EqCurve> eqBands;
};

// Every setter returns true only when the headset accepted the value; false leaves the caller's
// stored setting as it was. A setter for a feature the headset lacks returns false and reaches
// nothing. Used from one thread (the page's).
class AudioChip {
  public:
    virtual ~AudioChip() = default;

    virtual bool Supports(Feature feature) const = 0;

    // 0..100 (clamped).
    virtual bool SetMicVolume(int percent) = 0;
    virtual bool SetMicMuted(bool muted) = 0;
    virtual bool SetMonitorVolume(int percent) = 0;
    virtual bool SetMonitorMuted(bool muted) = 0;

    // Switching the effect on also switches the microphone echo off.
    virtual bool SetVoiceEffectEnabled(bool on) = 0;
    // Choice 1..4; any other choice is refused without reaching the chip.
    virtual bool SelectVoiceEffect(int choice) = 0;

    // Switches the equaliser on and writes all ten bands (a preset or a custom curve); false when
    // any write was refused (the writes after a refused one still happen).
    virtual bool ApplyEqCurve(const EqCurve& bands) = 0;
    // Band 0..9 alone, the equaliser switch untouched (a band slider moved).
    virtual bool SetEqBand(int band, int32_t value) = 0;

    virtual bool SetSurround(bool on) = 0;
    virtual bool SetNoiseCancelling(bool on) = 0;

    virtual AudioState ReadState() = 0;
};

} // namespace nk7x
