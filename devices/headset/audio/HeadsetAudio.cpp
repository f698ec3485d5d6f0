#include "devices/headset/audio/HeadsetAudio.h"

#include "devices/headset/audio/MixerAudio.h"
#include "platform/DebugLog.h"
#include "platform/linux/AlsaMixer.h"

namespace nk7x {

const char* AudioBackendName(AudioBackend backend) {
    switch (backend) {
    case AudioBackend::None:
        return "none";
    case AudioBackend::ChipLibrary:
        return "chip library";
    case AudioBackend::Mixer:
        return "sound card mixer";
    }
    return "none";
}

HeadsetAudio::HeadsetAudio(uint16_t vendorId, uint16_t productId, Sources sources) {
    const std::string path = sources.libraryPath.empty() ? ChipLibrary::DefaultPath() : sources.libraryPath;
    std::string libraryWhy;
    if (auto library = ChipLibrary::Load(path, &libraryWhy)) {
        library->Start();
        m_library = library.get();
        m_chip = std::move(library);
        m_backend = AudioBackend::ChipLibrary;
        m_report = "chip library " + path;
    } else {
        const MixerOpener open = sources.openMixer ? sources.openMixer : MixerOpener(OpenAlsaHeadsetMixer);
        std::string mixerReport;
        if (auto mixer = open(vendorId, productId, &mixerReport)) {
            m_chip = std::make_unique<MixerAudio>(std::move(mixer));
            m_backend = AudioBackend::Mixer;
            m_report = "sound card mixer: " + mixerReport + " (chip library: " + libraryWhy + ")";
        } else {
            m_report = "no sound controls: chip library: " + libraryWhy + "; sound card: " + mixerReport;
        }
    }
    DebugLogf("headset audio: %s", m_report.c_str());
}

} // namespace nk7x
