#include "devices/headset/audio/MixerAudio.h"

#include <algorithm>
#include <cmath>

#include "platform/DebugLog.h"

namespace nk7x {

long RawFromPercent(int percent, const MixerRange& range) {
    if (range.max <= range.min)
        return range.min;
    const double span = static_cast<double>(range.max) - static_cast<double>(range.min);
    const double step = std::round(span * std::clamp(percent, 0, 100) / 100.0);
    return range.min + static_cast<long>(step);
}

int PercentFromRaw(long raw, const MixerRange& range) {
    if (range.max <= range.min)
        return 0;
    const double span = static_cast<double>(range.max) - static_cast<double>(range.min);
    const double at =
        static_cast<double>(std::clamp(raw, range.min, range.max)) - static_cast<double>(range.min);
    return static_cast<int>(std::lround(at * 100.0 / span));
}

MixerAudio::MixerAudio(std::unique_ptr<MixerLayer> mixer) : m_mixer(std::move(mixer)) {}

std::optional<MixerRange> MixerAudio::UsableRange(MixerControl control) const {
    if (!m_mixer->Has(control))
        return std::nullopt;
    const auto range = m_mixer->VolumeRange(control);
    if (!range || range->max <= range->min)
        return std::nullopt;
    return range;
}

bool MixerAudio::Supports(Feature feature) const {
    switch (feature) {
    case Feature::MicVolume:
        return UsableRange(MixerControl::MicVolume).has_value();
    case Feature::MicMute:
        return m_mixer->Has(MixerControl::MicSwitch);
    case Feature::MonitorVolume:
        return UsableRange(MixerControl::MonitorVolume).has_value();
    case Feature::MonitorMute:
        return m_mixer->Has(MixerControl::MonitorSwitch);
    case Feature::Equaliser:
    case Feature::VoiceEffect:
    case Feature::Surround:
    case Feature::NoiseCancelling:
        return false;
    }
    return false;
}

bool MixerAudio::SetPercent(MixerControl control, int percent) {
    const auto range = UsableRange(control);
    if (!range)
        return false;
    const bool accepted = m_mixer->SetVolume(control, RawFromPercent(percent, *range));
    if (!accepted)
        DebugLogf("audio mixer: volume %d%% refused", percent);
    return accepted;
}

std::optional<int> MixerAudio::Percent(MixerControl control) {
    const auto range = UsableRange(control);
    if (!range)
        return std::nullopt;
    const auto raw = m_mixer->Volume(control);
    if (!raw)
        return std::nullopt;
    return PercentFromRaw(*raw, *range);
}

bool MixerAudio::SetMicVolume(int percent) {
    return SetPercent(MixerControl::MicVolume, percent);
}

bool MixerAudio::SetMicMuted(bool muted) {
    return Supports(Feature::MicMute) && m_mixer->SetSwitch(MixerControl::MicSwitch, !muted);
}

bool MixerAudio::SetMonitorVolume(int percent) {
    return SetPercent(MixerControl::MonitorVolume, percent);
}

bool MixerAudio::SetMonitorMuted(bool muted) {
    return Supports(Feature::MonitorMute) && m_mixer->SetSwitch(MixerControl::MonitorSwitch, !muted);
}

// The sound card has no such controls: they live in the chip and need its library.
bool MixerAudio::SetVoiceEffectEnabled(bool) {
    return false;
}

bool MixerAudio::SelectVoiceEffect(int) {
    return false;
}

bool MixerAudio::ApplyEqCurve(const EqCurve&) {
    return false;
}

bool MixerAudio::SetEqBand(int, int32_t) {
    return false;
}

bool MixerAudio::SetSurround(bool) {
    return false;
}

bool MixerAudio::SetNoiseCancelling(bool) {
    return false;
}

AudioState MixerAudio::ReadState() {
    AudioState state;
    state.micVolume = Percent(MixerControl::MicVolume);
    state.monitorVolume = Percent(MixerControl::MonitorVolume);
    if (Supports(Feature::MicMute))
        if (const auto on = m_mixer->Switch(MixerControl::MicSwitch))
            state.micMuted = !*on;
    if (Supports(Feature::MonitorMute))
        if (const auto on = m_mixer->Switch(MixerControl::MonitorSwitch))
            state.monitorMuted = !*on;
    return state;
}

} // namespace nk7x
