// A stand-in for the headset's audio-chip library: it keeps the properties a chip would, answers
// reads and writes as the chip library does, and appends every call with its arguments to the file
// named by NK7X_TEST_CHIP_LOG. Its devices and starting state come from NK7X_TEST_CHIP_* variables,
// read once, at its first call.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "devices/headset/audio/ChipLibraryAbi.h"

#define NK_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int32_t kIdBase = 7000;
constexpr int32_t kIdMark = 0x5eed; // word 2: comes back unchanged or the call is refused

struct Chip {
    int32_t initResult = 0;
    std::vector<std::pair<int32_t, int32_t>> devices[2]; // type, usable; [0] outputs, [1] inputs
    std::map<std::string, std::string> properties[2];    // the value as text, per direction
    std::set<std::string> refused;                       // writes that fail
    std::set<std::string> flooded;                       // reads that fill the buffer, unterminated
};

std::string Env(const char* name, const char* fallback = "") {
    const char* value = std::getenv(name);
    return value ? value : fallback;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, separator))
        if (!part.empty())
            parts.push_back(part);
    return parts;
}

void Log(const std::string& line) {
    const std::string path = Env("NK7X_TEST_CHIP_LOG");
    if (path.empty())
        return;
    if (FILE* file = std::fopen(path.c_str(), "a")) {
        std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
}

void Configure(Chip& chip) {
    chip.initResult = std::atoi(Env("NK7X_TEST_CHIP_INIT", "0").c_str());
    const std::string lists[2] = {Env("NK7X_TEST_CHIP_OUTPUTS", "4:1,1:0,1:1"),
                                  Env("NK7X_TEST_CHIP_INPUTS", "3:1,2:1")};
    for (int d = 0; d < 2; ++d)
        for (const std::string& entry : Split(lists[d], ','))
            chip.devices[d].emplace_back(std::atoi(entry.c_str()),
                                         std::atoi(entry.substr(entry.find(':') + 1).c_str()));
    chip.properties[1] = {{"GetSupportFeature", "131072,0,0,0,16,0,64"},
                          {"GetMaxVol", "0"},
                          {"GetMinVol", "-4800"},
                          {"GetVolStep", "48"},
                          {"GetAAMaxVol", "0"},
                          {"GetAAMinVol", "-4800"},
                          {"GetAAVolStep", "48"}};
    chip.properties[0] = {{"GetSupportFeature", "3,0,0,0,9,0,1"}};
    // "in:Name=text" sets, "out:Name" removes (the chip lacks it).
    for (const std::string& entry : Split(Env("NK7X_TEST_CHIP_STATE"), ';')) {
        const int d = entry.rfind("out:", 0) == 0 ? 0 : 1;
        const std::string rest = entry.substr(entry.find(':') + 1);
        const size_t equals = rest.find('=');
        if (equals == std::string::npos)
            chip.properties[d].erase(rest);
        else
            chip.properties[d][rest.substr(0, equals)] = rest.substr(equals + 1);
    }
    for (const std::string& name : Split(Env("NK7X_TEST_CHIP_REFUSE"), ','))
        chip.refused.insert(name);
    for (const std::string& name : Split(Env("NK7X_TEST_CHIP_FLOOD"), ','))
        chip.flooded.insert(name);
}

Chip& State() {
    static Chip chip;
    static bool configured = false;
    if (!configured) {
        Configure(chip);
        configured = true;
    }
    return chip;
}

[[maybe_unused]] std::string Narrow(const char16_t* text) {
    std::string out;
    for (; text && *text; ++text)
        out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
    return out;
}

[[maybe_unused]] bool IsScalar(const std::string& name) {
    return name == "VolumeScalarControl" || name == "AAVolumeScalarControl";
}

[[maybe_unused]] std::string ParameterText(const void* parameter, uint32_t size) {
    if (!parameter)
        return "p=none";
    int32_t words[3] = {0, 0, 0};
    std::memcpy(words, parameter, std::min<uint32_t>(size, sizeof words));
    return "p=" + std::to_string(words[0]) + "," + std::to_string(words[1]) + "," + std::to_string(words[2]);
}

} // namespace

NK_EXPORT int32_t ConfLibInit(void) {
    Log("ConfLibInit");
    return State().initResult;
}

NK_EXPORT int32_t CreateDeviceList(void) {
    Log("CreateDeviceList");
    State();
    return 0;
}

