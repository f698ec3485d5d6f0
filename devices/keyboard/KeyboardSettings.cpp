#include "devices/keyboard/KeyboardSettings.h"

#include <string>

namespace nk7x {

namespace {
constexpr uint16_t kMaxRecordIndex = (0xFFFF - KeyboardSettingsRecord::kSize) / kSettingsRecordStride;
} // namespace

KeyboardSettingsRead CKeyboardSettings::Fetch() {
    KeyboardSettingsRead read;
    CDeviceCommandLink& link = m_ctx.Link();
    link.SetBackgroundPause(false);
    if (!link.IsOpen())
        return read;
    uint8_t index = 0;
    read.result = link.ReadParameters(&index, 1, 0);
    if (read.result != kResultOk)
        return read;
    read.index = index;
    read.result = link.ReadParameters(read.bytes.data(), read.bytes.size(),
                                      static_cast<uint16_t>(index * kSettingsRecordStride));
    return read;
}

std::optional<KeyboardSettingsRecord> CKeyboardSettings::TakeRead(const KeyboardSettingsRead& read) {
    // A read that failed brought nothing to trust: the profile and the keyboard stay as they are.
    if (read.result != kResultOk)
        return std::nullopt;
    KeyboardSettingsRecord record;
    KeyboardSettingsRecord::Parse(read.bytes, record);
    m_index = read.index;
    m_mirror = record;
    if (m_forcedRed.exchange(false, std::memory_order_acq_rel)) {
        record.light.red = 0xFF;
        record.light.green = 0;
        record.light.blue = 0;
    }
    return record;
}

LightState CKeyboardSettings::WithRecordLight(LightState light, const KeyboardSettingsRecord& record) {
    light.mode = record.light.mode;
    light.brightness = record.light.brightness;
    light.speed = record.light.speed;
    light.direction = record.light.direction;
    light.multiColor = record.light.multiColor;
    light.red = record.light.red;
    light.green = record.light.green;
    light.blue = record.light.blue;
    light.secondaryMode = record.light.secondaryMode;
    return light;
}

void CKeyboardSettings::TakeRecordFlags(const KeyboardSystemStages& flags) {
    m_stages.wKeyFlag = flags.wKeyFlag;
    m_stages.key6Flag = flags.key6Flag;
    m_stages.winKeyFlag = flags.winKeyFlag;
    m_ctx.Profile().SetSystemStages(m_stages);
}

CKeyboardSettings::Bytes CKeyboardSettings::ProfileBytes(uint8_t byte0) {
    CKeyboardProfiledata& profile = m_ctx.Profile();
    return KeyboardSettingsRecord::From(byte0, profile.GetLightInfo(), profile.GetSystemStages()).Serialise();
}

LinkResult CKeyboardSettings::Transfer(int n, const Bytes& bytes) {
    CDeviceCommandLink& link = m_ctx.Link();
    if (!link.IsOpen())
        return kResultFailed;
    FirstFailure f;
    f.Take(link.BeginConfig());
    f.Take(
        link.WriteParameters(bytes.data(), bytes.size(), static_cast<uint16_t>(n * kSettingsRecordStride)));
    f.Take(link.EndConfig());
    return f.result;
}

LinkResult CKeyboardSettings::Write(int n, uint8_t byte0) {
    if (n < 0 || n > kMaxRecordIndex)
        return kResultFailed;
    const LinkResult result = Transfer(n, ProfileBytes(byte0));
    m_ctx.ReportFailure(KeyboardWrite::Settings, result);
    return result;
}

void CKeyboardSettings::QueueWrite(int n, uint8_t byte0) {
    if (n < 0 || n > kMaxRecordIndex)
        return;
    // The record is taken from the profile now; the worker only moves the bytes.
    const Bytes bytes = ProfileBytes(byte0);
    m_ctx.Device().RunTransfer(
        "settings-" + std::to_string(n), [this, n, bytes]() -> CDeviceBase::Continuation {
            const LinkResult result = Transfer(n, bytes);
            return [this, result] { m_ctx.ReportFailure(KeyboardWrite::Settings, result); };
        });
}

void CKeyboardSettings::SetStages(const KeyboardSystemStages& stages) {
    m_stages = stages;
    m_ctx.Profile().SetSystemStages(stages);
}

KeyboardSettingsControls CKeyboardSettings::Controls() const {
    KeyboardSettingsControls c;
    c.pollingOption = m_stages.pollingRate <= 3 ? m_stages.pollingRate : 0;
    c.winLock = m_stages.winKeyFlag != 0;
    c.wFlag = m_stages.wKeyFlag != 0;
    c.key6Flag = m_stages.key6Flag != 0;
    c.repeatRate = m_stages.repeatRate;
    c.repeatDelayOption = m_stages.repeatDelay <= 3 ? m_stages.repeatDelay : 0;
    c.repeatDelayMs = c.repeatDelayOption * 250 + 250;
    return c;
}

} // namespace nk7x
