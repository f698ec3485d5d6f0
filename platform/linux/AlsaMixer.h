// The headset's mixer layer on Linux: the sound card whose USB device has the headset's ids (found
// through udev) and the ALSA mixer elements on it that serve as microphone and monitoring controls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/MixerLayer.h"

namespace nk7x {

// The ALSA card number of the first sound card whose parent USB device has these ids; nullopt with
// the reason in `why` (ids 0 stand for an unknown device and match nothing).
std::optional<int> FindUsbSoundCard(uint16_t vendorId, uint16_t productId, std::string* why = nullptr);

// What a simple mixer element offers, as far as choosing controls goes.
struct MixerElementInfo {
    std::string name;
    unsigned index = 0;
    bool captureVolume = false;
    bool captureSwitch = false;
    bool playbackVolume = false;
    bool playbackSwitch = false;
};

// Indexes into the element list of the element chosen for each control; empty when none fits.
struct MixerElementChoice {
    std::optional<size_t> micVolume;
    std::optional<size_t> micSwitch;
    std::optional<size_t> monitorVolume;
    std::optional<size_t> monitorSwitch;
};

// Microphone: a capture element by its usual names ("Mic", "Capture", "Headset", ...), else the
// first one with the capability. Monitoring: a playback element by the sidetone names
// ("Sidetone", "Mic", "Monitor", ... - the microphone's playback path), never the output's own
// volume ("PCM", "Speaker", "Headphone"). A switch comes from the volume's element when it has one,
// else from an element of the same names (never from an unnamed one: it may be the automatic gain).
MixerElementChoice ChooseMixerElements(const std::vector<MixerElementInfo>& elements);

// The mixer of the headset's sound card; null when there is no such card, it cannot be opened or
// it offers none of the four controls. `report` says which card and controls were found, or why none.
std::unique_ptr<MixerLayer> OpenAlsaHeadsetMixer(uint16_t vendorId, uint16_t productId, std::string* report);

} // namespace nk7x
