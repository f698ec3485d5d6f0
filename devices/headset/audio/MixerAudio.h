// The headset's sound controls on top of its sound card's mixer: microphone and monitoring volume
// and mute only; the equaliser, voice effect, surround and noise cancelling need the chip library.
#pragma once

#include <memory>

#include "devices/headset/audio/AudioChip.h"
#include "platform/MixerLayer.h"

namespace nk7x {

// A slider's 0..100 as the control's raw steps and back, rounded to the nearest step; both ends
// map onto both ends. An empty or reversed range maps everything to its minimum and 0.
long RawFromPercent(int percent, const MixerRange& range);
int PercentFromRaw(long raw, const MixerRange& range);

class MixerAudio final : public AudioChip {
  public:
    explicit MixerAudio(std::unique_ptr<MixerLayer> mixer);

    const MixerLayer& Mixer() const { return *m_mixer; }

    bool Supports(Feature feature) const override;
    bool SetMicVolume(int percent) override;
    bool SetMicMuted(bool muted) override;
    bool SetMonitorVolume(int percent) override;
    bool SetMonitorMuted(bool muted) override;
    bool SetVoiceEffectEnabled(bool on) override;
    bool SelectVoiceEffect(int choice) override;
    bool ApplyEqCurve(const EqCurve& bands) override;
    bool SetEqBand(int band, int32_t value) override;
    bool SetSurround(bool on) override;
    bool SetNoiseCancelling(bool on) override;
    AudioState ReadState() override;

  private:
    // The range of a volume control the card has and that has more than one step.
    std::optional<MixerRange> UsableRange(MixerControl control) const;
    bool SetPercent(MixerControl control, int percent);
    std::optional<int> Percent(MixerControl control);

    std::unique_ptr<MixerLayer> m_mixer;
};

} // namespace nk7x
