#include "devices/headset/audio/AudioChip.h"

namespace nk7x {

const char* FeatureName(Feature feature) {
    switch (feature) {
    case Feature::MicVolume:
        return "mic-volume";
    case Feature::MicMute:
        return "mic-mute";
    case Feature::MonitorVolume:
        return "monitor-volume";
    case Feature::MonitorMute:
        return "monitor-mute";
    case Feature::Equaliser:
        return "equaliser";
    case Feature::VoiceEffect:
        return "voice-effect";
    case Feature::Surround:
        return "surround";
    case Feature::NoiseCancelling:
        return "noise-cancelling";
    }
    return "unknown";
}

std::optional<EqCurve> EqPresetCurve(int eqType) {
    const EqBands* preset = EqPreset(eqType);
    if (!preset)
        return std::nullopt;
    EqCurve curve{};
    // The bands are signed gains, not characters: the sign is meant to carry over.
    for (int b = 0; b < kEqBandCount; ++b)
        curve[static_cast<size_t>(b)] =
            (*preset)[static_cast<size_t>(b)]; // NOLINT(bugprone-signed-char-misuse)
    return curve;
}

} // namespace nk7x