NK_EXPORT int32_t GetDeviceCount(int32_t direction, int32_t* count) {
    Log("GetDeviceCount " + std::to_string(direction));
    if (direction < 0 || direction > 1 || !count)
        return 1;
    *count = static_cast<int32_t>(State().devices[direction].size());
    return 0;
}

NK_EXPORT int32_t GetDeviceById(int32_t direction, int32_t index, NkAudioDeviceId* id) {
    Log("GetDeviceById " + std::to_string(direction) + " " + std::to_string(index));
    if (direction < 0 || direction > 1 || !id || index < 0 ||
        index >= static_cast<int32_t>(State().devices[direction].size()))
        return 1;
    const auto& [type, usable] = State().devices[direction][static_cast<size_t>(index)];
    *id = NkAudioDeviceId{{kIdBase + direction * 100 + index, type, kIdMark, usable}};
    return 0;
}

#ifndef NK7X_FAKE_CHIP_WITHOUT_PROPERTY_CONTROL
NK_EXPORT int32_t PropertyControl(NkAudioDeviceId device, const char16_t* property, int32_t set, void* value,
                                  uint32_t valueSize, void* parameter, uint32_t parameterSize) {
    const std::string name = Narrow(property);
    const int32_t at = device.words[0] - kIdBase;
    const int direction = at / 100;
    const int index = at % 100;
    std::string line = set ? "set " : "get ";
    const bool known = device.words[2] == kIdMark && at >= 0 && direction <= 1 &&
                       index < static_cast<int>(State().devices[direction].size());
    line += known ? (direction == 0 ? "out" : "in") + std::to_string(index) : std::string("?");
    line += " " + name;
    int32_t word = 0;
    float scalar = 0;
    if (set && value && valueSize >= 4) {
        std::memcpy(&word, value, 4);
        std::memcpy(&scalar, value, 4);
        char text[32];
        if (IsScalar(name))
            std::snprintf(text, sizeof text, "%.6g", static_cast<double>(scalar));
        else
            std::snprintf(text, sizeof text, "%d", word);
        line += " " + std::string(text);
    }
    line += " " + ParameterText(parameter, parameterSize);
    Log(line);
    if (!known || !value)
        return 3;
    Chip& chip = State();
    auto& properties = chip.properties[direction];
    if (set) {
        if (valueSize < 4 || chip.refused.count(name))
            return 5;
        char text[32];
        if (IsScalar(name)) {
            std::snprintf(text, sizeof text, "%.6f", static_cast<double>(scalar));
            // The raw level follows the scalar, in the chip's hundredths of a decibel.
            properties[name == "VolumeScalarControl" ? "VolumeControl" : "AAVolumeControl"] =
                std::to_string(static_cast<int>(-4800 + scalar * 4800));
        } else {
            std::snprintf(text, sizeof text, "%d", word);
        }
        properties[name] = text;
        return 0;
    }
    // A text that runs to the end of the buffer without its terminator.
    if (chip.flooded.count(name)) {
        if (name == "GetSupportFeature") {
            std::memset(value, '7', valueSize);
        } else {
            for (uint32_t i = 0; i + 1 < valueSize; i += 2)
                std::memcpy(static_cast<char*>(value) + i, u"7", 2);
        }
        return 0;
    }
    const auto found = properties.find(name);
    if (found == properties.end())
        return 2;
    const std::string& text = found->second;
    if (name == "GetSupportFeature") {
        if (text.size() + 1 > valueSize)
            return 4;
        std::memcpy(value, text.c_str(), text.size() + 1);
        return 0;
    }
    if ((text.size() + 1) * 2 > valueSize)
        return 4;
    char16_t* out = static_cast<char16_t*>(value);
    for (size_t i = 0; i < text.size(); ++i)
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(text[i]));
    out[text.size()] = 0;
    return 0;
}
#endif

// The rest of the library's interface: the program must never call these.
NK_EXPORT int32_t RegisterCallbackFunction(void*, void*) {
    Log("RegisterCallbackFunction");
    return 0;
}
NK_EXPORT int32_t ConfLibUnInit(void) {
    Log("ConfLibUnInit");
    return 0;
}
NK_EXPORT int32_t ShowAsioPanel(void) {
    Log("ShowAsioPanel");
    return 0;
}
NK_EXPORT int32_t PlayTestSound(void) {
    Log("PlayTestSound");
    return 0;
}
NK_EXPORT int32_t StopTestSound(void) {
    Log("StopTestSound");
    return 0;
}
NK_EXPORT int32_t CloseTestSound(void) {
    Log("CloseTestSound");
    return 0;
}
