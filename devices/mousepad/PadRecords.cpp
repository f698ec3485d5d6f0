#include "devices/mousepad/PadRecords.h"

#include <algorithm>

namespace nk7x {

void PadSettingsRecord::TakeLight(const LightState& light) {
    m_bytes[kMode] = light.mode;
    m_bytes[kBrightness] = light.brightness;
    m_bytes[kSpeed] = std::min(light.speed, kPadTopSpeed);
    m_bytes[kMultiColour] = light.multiColor;
    m_bytes[kRed] = light.red;
    m_bytes[kRed + 1] = light.green;
    m_bytes[kRed + 2] = light.blue;
}

bool PadSettingsRecord::TakeRead(std::span<const uint8_t> read) {
    if (read.size() < m_bytes.size())
        return false;
    std::copy_n(read.begin(), m_bytes.size(), m_bytes.begin());
    // Both directions count modulo 256, so whatever the pad sent here comes back unchanged.
    m_bytes[kSpeed] = static_cast<uint8_t>(kPadTopSpeed - read[kSpeed]);
    return true;
}

PadWireRecord PadSettingsRecord::Wire() const {
    PadWireRecord wire = m_bytes;
    if (wire[kMode] >= kPadFirstUnsentLightMode)
        wire[kMode] = 0;
    wire[kSpeed] = static_cast<uint8_t>(kPadTopSpeed - m_bytes[kSpeed]);
    return wire;
}

PadSettingsRead ReadPadSettings(CDeviceCommandLink& link) {
    PadSettingsRead r;
    const LinkResult index = link.ReadParameters(&r.index, 1, 0);
    if (index != kResultOk) {
        r.result = index;
        return r;
    }
    r.result = link.ReadParameters(r.bytes.data(), r.bytes.size(),
                                   static_cast<uint16_t>(std::size_t{r.index} * kPadSettingsReadStride));
    return r;
}

LinkResult WritePadSettings(CDeviceCommandLink& link, int n, const PadWireRecord& wire) {
    if (n < 0 || n > kPadMaxRecordIndex)
        return kResultFailed;
    FirstFailure f;
    f.Take(link.BeginConfig());
    f.Take(
        link.WriteParameters(wire.data(), wire.size(),
                             static_cast<uint16_t>(static_cast<std::size_t>(n) * kPadSettingsWriteStride)));
    f.Take(link.EndConfig());
    return f.result;
}

} // namespace nk7x
