// The few sound-card controls a USB headset offers without its chip library: the microphone's
// capture volume and switch, and the monitoring (sidetone) volume and switch. The ALSA mixer sits
// behind it in the program, a double in tests.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace nk7x {

enum class MixerControl { MicVolume, MicSwitch, MonitorVolume, MonitorSwitch };

// The raw steps of a volume control, both ends included.
struct MixerRange {
    long min = 0;
    long max = 0;
    bool operator==(const MixerRange&) const = default;
};

class MixerLayer {
  public:
    virtual ~MixerLayer() = default;

    // Whether the card has the control at all.
    virtual bool Has(MixerControl control) const = 0;
    // The range of a volume control; nullopt for a switch or a missing control.
    virtual std::optional<MixerRange> VolumeRange(MixerControl control) const = 0;

    // Raw steps, on every channel of the control; false when the card refused or lacks it.
    virtual bool SetVolume(MixerControl control, long raw) = 0;
    virtual std::optional<long> Volume(MixerControl control) = 0;
    // On: sound passes (not muted).
    virtual bool SetSwitch(MixerControl control, bool on) = 0;
    virtual std::optional<bool> Switch(MixerControl control) = 0;

    // Which card and which of its controls serve which purpose, for logs and reports.
    virtual std::string Describe() const = 0;
};

// Opens the mixer of the sound card of the USB device with these ids; null when there is none,
// with the reason in `report` (and on success what was found).
using MixerOpener =
    std::function<std::unique_ptr<MixerLayer>(uint16_t vendorId, uint16_t productId, std::string* report)>;

} // namespace nk7x
