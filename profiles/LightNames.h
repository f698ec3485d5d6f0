// The lighting name lists a device page shows: the built-in modes with their visibility and the
// lighting areas from "default_light.json", and the user's custom effects from
// "tavro_light.config", each taken from the element of the page's kind number.
#pragma once

#include <json/value.h>

#include <string>
#include <vector>

namespace nk7x {

struct LightModeName {
    std::string name;     // "LightName"
    bool visible = false; // "visible"; an entry without it is hidden
    bool operator==(const LightModeName&) const = default;
};

struct LightNameLists {
    std::vector<LightModeName> modes;       // "DefaultLightName"[kind]
    std::vector<std::string> areas;         // "AreaLightName"[kind]
    std::vector<std::string> customEffects; // "LightInfo"[kind] of the lighting configuration
};

// From parsed documents; a null document or a missing kind element gives an empty list.
std::vector<LightModeName> DefaultLightModeNames(const Json::Value& defaultLight, int kindNumber);
std::vector<std::string> AreaLightNames(const Json::Value& defaultLight, int kindNumber);
std::vector<std::string> CustomEffectNames(const Json::Value& lightConfig, int kindNumber);

// Reads both files ("default_light.json" of the default data folder and the kind's
// "tavro_light.config"); a missing or malformed file gives empty lists.
LightNameLists ReadLightNameLists(int kindNumber, const std::string& defaultLightPath,
                                  const std::string& lightConfigPath);

} // namespace nk7x
