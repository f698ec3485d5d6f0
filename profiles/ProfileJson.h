// Small helpers shared by the profile data classes: reading a member into a byte or a 16-bit
// field (low bits kept) and reaching "Device"[index] of a profile file.
#pragma once

#include "profiles/json/JsonAccess.h"

#include <cstdint>
#include <string_view>

namespace nk7x {

inline uint8_t JsonU8(const Json::Value& object, std::string_view key) {
    return static_cast<uint8_t>(static_cast<uint64_t>(JsonInt64(object, key, 0)));
}

inline uint16_t JsonU16(const Json::Value& object, std::string_view key) {
    return static_cast<uint16_t>(static_cast<uint64_t>(JsonInt64(object, key, 0)));
}

inline uint8_t JsonFlag(const Json::Value& object, std::string_view key) {
    return JsonBool(object, key, false) ? 1 : 0;
}

} // namespace nk7x
