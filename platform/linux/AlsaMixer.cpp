#include "platform/linux/AlsaMixer.h"

#include <alsa/asoundlib.h>
#include <libudev.h>
#include <poll.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "platform/DebugLog.h"

namespace nk7x {

namespace {

// ---- the card -----------------------------------------------------------------------------------

std::optional<unsigned> HexAttribute(udev_device* device, const char* name) {
    const char* text = udev_device_get_sysattr_value(device, name);
    if (!text)
        return std::nullopt;
    unsigned value = 0;
    const char* end = text + std::strlen(text);
    const auto [stop, ec] = std::from_chars(text, end, value, 16);
    if (ec != std::errc() || (stop != end && *stop != '\n'))
        return std::nullopt;
    return value;
}

// "card3" -> 3; nullopt for the card's other nodes (controlC3, pcmC3D0p, ...).
std::optional<int> CardNumber(const char* sysname) {
    if (!sysname || std::strncmp(sysname, "card", 4) != 0)
        return std::nullopt;
    const char* digits = sysname + 4;
    const char* end = digits + std::strlen(digits);
    int number = -1;
    const auto [stop, ec] = std::from_chars(digits, end, number);
    if (digits == end || ec != std::errc() || stop != end || number < 0)
        return std::nullopt;
    return number;
}

std::string IdText(uint16_t vendorId, uint16_t productId) {
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", vendorId, productId);
    return text;
}

// ---- choosing elements --------------------------------------------------------------------------

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// In order of preference. ALSA's simple elements drop " Capture Volume" / " Playback Switch", so
// "Mic Capture Volume" is the element "Mic" with a capture volume, and "Mic Playback Volume" (the
// microphone heard in the headset) the same element's playback volume.
constexpr std::array kMicNames = {"mic",         "capture",     "headset",     "microphone",
                                  "headset mic", "mic capture", "internal mic"};
constexpr std::array kMonitorNames = {"sidetone", "side tone",   "mic",         "mic playback",
                                      "monitor",  "mic monitor", "headset mic", "microphone"};
// Words that make a playback element the microphone's path rather than the output's volume.
constexpr std::array kMonitorWords = {"sidetone", "side tone", "mic", "monitor"};

template <typename Has>
std::optional<size_t> ByName(const std::vector<MixerElementInfo>& elements, const auto& names, Has has) {
    for (const char* name : names)
        for (size_t i = 0; i < elements.size(); ++i)
            if (has(elements[i]) && Lower(elements[i].name) == name)
                return i;
    return std::nullopt;
}

template <typename Has> std::optional<size_t> First(const std::vector<MixerElementInfo>& elements, Has has) {
    for (size_t i = 0; i < elements.size(); ++i)
        if (has(elements[i]))
            return i;
    return std::nullopt;
}

template <typename Has> std::optional<size_t> ByWord(const std::vector<MixerElementInfo>& elements, Has has) {
    for (size_t i = 0; i < elements.size(); ++i) {
        const std::string name = Lower(elements[i].name);
        if (has(elements[i]) &&
            std::any_of(kMonitorWords.begin(), kMonitorWords.end(),
                        [&](const char* word) { return name.find(word) != std::string::npos; }))
            return i;
    }
    return std::nullopt;
}

// ---- the mixer ----------------------------------------------------------------------------------

const char* ControlName(MixerControl control) {
    switch (control) {
    case MixerControl::MicVolume:
        return "microphone volume";
    case MixerControl::MicSwitch:
        return "microphone switch";
    case MixerControl::MonitorVolume:
        return "monitoring volume";
    case MixerControl::MonitorSwitch:
        return "monitoring switch";
    }
    return "?";
}

bool IsCapture(MixerControl control) {
    return control == MixerControl::MicVolume || control == MixerControl::MicSwitch;
}

class AlsaMixer final : public MixerLayer {
  public:
    AlsaMixer(snd_mixer_t* mixer, std::string card) : m_mixer(mixer), m_card(std::move(card)) {}
    ~AlsaMixer() override { snd_mixer_close(m_mixer); }
    AlsaMixer(const AlsaMixer&) = delete;
    AlsaMixer& operator=(const AlsaMixer&) = delete;

