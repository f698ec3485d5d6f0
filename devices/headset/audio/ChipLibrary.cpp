#include "devices/headset/audio/ChipLibrary.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "devices/headset/audio/ChipText.h"
#include "platform/DebugLog.h"
#include "platform/Folders.h"

namespace nk7x {

namespace {

constexpr const char* kLibraryFile = "SDK/libnk7x-audiochip.so";

// Device list directions of GetDeviceCount / GetDeviceById.
constexpr int32_t kOutputs = 0;
constexpr int32_t kInputs = 1;
// Output device types in order of preference; the microphone's type.
constexpr int32_t kOutputTypes[] = {1, 12, 7, 4};
constexpr int32_t kMicrophoneType = 2;
// A library that claims more devices than this is not believed beyond it.
constexpr int32_t kMaxDevices = 64;
// A feature list needs at least this many numbers; the program keeps numbers 0, 4 and 6.
constexpr size_t kFeatureNumbers = 7;
// Bit of the microphone's feature number 0: the voice effect exists.
constexpr int64_t kVoiceEffectBit = 0x20000;

// Channel parameters of the volume properties; the surround effect's three words.
const std::vector<int32_t> kMicChannel = {-1};
const std::vector<int32_t> kMonitorChannel = {0};
const std::vector<int32_t> kSurroundParameter = {4, -1, 0};

std::u16string BandName(int band) {
    return Utf16FromAscii("EQ_Slider" + std::to_string(band + 1));
}

std::string Ascii(std::u16string_view name) {
    std::string out;
    for (char16_t c : name)
        out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

int PercentFromScalar(double scalar) {
    // Rounded, not truncated: 0.29 * 100 is 28.999... and would lose a step on every round trip.
    return static_cast<int>(std::lround(std::clamp(scalar, 0.0, 1.0) * 100.0));
}

template <typename Fn> Fn Resolve(const SharedLibrary& library, const char* name) {
    return reinterpret_cast<Fn>(library.Symbol(name));
}

} // namespace

const char* ChipLibrary::NoticeText(Notice notice) {
    switch (notice) {
    case Notice::InitFailed:
        return "ConfLibInit called failed!";
    case Notice::ShortFeatureList:
        return "UpdateAPOAvailable failed!";
    }
    return "";
}

std::string ChipLibrary::DefaultPath() {
    return JoinPath(ProgramFolder(), kLibraryFile);
}

std::unique_ptr<ChipLibrary> ChipLibrary::Load(const std::string& path, std::string* why) {
    auto fail = [&](std::string reason) -> std::unique_ptr<ChipLibrary> {
        DebugLogf("audio chip: library not used: %s", reason.c_str());
        if (why)
            *why = std::move(reason);
        return nullptr;
    };
    // Its own dependencies are its business (its run path); nothing of it is shared with the program.
    std::string error;
    std::unique_ptr<SharedLibrary> library = SharedLibrary::Open(path, error);
    if (!library)
        return fail(error.empty() ? path + " cannot be loaded" : error);
    const SharedLibrary& lib = *library;
    Calls calls;
    calls.init = Resolve<NkConfLibInitFn>(lib, kNkConfLibInit);
    calls.createDeviceList = Resolve<NkCreateDeviceListFn>(lib, kNkCreateDeviceList);
    calls.getDeviceCount = Resolve<NkGetDeviceCountFn>(lib, kNkGetDeviceCount);
    calls.getDeviceById = Resolve<NkGetDeviceByIdFn>(lib, kNkGetDeviceById);
    calls.propertyControl = Resolve<NkPropertyControlFn>(lib, kNkPropertyControl);
    std::string missing;
    const std::pair<const void*, const char*> needed[] = {
        {reinterpret_cast<const void*>(calls.init), kNkConfLibInit},
        {reinterpret_cast<const void*>(calls.createDeviceList), kNkCreateDeviceList},
        {reinterpret_cast<const void*>(calls.getDeviceCount), kNkGetDeviceCount},
        {reinterpret_cast<const void*>(calls.getDeviceById), kNkGetDeviceById},
        {reinterpret_cast<const void*>(calls.propertyControl), kNkPropertyControl}};
    for (const auto& [address, name] : needed)
        if (!address)
            missing += std::string(missing.empty() ? "" : ", ") + name;
    if (!missing.empty())
        return fail(path + " lacks " + missing);
    // The rest of the library's interface is never called; a library without it still serves.
    for (const char* name : kNkUncalledExports)
        if (!lib.Symbol(name))
            DebugLogf("audio chip: %s lacks %s (not needed)", path.c_str(), name);
    DebugLogf("audio chip: library %s loaded", path.c_str());
    return std::unique_ptr<ChipLibrary>(new ChipLibrary(std::move(library), calls));
}

ChipLibrary::ChipLibrary(std::unique_ptr<SharedLibrary> library, const Calls& calls)
    : m_library(std::move(library)), m_calls(calls) {}

ChipLibrary::~ChipLibrary() {
    if (m_library && m_started)
        m_library->KeepLoaded();
}

void ChipLibrary::Start() {
    if (m_started)
        return;
    m_started = true;
    if (const int32_t result = m_calls.init(); result != 0) {
        DebugLogf("audio chip: initialisation failed (%d)", result);
        m_notices.push_back(Notice::InitFailed);
    }
    m_calls.createDeviceList();
    int32_t count = 0;
    m_calls.getDeviceCount(kOutputs, &count);
    if (count <= 0) {
        DebugLog("audio chip: no audio devices");
        return;
    }
    SelectDevices();
    if (m_mic)
        ReadFeatureList(*m_mic, "microphone");
    if (m_output)
        ReadFeatureList(*m_output, "output");
    EnsureDefaults();
    m_startState = ReadState();
}

void ChipLibrary::SelectDevices() {
    auto list = [&](int32_t direction) {
        int32_t count = 0;
        m_calls.getDeviceCount(direction, &count);
        std::vector<NkAudioDeviceId> ids;
        for (int32_t i = 0; i < std::min(count, kMaxDevices); ++i) {
            NkAudioDeviceId id{};
            // A device the library cannot describe is skipped (type 0 matches nothing).
            if (m_calls.getDeviceById(direction, i, &id) != 0)
                id = NkAudioDeviceId{};
            ids.push_back(id);
        }
        return ids;
    };
    const std::vector<NkAudioDeviceId> outputs = list(kOutputs);
    for (int32_t type : kOutputTypes) {
        const auto it = std::find_if(outputs.begin(), outputs.end(), [&](const NkAudioDeviceId& id) {
            return id.words[1] == type && id.words[3] == 1;
        });
        if (it != outputs.end()) {
            m_output = Device{*it, std::nullopt};
            DebugLogf("audio chip: output device %d (type %d)", static_cast<int>(it - outputs.begin()), type);
            break;
        }
    }
    const std::vector<NkAudioDeviceId> inputs = list(kInputs);
    const auto mic = std::find_if(inputs.begin(), inputs.end(),
                                  [](const NkAudioDeviceId& id) { return id.words[1] == kMicrophoneType; });
    if (mic != inputs.end()) {
        m_mic = Device{*mic, std::nullopt};
        DebugLogf("audio chip: microphone %d", static_cast<int>(mic - inputs.begin()));
    }
    if (!m_output)
        DebugLog("audio chip: no usable output device");
    if (!m_mic)
        DebugLog("audio chip: no microphone");
}

void ChipLibrary::ReadFeatureList(Device& device, const char* which) {
    if (Control(device, u"GetSupportFeature", false, m_value.size(), {}) != 0)
        return;
    const auto text = BoundedText(reinterpret_cast<const char*>(m_value.data()), m_value.size());
    const auto numbers = text ? NumberList(*text) : std::nullopt;
    if (!numbers || numbers->size() < kFeatureNumbers) {
        DebugLogf("audio chip: %s feature list unusable: \"%s\"", which,
                  text ? text->c_str() : "(unterminated)");
        m_notices.push_back(Notice::ShortFeatureList);
        return;
    }
    device.features = std::array<int64_t, 3>{(*numbers)[0], (*numbers)[4], (*numbers)[6]};
}

void ChipLibrary::EnsureDefault(const Device& device, std::u16string_view name, const Parameter& parameter) {
    if (Control(device, name, false, kExchangeBytes, parameter) == 0)
        return;
    // Every default is zero; as a float 0.0 has the same bytes.
    if (!WriteInt(device, name, 0, parameter))
        DebugLogf("audio chip: default of %s refused", Ascii(name).c_str());
}

void ChipLibrary::EnsureDefaults() {
    if (m_output)
        EnsureDefault(*m_output, u"VirtualSurroundEffectControl", kSurroundParameter);
    if (m_mic) {
        EnsureDefault(*m_mic, u"Enable_ENC_LFX", {});
        EnsureDefault(*m_mic, u"VolumeControl", kMicChannel);
    }
    if (m_output) {
        EnsureDefault(*m_output, u"Enable_EQ_GFX", {});
        for (int b = 0; b < kEqBandCount; ++b)
            EnsureDefault(*m_output, BandName(b), {});
        for (const char16_t* name : {u"Enable_RFX_GFX", u"RFX_ENVIRONMENT", u"RFX_ROOMSIZE"})
            EnsureDefault(*m_output, name, {});
    }
    if (m_mic) {
        EnsureDefault(*m_mic, u"MuteControl", {});
        EnsureDefault(*m_mic, u"VolumeScalarControl", kMicChannel);
        EnsureDefault(*m_mic, u"AAVolumeControl", kMonitorChannel);
        EnsureDefault(*m_mic, u"AAMuteControl", {});
        EnsureDefault(*m_mic, u"AAVolumeScalarControl", kMonitorChannel);
        EnsureDefault(*m_mic, u"Enable_MAGICVOICE", {});
        EnsureDefault(*m_mic, u"MagicVoice_Selection", {});
    }
}

std::optional<std::array<int64_t, 3>> ChipLibrary::MicrophoneFeatures() const {
    return m_mic ? m_mic->features : std::nullopt;
}

std::optional<std::array<int64_t, 3>> ChipLibrary::OutputFeatures() const {
    return m_output ? m_output->features : std::nullopt;
}

bool ChipLibrary::Supports(Feature feature) const {
    switch (feature) {
    case Feature::MicVolume:
    case Feature::MicMute:
    case Feature::NoiseCancelling:
        return m_mic.has_value();
    case Feature::MonitorVolume:
    case Feature::MonitorMute:
        return m_mic.has_value() && m_monitorReadable;
    case Feature::VoiceEffect:
        return m_mic && m_mic->features && ((*m_mic->features)[0] & kVoiceEffectBit) != 0;
    case Feature::Equaliser:
    case Feature::Surround:
        return m_output.has_value();
    }
    return false;
}

bool ChipLibrary::VolumeWrite(std::u16string_view scalarName, std::u16string_view readBackName,
                              int32_t channel, int percent) {
    const Parameter parameter = {channel};
    const float scalar = static_cast<float>(std::clamp(percent, 0, 100)) / 100.0f;
    if (!WriteFloat(*m_mic, scalarName, scalar, parameter))
        return false;
    LogRead(*m_mic, readBackName, parameter);
    return true;
}

bool ChipLibrary::SetMicVolume(int percent) {
    return Supports(Feature::MicVolume) && VolumeWrite(u"VolumeScalarControl", u"VolumeControl", -1, percent);
}

bool ChipLibrary::SetMicMuted(bool muted) {
    return Supports(Feature::MicMute) && WriteInt(*m_mic, u"MuteControl", muted ? 1 : 0);
}

bool ChipLibrary::SetMonitorVolume(int percent) {
    return Supports(Feature::MonitorVolume) &&
           VolumeWrite(u"AAVolumeScalarControl", u"AAVolumeControl", 0, percent);
}

bool ChipLibrary::SetMonitorMuted(bool muted) {
    return Supports(Feature::MonitorMute) && WriteInt(*m_mic, u"AAMuteControl", muted ? 1 : 0);
}

bool ChipLibrary::SetVoiceEffectEnabled(bool on) {
    if (!Supports(Feature::VoiceEffect))
        return false;
    const bool accepted = WriteInt(*m_mic, u"Enable_MAGICVOICE", on ? 1 : 0);
    // The echo would play over the changed voice.
    if (on && !WriteInt(*m_mic, u"Enable_MICECHO", 0))
        DebugLog("audio chip: microphone echo not switched off");
    return accepted;
}

bool ChipLibrary::SelectVoiceEffect(int choice) {
    if (choice < 1 || choice > 4 || !Supports(Feature::VoiceEffect))
        return false;
    return WriteInt(*m_mic, u"MagicVoice_Selection", choice - 1);
}

bool ChipLibrary::ApplyEqCurve(const EqCurve& bands) {
    if (!Supports(Feature::Equaliser))
        return false;
    bool accepted = WriteInt(*m_output, u"Enable_EQ_GFX", 1);
    for (int b = 0; b < kEqBandCount; ++b)
        accepted = WriteInt(*m_output, BandName(b), bands[static_cast<size_t>(b)]) && accepted;
    return accepted;
}

bool ChipLibrary::SetEqBand(int band, int32_t value) {
    if (band < 0 || band >= kEqBandCount || !Supports(Feature::Equaliser))
        return false;
    return WriteInt(*m_output, BandName(band), value);
}

bool ChipLibrary::SetSurround(bool on) {
    return Supports(Feature::Surround) &&
           WriteInt(*m_output, u"VirtualSurroundEffectControl", on ? 1 : 0, kSurroundParameter);
}

bool ChipLibrary::SetNoiseCancelling(bool on) {
    return Supports(Feature::NoiseCancelling) && WriteInt(*m_mic, u"Enable_ENC_LFX", on ? 1 : 0);
}

AudioState ChipLibrary::ReadState() {
    AudioState state;
    if (m_mic) {
        for (const char16_t* name : {u"GetMaxVol", u"GetMinVol", u"GetVolStep"})
            LogRead(*m_mic, name);
        LogRead(*m_mic, u"VolumeControl", kMicChannel);
        if (const auto muted = ReadInt(*m_mic, u"MuteControl"))
            state.micMuted = *muted != 0;
        if (const auto scalar = ReadNumber(*m_mic, u"VolumeScalarControl", kMicChannel))
            state.micVolume = PercentFromScalar(*scalar);

        // A microphone without a monitor path has no monitor range.
        m_monitorReadable = true;
        for (const char16_t* name : {u"GetAAMaxVol", u"GetAAMinVol", u"GetAAVolStep"}) {
            const auto text = ReadText(*m_mic, name);
            if (!text) {
                m_monitorReadable = false;
                break;
            }
            DebugLogf("audio chip: %s = %s", Ascii(name).c_str(), text->c_str());
        }
        if (m_monitorReadable) {
            LogRead(*m_mic, u"AAVolumeControl", kMonitorChannel);
            if (const auto muted = ReadInt(*m_mic, u"AAMuteControl"))
                state.monitorMuted = *muted != 0;
            if (const auto scalar = ReadNumber(*m_mic, u"AAVolumeScalarControl", kMonitorChannel))
                state.monitorVolume = PercentFromScalar(*scalar);
        }
    }
    if (m_output) {
        EqCurve bands{};
        bool complete = true;
        for (int b = 0; b < kEqBandCount; ++b) {
            const auto value = ReadInt(*m_output, BandName(b));
            if (value && *value >= INT32_MIN && *value <= INT32_MAX)
                bands[static_cast<size_t>(b)] = static_cast<int32_t>(*value);
            else
                complete = false;
        }
        if (complete)
            state.eqBands = bands;
    }
    if (Supports(Feature::VoiceEffect)) {
        if (const auto on = ReadInt(*m_mic, u"Enable_MAGICVOICE"))
            state.voiceEffectOn = *on != 0;
        if (const auto selection = ReadInt(*m_mic, u"MagicVoice_Selection");
            selection && *selection >= 0 && *selection <= 3)
            state.voiceEffect = static_cast<int>(*selection) + 1;
    }
    return state;
}

int32_t ChipLibrary::Control(const Device& device, std::u16string_view name, bool set, size_t valueSize,
                             const Parameter& parameter) {
    const std::u16string terminated(name);
    if (!set)
        std::fill(m_value.begin(), m_value.end(), uint8_t{0});
    std::fill(m_parameter.begin(), m_parameter.end(), uint8_t{0});
    const size_t words = std::min(parameter.size(), m_parameter.size() / sizeof(int32_t));
    if (words > 0)
        std::memcpy(m_parameter.data(), parameter.data(), words * sizeof(int32_t));
    return m_calls.propertyControl(device.id, terminated.c_str(), set ? 1 : 0, m_value.data(),
                                   static_cast<uint32_t>(std::min(valueSize, m_value.size())),
                                   words > 0 ? m_parameter.data() : nullptr,
                                   words > 0 ? static_cast<uint32_t>(m_parameter.size()) : 0);
}

bool ChipLibrary::WriteRaw(const Device& device, std::u16string_view name, const void* value4,
                           const Parameter& parameter) {
    std::fill(m_value.begin(), m_value.end(), uint8_t{0});
    std::memcpy(m_value.data(), value4, 4);
    const int32_t result = Control(device, name, true, kExchangeBytes, parameter);
    if (result != 0)
        DebugLogf("audio chip: %s refused (%d)", Ascii(name).c_str(), result);
    return result == 0;
}

bool ChipLibrary::WriteInt(const Device& device, std::u16string_view name, int32_t value,
                           const Parameter& parameter) {
    return WriteRaw(device, name, &value, parameter);
}

bool ChipLibrary::WriteFloat(const Device& device, std::u16string_view name, float value,
                             const Parameter& parameter) {
    static_assert(sizeof(float) == 4);
    return WriteRaw(device, name, &value, parameter);
}

std::optional<std::string> ChipLibrary::ReadText(const Device& device, std::u16string_view name,
                                                 const Parameter& parameter) {
    if (Control(device, name, false, kExchangeBytes, parameter) != 0)
        return std::nullopt;
    char16_t text[kExchangeBytes / sizeof(char16_t)];
    std::memcpy(text, m_value.data(), sizeof text);
    auto ascii = AsciiFromUtf16(text, std::size(text));
    if (!ascii)
        DebugLogf("audio chip: %s gave no readable text", Ascii(name).c_str());
    return ascii;
}

std::optional<int64_t> ChipLibrary::ReadInt(const Device& device, std::u16string_view name,
                                            const Parameter& parameter) {
    const auto text = ReadText(device, name, parameter);
    return text ? LeadingInteger(*text) : std::nullopt;
}

std::optional<double> ChipLibrary::ReadNumber(const Device& device, std::u16string_view name,
                                              const Parameter& parameter) {
    const auto text = ReadText(device, name, parameter);
    return text ? LeadingNumber(*text) : std::nullopt;
}

void ChipLibrary::LogRead(const Device& device, std::u16string_view name, const Parameter& parameter) {
    const auto text = ReadText(device, name, parameter);
    DebugLogf("audio chip: %s = %s", Ascii(name).c_str(), text ? text->c_str() : "(unreadable)");
}

} // namespace nk7x
