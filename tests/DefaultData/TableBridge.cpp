#include "TableBridge.h"

#include "devices/LightModeTables.h"
#include "devices/headset/HeadsetTables.h"
#include "devices/keyboard/KeyboardTables.h"
#include "devices/mouse/MouseTables.h"

namespace nk7x::test {
namespace {

uint32_t Pack(const KeyCode& c) {
    return uint32_t{c.type} << 16 | uint32_t{c.b1} << 8 | c.b2;
}

} // namespace

std::vector<uint32_t> KeyboardFactoryCodes() {
    std::vector<uint32_t> out;
    for (const auto& key : DefaultKeyCodeTable)
        out.push_back(Pack(key.code));
    return out;
}

std::vector<uint32_t> MouseFactoryCodes() {
    std::vector<uint32_t> out;
    for (const auto& button : DefaultButtonCodeTable)
        out.push_back(Pack(button.code));
    return out;
}

std::vector<std::array<int, 10>> EqPresetBandValues() {
    static_assert(kEqBandCount == 10);
    std::vector<std::array<int, 10>> out;
    for (const auto& preset : EqPresetTable) {
        std::array<int, 10> bands{};
        for (std::size_t b = 0; b < bands.size(); ++b)
            bands[b] = preset[b];
        out.push_back(bands);
    }
    return out;
}

std::vector<ModeNameRow> ModeNames(int kindNumber) {
    std::vector<ModeNameRow> out;
    for (const auto& mode : BuiltInLightModes(kindNumber))
        out.push_back({mode.nameKey, mode.visible});
    return out;
}

std::vector<std::string> AreaNames(int kindNumber) {
    std::vector<std::string> out;
    for (const char* area : LightAreaNames(kindNumber))
        out.emplace_back(area);
    return out;
}

} // namespace nk7x::test