    void Assign(MixerControl control, snd_mixer_elem_t* element) {
        m_elements[static_cast<size_t>(control)] = element;
    }
    bool Empty() const {
        return std::all_of(m_elements.begin(), m_elements.end(), [](auto* e) { return e == nullptr; });
    }

    bool Has(MixerControl control) const override { return Element(control) != nullptr; }

    std::optional<MixerRange> VolumeRange(MixerControl control) const override {
        snd_mixer_elem_t* element = Element(control);
        if (!element || control == MixerControl::MicSwitch || control == MixerControl::MonitorSwitch)
            return std::nullopt;
        long min = 0;
        long max = 0;
        const int error = IsCapture(control) ? snd_mixer_selem_get_capture_volume_range(element, &min, &max)
                                             : snd_mixer_selem_get_playback_volume_range(element, &min, &max);
        if (error < 0)
            return std::nullopt;
        return MixerRange{min, max};
    }

    bool SetVolume(MixerControl control, long raw) override {
        const auto range = VolumeRange(control);
        if (!range)
            return false;
        snd_mixer_elem_t* element = Element(control);
        raw = std::clamp(raw, range->min, range->max);
        const int error = IsCapture(control) ? snd_mixer_selem_set_capture_volume_all(element, raw)
                                             : snd_mixer_selem_set_playback_volume_all(element, raw);
        return Done(error, control);
    }

    std::optional<long> Volume(MixerControl control) override {
        if (!VolumeRange(control))
            return std::nullopt;
        TakeEvents();
        snd_mixer_elem_t* element = Element(control);
        const auto channel = FirstChannel(element, IsCapture(control));
        if (!channel)
            return std::nullopt;
        long value = 0;
        const int error = IsCapture(control) ? snd_mixer_selem_get_capture_volume(element, *channel, &value)
                                             : snd_mixer_selem_get_playback_volume(element, *channel, &value);
        if (error < 0)
            return std::nullopt;
        return value;
    }

    bool SetSwitch(MixerControl control, bool on) override {
        snd_mixer_elem_t* element = SwitchElement(control);
        if (!element)
            return false;
        const int error = IsCapture(control) ? snd_mixer_selem_set_capture_switch_all(element, on ? 1 : 0)
                                             : snd_mixer_selem_set_playback_switch_all(element, on ? 1 : 0);
        return Done(error, control);
    }

    std::optional<bool> Switch(MixerControl control) override {
        snd_mixer_elem_t* element = SwitchElement(control);
        if (!element)
            return std::nullopt;
        TakeEvents();
        const auto channel = FirstChannel(element, IsCapture(control));
        if (!channel)
            return std::nullopt;
        int value = 0;
        const int error = IsCapture(control) ? snd_mixer_selem_get_capture_switch(element, *channel, &value)
                                             : snd_mixer_selem_get_playback_switch(element, *channel, &value);
        if (error < 0)
            return std::nullopt;
        return value != 0;
    }

    std::string Describe() const override {
        std::string text = m_card;
        for (MixerControl control : {MixerControl::MicVolume, MixerControl::MicSwitch,
                                     MixerControl::MonitorVolume, MixerControl::MonitorSwitch}) {
            text +=
                std::string(control == MixerControl::MicVolume ? ": " : ", ") + ControlName(control) + " ";
            snd_mixer_elem_t* element = Element(control);
            text += element ? std::string("\"") + snd_mixer_selem_get_name(element) + "\"" : "none";
        }
        return text;
    }

  private:
    snd_mixer_elem_t* Element(MixerControl control) const { return m_elements[static_cast<size_t>(control)]; }

    snd_mixer_elem_t* SwitchElement(MixerControl control) const {
        return control == MixerControl::MicSwitch || control == MixerControl::MonitorSwitch ? Element(control)
                                                                                            : nullptr;
    }

