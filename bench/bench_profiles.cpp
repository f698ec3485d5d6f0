// Cost of saving a keyboard profile (read the whole file, replace "Device"[0], atomic replace),
// with and without waiting for the disk, beside a plain JsonCpp read-parse-write of the same
// document that truncates the file in place.
#include "profiles/KeyboardProfileData.h"
#include "profiles/json/JsonFile.h"

#include <benchmark/benchmark.h>
#include <json/reader.h>
#include <json/writer.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

namespace {

using namespace nk7x;

constexpr int kKeys = 126;
constexpr int kColorGroups = 7;

// A keyboard profile file as the program writes it: 126 keys, seven custom colour groups of 126
// colours, a light list of 126 entries, about 200 KB in the styled form.
Json::Value KeyboardProfileFile() {
    Json::Value p(Json::objectValue);
    LightState s;
    s.mode = 19;
    s.red = 255;
    CKeyboardProfiledata k;
    k.SetLightInfo(s);
    k.SetSystemStages(KeyboardSystemStages{1, 2, 0, 3, 0, 0});
    std::vector<KeyAssignment> keys(kKeys);
    Json::Value profile = k.GetProfileValue();
    for (int i = 0; i < kKeys; ++i) {
        auto idx = static_cast<Json::ArrayIndex>(i);
        profile["KeyList"][idx]["Assignment"] = 0x200000 + i;
        profile["KeyList"][idx]["DefaultAssignment"] = 0x200000 + i;
        Json::Value& l = profile["LightList"][idx];
        l["LEDREGMode"] = i % 20;
        l["LEDBrightness"] = 4;
        l["LEDSpeed"] = 2;
        l["LEDDirection"] = true;
        l["LEDMultiColor"] = false;
        l["red"] = i;
        l["green"] = 255 - i;
        l["blue"] = 7;
    }
    k.SetProfileValue(profile);
    for (int g = 0; g < kColorGroups; ++g) {
        std::vector<CustomColor> colors(kKeys);
        for (int i = 0; i < kKeys; ++i)
            colors[static_cast<std::size_t>(i)] =
                CustomColor{static_cast<uint8_t>(i), static_cast<uint8_t>(g), 200, 255};
        k.SetCustomColors(colors, g);
    }
    k.SetCustomGroup(1);
    Json::Value file(Json::objectValue);
    file["profilename"] = "profile1";
    file["profileUUID"] = "2021_03_07_09_05_01_042";
    file["Device"][0] = k.GetProfileValue();
    return file;
}

struct Scratch {
    Scratch() {
        char pattern[] = "/tmp/nk7x-bench-prof-XXXXXX";
        if (!::mkdtemp(pattern))
            std::abort();
        folder = pattern;
        path = folder + "/2021_03_07_09_05_01_042.Json";
        document = KeyboardProfileFile();
        if (WriteJson(path, document) != 1)
            std::abort();
        size = std::filesystem::file_size(path);
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    std::string folder;
    std::string path;
    Json::Value document;
    std::uintmax_t size = 0;
};

Scratch& Files() {
    static Scratch scratch;
    return scratch;
}

void SaveProfile(benchmark::State& state, bool sync) {
    Scratch& f = Files();
    SetJsonWriteSync(sync);
    CKeyboardProfiledata k;
    k.SetProfilePath(f.path);
    k.LoadFromFile(f.path);
    int n = 0;
    for (auto _ : state) {
        k.SetCustomGroup(++n & 7); // an edit, as a panel makes before it saves
        if (k.Save() != 1)
            state.SkipWithError("save failed");
    }
    SetJsonWriteSync(true);
    state.counters["file_bytes"] = static_cast<double>(f.size);
}

void BM_SaveProfileAtomicFsync(benchmark::State& state) {
    SaveProfile(state, true);
}
void BM_SaveProfileAtomicNoFsync(benchmark::State& state) {
    SaveProfile(state, false);
}

// What a bare JsonCpp program does: read, parse, replace "Device"[0], write the styled text over
// the old file in place.
void PlainJsonCpp(benchmark::State& state, bool sync) {
    Scratch& f = Files();
    const Json::Value profile = f.document["Device"][0];
    for (auto _ : state) {
        std::ifstream in(f.path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        in.close();
        Json::Value doc;
        Json::Reader reader;
        if (!reader.parse(text.str(), doc)) {
            state.SkipWithError("parse failed");
            break;
        }
        doc["Device"][0] = profile;
        Json::StyledWriter writer;
        std::string out = writer.write(doc);
        out += '\n';
        std::FILE* file = std::fopen(f.path.c_str(), "w");
        if (!file) {
            state.SkipWithError("open failed");
            break;
        }
        std::fwrite(out.data(), 1, out.size(), file);
        std::fflush(file);
        if (sync)
            ::fsync(::fileno(file));
        std::fclose(file);
    }
    state.counters["file_bytes"] = static_cast<double>(f.size);
}

void BM_PlainJsonCppInPlace(benchmark::State& state) {
    PlainJsonCpp(state, false);
}
void BM_PlainJsonCppInPlaceFsync(benchmark::State& state) {
    PlainJsonCpp(state, true);
}

BENCHMARK(BM_PlainJsonCppInPlace)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SaveProfileAtomicNoFsync)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainJsonCppInPlaceFsync)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SaveProfileAtomicFsync)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
