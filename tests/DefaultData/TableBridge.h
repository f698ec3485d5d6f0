// The device tables in plain types, for the tests that also use the profile records (whose key
// code type would clash with the device tables' in one translation unit).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace nk7x::test {

// Packed factory codes (type << 16 | byte 1 << 8 | byte 2), by key or button index.
std::vector<uint32_t> KeyboardFactoryCodes();
std::vector<uint32_t> MouseFactoryCodes();

// Bands of EqType t at element t - 1.
std::vector<std::array<int, 10>> EqPresetBandValues();

struct ModeNameRow {
    std::string name;
    bool visible;
};
std::vector<ModeNameRow> ModeNames(int kindNumber);
std::vector<std::string> AreaNames(int kindNumber);

} // namespace nk7x::test