    static std::optional<snd_mixer_selem_channel_id_t> FirstChannel(snd_mixer_elem_t* element, bool capture) {
        for (int c = SND_MIXER_SCHN_FRONT_LEFT; c <= SND_MIXER_SCHN_LAST; ++c) {
            const auto channel = static_cast<snd_mixer_selem_channel_id_t>(c);
            if (capture ? snd_mixer_selem_has_capture_channel(element, channel)
                        : snd_mixer_selem_has_playback_channel(element, channel))
                return channel;
        }
        return std::nullopt;
    }

    // Changes made elsewhere (another mixer program, the headset's own buttons) reach the cached
    // values only as events; the mixer is non-blocking, so this never waits.
    void TakeEvents() {
        const int count = snd_mixer_poll_descriptors_count(m_mixer);
        if (count <= 0)
            return;
        std::vector<pollfd> fds(static_cast<size_t>(count));
        if (snd_mixer_poll_descriptors(m_mixer, fds.data(), static_cast<unsigned>(count)) < 0)
            return;
        if (::poll(fds.data(), fds.size(), 0) > 0)
            snd_mixer_handle_events(m_mixer);
    }

    bool Done(int error, MixerControl control) const {
        if (error < 0)
            DebugLogf("audio mixer: %s not set: %s", ControlName(control), snd_strerror(error));
        return error >= 0;
    }

    snd_mixer_t* m_mixer;
    std::string m_card;
    std::array<snd_mixer_elem_t*, 4> m_elements{};
};

} // namespace

std::optional<int> FindUsbSoundCard(uint16_t vendorId, uint16_t productId, std::string* why) {
    auto fail = [&](std::string reason) -> std::optional<int> {
        if (why)
            *why = std::move(reason);
        return std::nullopt;
    };
    if (vendorId == 0 && productId == 0)
        return fail("the headset's USB ids are not known");
    udev* manager = udev_new();
    if (!manager)
        return fail("the device manager cannot be reached");
    udev_enumerate* enumerate = udev_enumerate_new(manager);
    if (!enumerate || udev_enumerate_add_match_subsystem(enumerate, "sound") < 0 ||
        udev_enumerate_scan_devices(enumerate) < 0) {
        if (enumerate)
            udev_enumerate_unref(enumerate);
        udev_unref(manager);
        return fail("the device manager cannot list sound cards");
    }
    int cards = 0;
    std::optional<int> found;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate)) {
        udev_device* device = udev_device_new_from_syspath(manager, udev_list_entry_get_name(entry));
        if (!device)
            continue;
        if (const auto number = CardNumber(udev_device_get_sysname(device))) {
            ++cards;
            // The parent is owned by the child: no unref.
            udev_device* usb = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device");
            if (usb && !found && HexAttribute(usb, "idVendor") == vendorId &&
                HexAttribute(usb, "idProduct") == productId)
                found = number;
        }
        udev_device_unref(device);
    }
    udev_enumerate_unref(enumerate);
    udev_unref(manager);
    if (!found)
        return fail("no sound card belongs to USB device " + IdText(vendorId, productId) + " (" +
                    std::to_string(cards) + (cards == 1 ? " sound card" : " sound cards") + " present)");
    return found;
}

MixerElementChoice ChooseMixerElements(const std::vector<MixerElementInfo>& elements) {
    MixerElementChoice choice;
    const auto captureVolume = [](const MixerElementInfo& e) { return e.captureVolume; };
    const auto captureSwitch = [](const MixerElementInfo& e) { return e.captureSwitch; };
    const auto playbackVolume = [](const MixerElementInfo& e) { return e.playbackVolume; };
    const auto playbackSwitch = [](const MixerElementInfo& e) { return e.playbackSwitch; };

    choice.micVolume = ByName(elements, kMicNames, captureVolume);
    if (!choice.micVolume)
        choice.micVolume = First(elements, captureVolume);
    if (choice.micVolume && elements[*choice.micVolume].captureSwitch)
        choice.micSwitch = choice.micVolume;
    // Only by name: a nameless capture switch is as likely the automatic gain or a mode.
    if (!choice.micSwitch)
        choice.micSwitch = ByName(elements, kMicNames, captureSwitch);

    choice.monitorVolume = ByName(elements, kMonitorNames, playbackVolume);
    if (!choice.monitorVolume)
        choice.monitorVolume = ByWord(elements, playbackVolume);
    if (choice.monitorVolume && elements[*choice.monitorVolume].playbackSwitch)
        choice.monitorSwitch = choice.monitorVolume;
    if (!choice.monitorSwitch)
        choice.monitorSwitch = ByName(elements, kMonitorNames, playbackSwitch);
    if (!choice.monitorSwitch)
        choice.monitorSwitch = ByWord(elements, playbackSwitch);
    return choice;
}

