// The headset's audio chip reached through the chip vendor's library, loaded at run time from the
// program's SDK folder. Without the library, or without one of the calls it needs, nothing is called.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "devices/headset/audio/AudioChip.h"
#include "devices/headset/audio/ChipLibraryAbi.h"
#include "platform/SharedLibrary.h"

namespace nk7x {

class ChipLibrary final : public AudioChip {
  public:
    // What the start-up sequence wants the user told; the page shows NoticeText as a message.
    enum class Notice { InitFailed, ShortFeatureList };
    static const char* NoticeText(Notice notice);

    // "<program folder>/SDK/libnk7x-audiochip.so".
    static std::string DefaultPath();

    // Opens the library and looks up its calls; calls none of them. Null, with the reason in
    // `why`, when the file cannot be loaded or one of the calls the program makes is missing.
    static std::unique_ptr<ChipLibrary> Load(const std::string& path, std::string* why = nullptr);

    // Unloads the library only when none of its calls ever ran: once started it may hold threads
    // or callbacks of its own, so it stays loaded for the life of the program.
    ~ChipLibrary() override;
    ChipLibrary(const ChipLibrary&) = delete;
    ChipLibrary& operator=(const ChipLibrary&) = delete;

    // Once: initialise the library, list its devices, choose the output device and the
    // microphone, read their feature lists, give unset properties their defaults and read the
    // chip's state (StartState). Later calls do nothing.
    void Start();

    bool HasOutputDevice() const { return m_output.has_value(); }
    bool HasMicrophone() const { return m_mic.has_value(); }
    // Numbers 0, 4 and 6 of a device's feature list; empty when it was not read or too short.
    std::optional<std::array<int64_t, 3>> MicrophoneFeatures() const;
    std::optional<std::array<int64_t, 3>> OutputFeatures() const;
    const std::vector<Notice>& Notices() const { return m_notices; }
    const AudioState& StartState() const { return m_startState; }

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
    struct Calls {
        NkConfLibInitFn init = nullptr;
        NkCreateDeviceListFn createDeviceList = nullptr;
        NkGetDeviceCountFn getDeviceCount = nullptr;
        NkGetDeviceByIdFn getDeviceById = nullptr;
        NkPropertyControlFn propertyControl = nullptr;
    };
    struct Device {
        NkAudioDeviceId id{};
        std::optional<std::array<int64_t, 3>> features;
    };
    // The 32-bit words of a property's parameter; none: no parameter buffer at all.
    using Parameter = std::vector<int32_t>;

    ChipLibrary(std::unique_ptr<SharedLibrary> library, const Calls& calls);

    void SelectDevices();
    void ReadFeatureList(Device& device, const char* which);
    void EnsureDefaults();
    void EnsureDefault(const Device& device, std::u16string_view name, const Parameter& parameter);

    bool WriteInt(const Device& device, std::u16string_view name, int32_t value,
                  const Parameter& parameter = {});
    bool WriteFloat(const Device& device, std::u16string_view name, float value, const Parameter& parameter);
    bool WriteRaw(const Device& device, std::u16string_view name, const void* value4,
                  const Parameter& parameter);
    // The value as text, or nullopt when refused or when the text does not end inside the buffer.
    std::optional<std::string> ReadText(const Device& device, std::u16string_view name,
                                        const Parameter& parameter = {});
    std::optional<int64_t> ReadInt(const Device& device, std::u16string_view name,
                                   const Parameter& parameter = {});
    std::optional<double> ReadNumber(const Device& device, std::u16string_view name,
                                     const Parameter& parameter = {});
    void LogRead(const Device& device, std::u16string_view name, const Parameter& parameter = {});
    int32_t Control(const Device& device, std::u16string_view name, bool set, size_t valueSize,
                    const Parameter& parameter);

    bool VolumeWrite(std::u16string_view scalarName, std::u16string_view readBackName, int32_t channel,
                     int percent);

    std::unique_ptr<SharedLibrary> m_library;
    Calls m_calls;
    bool m_started = false;
    std::optional<Device> m_output;
    std::optional<Device> m_mic;
    bool m_monitorReadable = false;
    std::vector<Notice> m_notices;
    AudioState m_startState;

    // The exchange buffers every property call reuses; cleared before each call. The value buffer
    // is twice the usual size for the feature list.
    static constexpr size_t kExchangeBytes = 1024;
    alignas(8) std::array<uint8_t, 2 * kExchangeBytes> m_value{};
    alignas(8) std::array<uint8_t, kExchangeBytes> m_parameter{};
};

} // namespace nk7x
