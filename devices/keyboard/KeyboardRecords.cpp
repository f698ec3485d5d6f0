#include "devices/keyboard/KeyboardRecords.h"

#include <cstring>

namespace nk7x {

namespace {
void PutU16(std::vector<uint8_t>& out, size_t at, size_t value) {
    out[at] = static_cast<uint8_t>(value & 0xFF);
    out[at + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}
uint16_t GetU16(std::span<const uint8_t> in, size_t at) {
    return static_cast<uint16_t>(in[at] | in[at + 1] << 8);
}
} // namespace

KeyboardSettingsRecord KeyboardSettingsRecord::From(uint8_t index, const LightState& light,
                                                    const KeyboardSystemStages& stages) {
    KeyboardSettingsRecord r;
    r.index = index;
    r.light = light;
    r.stages = stages;
    return r;
}

std::array<uint8_t, KeyboardSettingsRecord::kSize> KeyboardSettingsRecord::Serialise() const {
    KeyboardSettingsWire w{};
    w.index = index;
    w.mode = light.mode >= kFirstUnsentLightMode ? 0 : light.mode;
    w.brightness = light.brightness;
    w.speed = static_cast<uint8_t>(4 - light.speed);
    w.direction = light.direction;
    w.multiColor = light.multiColor;
    w.red = light.red;
    w.green = light.green;
    w.blue = light.blue;
    w.secondaryMode = light.secondaryMode;
    w.wKeyFlag = static_cast<uint8_t>(stages.wKeyFlag);
    w.key6Flag = static_cast<uint8_t>(stages.key6Flag);
    w.winKeyFlag = static_cast<uint8_t>(stages.winKeyFlag);
    w.pollingRate = static_cast<uint8_t>(stages.pollingRate);
    w.customGroup = light.customGroup;
    std::array<uint8_t, kSize> out{};
    std::memcpy(out.data(), &w, kSize);
    return out;
}

bool KeyboardSettingsRecord::Parse(std::span<const uint8_t> bytes, KeyboardSettingsRecord& out) {
    if (bytes.size() < kSize)
        return false;
    KeyboardSettingsWire w;
    std::memcpy(&w, bytes.data(), kSize);
    KeyboardSettingsRecord r;
    r.index = w.index;
    r.light.mode = w.mode;
    r.light.brightness = w.brightness;
    r.light.speed = static_cast<uint8_t>(4 - w.speed);
    r.light.direction = w.direction;
    r.light.multiColor = w.multiColor;
    r.light.red = w.red;
    r.light.green = w.green;
    r.light.blue = w.blue;
    r.light.secondaryMode = w.secondaryMode;
    r.light.customGroup = w.customGroup;
    r.stages.wKeyFlag = w.wKeyFlag;
    r.stages.key6Flag = w.key6Flag;
    r.stages.winKeyFlag = w.winKeyFlag;
    r.stages.pollingRate = w.pollingRate;
    out = r;
    return true;
}

size_t MacroImage::SizeFor(std::span<const size_t> eventCounts) {
    size_t total = kHeaderSize + (2 + kBlockHeaderSize) * eventCounts.size();
    for (size_t n : eventCounts)
        total += kEventSize * n;
    return total;
}

size_t MacroImage::Size() const {
    std::vector<size_t> counts;
    counts.reserve(macros.size());
    for (const auto& m : macros)
        counts.push_back(m.size());
    return SizeFor(counts);
}

std::vector<uint8_t> MacroImage::Serialise() const {
    const size_t total = Size();
    if (total > kMaxSize)
        return {};
    std::vector<uint8_t> out(total, 0);
    PutU16(out, 0, kMagic);
    PutU16(out, 2, total);
    PutU16(out, 4, macros.size());
    size_t block = kHeaderSize + 2 * macros.size();
    for (size_t i = 0; i < macros.size(); ++i) {
        PutU16(out, kHeaderSize + 2 * i, block);
        PutU16(out, block, macros[i].size());
        size_t at = block + kBlockHeaderSize;
        for (const MacroEvent& e : macros[i]) {
            PutU16(out, at, e.delay);
            out[at + 2] = TypeAndDirection(e);
            out[at + 3] = e.button;
            at += kEventSize;
        }
        block = at;
    }
    return out;
}

bool MacroImage::Parse(std::span<const uint8_t> bytes, MacroImage& out) {
    if (bytes.size() < kHeaderSize || GetU16(bytes, 0) != kMagic)
        return false;
    const size_t total = GetU16(bytes, 2);
    const size_t count = GetU16(bytes, 4);
    if (total > bytes.size() || kHeaderSize + 2 * count > total)
        return false;
    MacroImage image;
    for (size_t i = 0; i < count; ++i) {
        const size_t block = GetU16(bytes, kHeaderSize + 2 * i);
        if (block < kHeaderSize + 2 * count || block + kBlockHeaderSize > total)
            return false;
        const size_t events = GetU16(bytes, block);
        if (block + kBlockHeaderSize + kEventSize * events > total)
            return false;
        std::vector<MacroEvent> list;
        for (size_t k = 0; k < events; ++k) {
            const size_t at = block + kBlockHeaderSize + kEventSize * k;
            MacroEvent e;
            e.delay = GetU16(bytes, at);
            e.down = (bytes[at + 2] & 0x80) != 0;
            e.type = bytes[at + 2] & 0x7F;
            e.button = bytes[at + 3];
            list.push_back(e);
        }
        image.macros.push_back(std::move(list));
    }
    out = std::move(image);
    return true;
}

} // namespace nk7x
