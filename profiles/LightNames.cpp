#include "profiles/LightNames.h"

#include "profiles/json/JsonFile.h"

namespace nk7x {
namespace {

const Json::Value& KindElement(const Json::Value& document, const char* key, int kindNumber) {
    static const Json::Value empty(Json::arrayValue);
    if (kindNumber < 0)
        return empty;
    const Json::Value& element =
        JsonElement(JsonMember(document, key), static_cast<Json::ArrayIndex>(kindNumber));
    return element.isArray() ? element : empty;
}

std::vector<std::string> Names(const Json::Value& document, const char* key, int kindNumber) {
    return JsonGuard(std::vector<std::string>(), [&] {
        std::vector<std::string> names;
        for (const Json::Value& entry : KindElement(document, key, kindNumber))
            names.push_back(JsonString(entry, "LightName"));
        return names;
    });
}

} // namespace

std::vector<LightModeName> DefaultLightModeNames(const Json::Value& defaultLight, int kindNumber) {
    return JsonGuard(std::vector<LightModeName>(), [&] {
        std::vector<LightModeName> modes;
        for (const Json::Value& entry : KindElement(defaultLight, "DefaultLightName", kindNumber))
            modes.push_back({JsonString(entry, "LightName"), JsonBool(entry, "visible")});
        return modes;
    });
}

std::vector<std::string> AreaLightNames(const Json::Value& defaultLight, int kindNumber) {
    return Names(defaultLight, "AreaLightName", kindNumber);
}

std::vector<std::string> CustomEffectNames(const Json::Value& lightConfig, int kindNumber) {
    return Names(lightConfig, "LightInfo", kindNumber);
}

LightNameLists ReadLightNameLists(int kindNumber, const std::string& defaultLightPath,
                                  const std::string& lightConfigPath) {
    LightNameLists lists;
    Json::Value defaults = LoadJson(defaultLightPath);
    lists.modes = DefaultLightModeNames(defaults, kindNumber);
    lists.areas = AreaLightNames(defaults, kindNumber);
    lists.customEffects = CustomEffectNames(LoadJson(lightConfigPath), kindNumber);
    return lists;
}

} // namespace nk7x
