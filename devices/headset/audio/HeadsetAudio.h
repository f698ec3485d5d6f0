// How the program reaches the headset's sound: through its chip library when that loads, else
// through its sound card's mixer when the card is found, else not at all; and which it is.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "devices/headset/audio/AudioChip.h"
#include "devices/headset/audio/ChipLibrary.h"
#include "platform/MixerLayer.h"

namespace nk7x {

enum class AudioBackend { None, ChipLibrary, Mixer };

// "none", "chip library", "sound card mixer".
const char* AudioBackendName(AudioBackend backend);

class HeadsetAudio {
  public:
    struct Sources {
        std::string libraryPath; // empty: ChipLibrary::DefaultPath()
        MixerOpener openMixer;   // empty: the ALSA mixer
    };

    // Decides once, at construction: loads and starts the library, or opens the mixer of the card
    // whose USB device has these ids (the headset's identity).
    HeadsetAudio(uint16_t vendorId, uint16_t productId, Sources sources = {});
    HeadsetAudio(const HeadsetAudio&) = delete;
    HeadsetAudio& operator=(const HeadsetAudio&) = delete;

    AudioBackend Backend() const { return m_backend; }
    // Null with no backend.
    AudioChip* Chip() { return m_chip.get(); }
    // The library, for its start-up notices; null unless it is the backend.
    const ChipLibrary* Library() const { return m_library; }
    // False for everything without a backend.
    bool Supports(Feature feature) const { return m_chip && m_chip->Supports(feature); }
    // Why this backend: what the library and the mixer lookup said.
    const std::string& Report() const { return m_report; }

  private:
    AudioBackend m_backend = AudioBackend::None;
    std::unique_ptr<AudioChip> m_chip;
    const ChipLibrary* m_library = nullptr;
    std::string m_report;
};

} // namespace nk7x
