#include "profiles/json/JsonAccess.h"

#include <cmath>

namespace nk7x {
namespace {

const Json::Value& NullValue() {
    static const Json::Value null;
    return null;
}

const Json::Value& EmptyArray() {
    static const Json::Value empty(Json::arrayValue);
    return empty;
}

const Json::Value& EmptyObject() {
    static const Json::Value empty(Json::objectValue);
    return empty;
}

} // namespace

const Json::Value& JsonMember(const Json::Value& object, std::string_view key) {
    if (!object.isObject())
        return NullValue();
    const Json::Value* found = object.find(key.data(), key.data() + key.size());
    return found ? *found : NullValue();
}

const Json::Value& JsonElement(const Json::Value& array, Json::ArrayIndex index) {
    if (!array.isArray() || index >= array.size())
        return NullValue();
    return array[index];
}

int64_t JsonValueInt64(const Json::Value& value, int64_t fallback) {
    switch (value.type()) {
    case Json::intValue:
        return value.asInt64();
    case Json::uintValue:
        return static_cast<int64_t>(value.asUInt64());
    case Json::realValue: {
        double d = value.asDouble();
        // Outside this range the conversion is undefined; such a value is no usable integer.
        if (!std::isfinite(d) || d <= -9223372036854775808.0 || d >= 9223372036854775808.0)
            return fallback;
        return static_cast<int64_t>(d);
    }
    case Json::booleanValue:
        return value.asBool() ? 1 : 0;
    default:
        return fallback;
    }
}

int32_t JsonValueInt(const Json::Value& value, int32_t fallback) {
    if (!value.isNumeric() && !value.isBool())
        return fallback;
    return static_cast<int32_t>(
        static_cast<uint32_t>(static_cast<uint64_t>(JsonValueInt64(value, fallback))));
}

bool JsonValueBool(const Json::Value& value, bool fallback) {
    switch (value.type()) {
    case Json::booleanValue:
        return value.asBool();
    case Json::intValue:
        return value.asInt64() != 0;
    case Json::uintValue:
        return value.asUInt64() != 0;
    case Json::realValue:
        return value.asDouble() != 0.0;
    default:
        return fallback;
    }
}

std::string JsonValueString(const Json::Value& value, const std::string& fallback) {
    return value.isString() ? value.asString() : fallback;
}

int64_t JsonInt64(const Json::Value& object, std::string_view key, int64_t fallback) {
    return JsonValueInt64(JsonMember(object, key), fallback);
}

int32_t JsonInt(const Json::Value& object, std::string_view key, int32_t fallback) {
    return JsonValueInt(JsonMember(object, key), fallback);
}

bool JsonBool(const Json::Value& object, std::string_view key, bool fallback) {
    return JsonValueBool(JsonMember(object, key), fallback);
}

std::string JsonString(const Json::Value& object, std::string_view key, const std::string& fallback) {
    return JsonValueString(JsonMember(object, key), fallback);
}

const Json::Value& JsonArray(const Json::Value& object, std::string_view key) {
    const Json::Value& member = JsonMember(object, key);
    return member.isArray() ? member : EmptyArray();
}

const Json::Value& JsonObject(const Json::Value& object, std::string_view key) {
    const Json::Value& member = JsonMember(object, key);
    return member.isObject() ? member : EmptyObject();
}

Json::Value& JsonMakeObject(Json::Value& value) {
    if (!value.isObject())
        value = Json::Value(Json::objectValue);
    return value;
}

Json::Value& JsonMakeArray(Json::Value& value) {
    if (!value.isArray())
        value = Json::Value(Json::arrayValue);
    return value;
}

Json::Value& JsonSlot(Json::Value& object, std::string_view key) {
    return JsonMakeObject(object)[std::string(key)];
}

Json::Value& JsonSlot(Json::Value& array, Json::ArrayIndex index) {
    return JsonMakeArray(array)[index];
}

} // namespace nk7x
