// Type-checked access to JsonCpp values. JsonCpp throws on a type mismatch (asInt on a string,
// operator[] on an array or a number); these helpers check the type first and never throw, so a
// file of the wrong shape reads as the defaults.
#pragma once

#include <json/value.h>

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace nk7x {

// Readers. A missing member, a null and a member of the wrong type all give the default.

// The member `key` of `object`; null when `object` is not an object or has no such member.
const Json::Value& JsonMember(const Json::Value& object, std::string_view key);

// Element `index` of `array`; null when `array` is not an array or is too short.
const Json::Value& JsonElement(const Json::Value& array, Json::ArrayIndex index);

// Integers: JSON integers of any size keep their low 64 bits, finite reals are truncated toward
// zero, booleans read as 0 or 1; anything else gives `fallback`.
int64_t JsonValueInt64(const Json::Value& value, int64_t fallback = 0);
// The low 32 bits of JsonValueInt64.
int32_t JsonValueInt(const Json::Value& value, int32_t fallback = 0);
// Booleans as they are; numbers are true when non-zero; anything else gives `fallback`.
bool JsonValueBool(const Json::Value& value, bool fallback = false);
// Strings as they are (UTF-8); anything else gives `fallback`.
std::string JsonValueString(const Json::Value& value, const std::string& fallback = {});

int64_t JsonInt64(const Json::Value& object, std::string_view key, int64_t fallback = 0);
int32_t JsonInt(const Json::Value& object, std::string_view key, int32_t fallback = 0);
bool JsonBool(const Json::Value& object, std::string_view key, bool fallback = false);
std::string JsonString(const Json::Value& object, std::string_view key, const std::string& fallback = {});

// The member when it is an array (an object), else an empty array (an empty object), so callers
// can iterate without checking.
const Json::Value& JsonArray(const Json::Value& object, std::string_view key);
const Json::Value& JsonObject(const Json::Value& object, std::string_view key);

// True when `value` is neither null nor absent, whatever its type.
inline bool JsonPresent(const Json::Value& value) {
    return !value.isNull();
}

// Writers. Each turns a value of the wrong shape into the shape it needs (a null becomes an empty
// object or array; any other type is replaced), so a later write never throws.

Json::Value& JsonMakeObject(Json::Value& value);
Json::Value& JsonMakeArray(Json::Value& value);
// The member `key` of `object`, created as null when missing; `object` becomes an object first.
Json::Value& JsonSlot(Json::Value& object, std::string_view key);
// Element `index` of `array`, which grows with nulls as needed; `array` becomes an array first.
// Callers bound `index` (see kJsonMaxIndex) before growing an array from a number read in a file.
Json::Value& JsonSlot(Json::Value& array, Json::ArrayIndex index);

// The largest array index the profile code creates elements up to (no profile section holds more
// than a few hundred: 126 keys, 20 custom curves); a larger index read from a file is refused
// rather than growing a huge array.
inline constexpr Json::ArrayIndex kJsonMaxIndex = 1023;

// Runs `body` and returns its result; an exception (JsonCpp's or an allocation failure) gives
// `fallback` instead. A last resort at the boundary of the profile code: the readers above check
// types, so a body that uses them does not throw.
template <class T, class Body> T JsonGuard(T fallback, Body&& body) {
    try {
        return body();
    } catch (const std::exception&) {
        return fallback;
    }
}

template <class Body> void JsonGuardVoid(Body&& body) {
    try {
        body();
    } catch (const std::exception&) {
    }
}

} // namespace nk7x