std::unique_ptr<MixerLayer> OpenAlsaHeadsetMixer(uint16_t vendorId, uint16_t productId, std::string* report) {
    auto fail = [&](std::string reason) -> std::unique_ptr<MixerLayer> {
        DebugLogf("audio mixer: %s", reason.c_str());
        if (report)
            *report = std::move(reason);
        return nullptr;
    };
    std::string why;
    const auto card = FindUsbSoundCard(vendorId, productId, &why);
    if (!card)
        return fail(why);

    const std::string device = "hw:" + std::to_string(*card);
    std::string cardName = "card " + std::to_string(*card);
    if (char* name = nullptr; snd_card_get_name(*card, &name) >= 0 && name) {
        cardName += std::string(" \"") + name + "\"";
        std::free(name);
    }
    snd_mixer_t* mixer = nullptr;
    int error = snd_mixer_open(&mixer, 0);
    if (error < 0)
        return fail(cardName + ": no mixer: " + snd_strerror(error));
    snd_hctl_t* hctl = nullptr;
    if ((error = snd_mixer_attach(mixer, device.c_str())) < 0 ||
        (error = snd_mixer_selem_register(mixer, nullptr, nullptr)) < 0 ||
        (error = snd_mixer_load(mixer)) < 0 ||
        (error = snd_mixer_get_hctl(mixer, device.c_str(), &hctl)) < 0 ||
        (error = snd_hctl_nonblock(hctl, 1)) < 0) {
        snd_mixer_close(mixer);
        return fail(cardName + ": its mixer cannot be opened: " + snd_strerror(error));
    }
    auto alsa = std::make_unique<AlsaMixer>(mixer, cardName);

    std::vector<MixerElementInfo> infos;
    std::vector<snd_mixer_elem_t*> elements;
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer); e; e = snd_mixer_elem_next(e)) {
        if (!snd_mixer_selem_is_active(e))
            continue;
        MixerElementInfo info;
        info.name = snd_mixer_selem_get_name(e);
        info.index = snd_mixer_selem_get_index(e);
        // A common (joined) volume or switch serves both directions.
        const bool commonVolume = snd_mixer_selem_has_common_volume(e);
        const bool commonSwitch = snd_mixer_selem_has_common_switch(e);
        info.captureVolume = snd_mixer_selem_has_capture_volume(e) && !commonVolume;
        info.captureSwitch = snd_mixer_selem_has_capture_switch(e) && !commonSwitch;
        info.playbackVolume = snd_mixer_selem_has_playback_volume(e) != 0;
        info.playbackSwitch = snd_mixer_selem_has_playback_switch(e) != 0;
        infos.push_back(std::move(info));
        elements.push_back(e);
    }
    const MixerElementChoice choice = ChooseMixerElements(infos);
    const auto assign = [&](MixerControl control, const std::optional<size_t>& at) {
        if (at)
            alsa->Assign(control, elements[*at]);
    };
    assign(MixerControl::MicVolume, choice.micVolume);
    assign(MixerControl::MicSwitch, choice.micSwitch);
    assign(MixerControl::MonitorVolume, choice.monitorVolume);
    assign(MixerControl::MonitorSwitch, choice.monitorSwitch);
    if (alsa->Empty())
        return fail(cardName + ": no microphone or monitoring controls among " +
                    std::to_string(infos.size()) + " mixer elements");
    std::string found = alsa->Describe();
    DebugLogf("audio mixer: %s", found.c_str());
    if (report)
        *report = std::move(found);
    return alsa;
}

} // namespace nk7x
