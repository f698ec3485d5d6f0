// Saves a profile, renames a profile of a profile list and saves a macro, again and again with two
// alternating contents, until it is killed. The crash-safety test kills it at random moments and
// then checks that every file it was writing is whole: the old content or the new one.
//
//   nk7x_save_loop FOLDER a|b    one round with the first or the second contents, then exit 0
//   nk7x_save_loop FOLDER loop   rounds b, a, b, a... until killed
//   nk7x_save_loop FOLDER quick  the same without waiting for the disk, so that many more rounds
//                                (and renames) fall into the time before the kill
//
// Exit codes name the write that failed: 2 profile save, 3 list rename, 4 macro rename, 5 macro
// save, 6 the list could not be read, 1 bad arguments or seed.

#include "macros/MacroStore.h"
#include "profiles/BasicProfileData.h"
#include "profiles/ProfileList.h"
#include "profiles/json/JsonFile.h"

#include <json/value.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using namespace nk7x;

namespace {

constexpr const char* kListed[] = {"2020_01_01_00_00_00_001", "2020_01_01_00_00_00_002"};
constexpr const char* kMacroGuid = "2020_01_01_00_00_00_003";

struct Contents {
    std::string profileName;
    std::string macroName;
    Json::Value profile;
    std::vector<MacroEvent> events;
};

// The two contents differ in size as well, so a file cut short or mixed from both shows.
Contents Variant(bool second) {
    Contents c;
    c.profileName = second ? "Evening" : "Morning profile";
    c.macroName = second ? "macro_b" : "macro_a_longer";
    c.profile["LightInfo"]["SelectItem"] = second ? 4 : 1;
    c.profile["Note"] = std::string(second ? 6000 : 2500, second ? 'b' : 'a');
    const int count = second ? 150 : 60;
    for (int i = 0; i < count; ++i)
        c.events.push_back(MacroEvent{i % 2 == 0, 10, static_cast<uint8_t>(4 + i % 20),
                                      static_cast<uint16_t>(second ? 30 + i : 7)});
    return c;
}

bool Seed(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder / "list", ec);
    std::filesystem::create_directories(folder / "macros", ec);

    Json::Value profile(Json::objectValue);
    profile["profilename"] = "standalone";
    profile["Device"][0]["LightInfo"]["SelectItem"] = 0;
    bool ok = WriteJson((folder / "profile.Json").string(), profile) == 1;

    Json::Value list(Json::objectValue);
    for (const char* uuid : kListed) {
        Json::Value entry(Json::objectValue);
        entry["profilename"] = std::string("seed ") + uuid;
        entry["profileUUID"] = uuid;
        entry["profileislink"] = 0;
        entry["profilelinkmame"] = "";
        list["profilelist"].append(entry);
        Json::Value file(Json::objectValue);
        file["profilename"] = entry["profilename"];
        file["profileUUID"] = uuid;
        file["Device"][0]["LightInfo"]["SelectItem"] = 2;
        ok = ok && WriteJson((folder / "list" / (std::string(uuid) + ".Json")).string(), file) == 1;
    }
    list["profileselect"] = 0;
    ok = ok && WriteJson((folder / "list" / "ProfileList.ini").string(), list) == 1;

    Json::Value index(Json::objectValue);
    index["MacroInfo"][0]["MacroName"] = "macro_seed";
    index["MacroInfo"][0]["Guid"] = kMacroGuid;
    return ok && WriteJson((folder / "macros" / "macro.config").string(), index) == 1;
}

int Round(const std::filesystem::path& folder, ProfileList& list, MacroStore& macros, bool second) {
    const Contents c = Variant(second);
    CBasicProfiledata data;
    data.SetProfilePath((folder / "profile.Json").string());
    data.SetProfileValue(c.profile);
    if (data.Save() != 1)
        return 2;
    if (list.RenameProfile(c.profileName) != ProfileResult::Done)
        return 3;
    // After a kill the index may already carry this name.
    const MacroResult renamed = macros.Rename(0, c.macroName);
    if (renamed != MacroResult::Ok && renamed != MacroResult::DuplicateName)
        return 4;
    if (macros.Save(MacroInfo{c.macroName, kMacroGuid}, c.events) != MacroResult::Ok)
        return 5;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3)
        return 1;
    const std::filesystem::path folder = argv[1];
    const std::string mode = argv[2];
    const bool looping = mode == "loop" || mode == "quick";
    if (mode != "a" && mode != "b" && !looping)
        return 1;
    if (mode == "quick")
        SetJsonWriteSync(false);
    if (!looping && !std::filesystem::exists(folder / "list" / "ProfileList.ini") && !Seed(folder))
        return 1;

    ProfileList list;
    list.SetDeviceType(1);
    list.SetFolders((folder / "list").string(), (folder / "no-default.Json").string());
    if (list.LoadList() != ProfileResult::Done || list.GetSelectedIndex() != 0)
        return 6;
    MacroStore macros((folder / "macros").string());

    if (!looping)
        return Round(folder, list, macros, mode == "b");
    for (bool second = true;; second = !second)
        if (const int failed = Round(folder, list, macros, second))
            return failed;
}
