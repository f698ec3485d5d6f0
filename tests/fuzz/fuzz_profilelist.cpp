// Arbitrary bytes as a profile list file (and as one listed profile and an import file), then a
// script of list operations: load, select, add, copy, rename, delete, import, export, reset, reload.
// Nothing may crash; after every operation the list must stay usable (a valid selection, a readable
// file per entry); nothing may be written outside the kind folder, nor left behind in it but the
// files it could not read, moved aside; and what
// the list wrote must read back as the same number of profiles.
#include "profiles/ProfileList.h"
#include "profiles/UnreadableFiles.h"
#include "profiles/json/JsonAccess.h"
#include "profiles/json/JsonFile.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace fs = std::filesystem;
using namespace nk7x;

namespace {

// A profile file the list names with this identity gets the fuzzed bytes too.
constexpr const char* kListedUuid = "2020_01_01_00_00_00_000";

struct Folders {
    fs::path root;
    fs::path kind;
    fs::path defaults;
    Folders() {
        // Memory-backed when the system has it: every run writes several files.
        std::string pattern = fs::is_directory("/dev/shm") ? "/dev/shm/nk7x-fuzz-profilelist-XXXXXX"
                                                           : "/tmp/nk7x-fuzz-profilelist-XXXXXX";
        const char* made = ::mkdtemp(pattern.data());
        if (!made)
            std::abort();
        root = made;
        kind = root / "keyboard";
        defaults = root / "default.Json";
        ::setenv("NK7X_PROGRAM_DIR", root.c_str(), 1);
        ::setenv("XDG_DATA_HOME", root.c_str(), 1);
        SetJsonWriteSync(false);
        std::ofstream(defaults) << R"({"Device":[{"LightMode":3,"CustomEQNameInfo":["a"]}],"Extra":7})";
    }
    ~Folders() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

void Put(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

std::set<std::string> SharedUuids(const ProfileList& list) {
    std::set<std::string> seen, shared;
    for (int i = 0; i < list.Count(); ++i) {
        if (!seen.insert(list.UuidAt(i)).second)
            shared.insert(list.UuidAt(i));
    }
    return shared;
}

bool IsBlank(const std::string& s) {
    return s.find_first_not_of(" \t\r\n\v\f") == std::string::npos;
}

// A loaded list: a selection inside it, one name per entry, and for every entry a profile file in
// the kind folder that reads as a JSON object. A list file may name one identity twice; such
// entries share one profile file, and deleting one removes the other's file until the next load
// repairs it, so entries whose identity was shared at the last load (`shared`) are not held to it.
void CheckUsable(const ProfileList& list, const fs::path& kind, const std::set<std::string>& shared) {
    Check(list.Count() >= 1);
    Check(list.GetSelectedIndex() >= 0 && list.GetSelectedIndex() < list.Count());
    Check(list.GetSelectedUUID() == list.UuidAt(list.GetSelectedIndex()));
    Check(JsonArray(list.ListDocument(), "profilelist").size() == static_cast<unsigned>(list.Count()));
    const std::string prefix = kind.string() + "/";
    for (int i = 0; i < list.Count(); ++i) {
        const std::string path = list.ProfilePathAt(i);
        Check(path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0);
        Check(path.find('/', prefix.size()) == std::string::npos);
        if (!shared.contains(list.UuidAt(i)))
            Check(LoadJson(path).isObject());
    }
}

// Only the list, profile files, and the import and export files the script named; no temporary file.
void CheckFolders(const Folders& f) {
    for (const auto& entry : fs::directory_iterator(f.root)) {
        const std::string name = entry.path().filename().string();
        Check(entry.path() == f.kind || name == "default.Json" || name == "import.json" ||
              name == "export.json");
    }
    for (const auto& entry : fs::directory_iterator(f.kind)) {
        const std::string name = entry.path().filename().string();
        // A file the list could not read is kept aside under a name that says so.
        Check(entry.is_regular_file() && (name == "ProfileList.ini" || name.ends_with(".Json") ||
                                          name.find(".unreadable-") != std::string::npos));
    }
}

} // namespace

// Input: an operation script (the first line, at most 16 bytes; without a line end a default
// script), then the file content.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Folders folders;
    std::error_code ec;
    fs::remove_all(folders.kind, ec);
    fs::remove(folders.root / "import.json", ec);
    fs::remove(folders.root / "export.json", ec);
    fs::create_directories(folders.kind);
    (void)TakeUnreadableFileNotices(); // told to nobody here; they must not pile up over the runs

    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string script = "s1arcdiezxl";
    std::string text = input;
    const size_t eol = input.find('\n');
    if (eol != std::string::npos && eol <= 16) {
        script = input.substr(0, eol);
        text = input.substr(eol + 1);
    }
    Put(folders.kind / "ProfileList.ini", text);
    Put(folders.kind / (std::string(kListedUuid) + ".Json"), text);
    Put(folders.root / "import.json", text);

    ProfileList list;
    const int types[] = {1, 2, 3, 7};
    list.SetDeviceType(types[script.empty() ? 0 : static_cast<unsigned char>(script[0]) % 4]);
    list.SetFolders(folders.kind.string(), folders.defaults.string());
    Check(list.LoadList() == ProfileResult::Done);
    std::set<std::string> shared = SharedUuids(list);
    CheckUsable(list, folders.kind, shared);

    // Names for rename: taken from the file's own text, so they can equal listed names.
    auto nameAt = [&](size_t k) {
        if (list.Count() > 0 && k % 3 == 0)
            return list.Names()[k % list.Names().size()];
        const size_t from = text.empty() ? 0 : k * 7 % text.size();
        return text.substr(from, k % 24);
    };

    for (size_t k = 0; k < script.size(); ++k) {
        const char op = script[k];
        const int count = list.Count();
        const int selected = list.GetSelectedIndex();
        switch (op) {
        case 's': { // select the index the next byte gives, in range or not
            const int index =
                k + 1 < script.size() ? static_cast<signed char>(script[k + 1]) % (count + 2) : 0;
            const ProfileResult r = list.SelectProfile(index);
            Check(r == (index >= 0 && index < count ? ProfileResult::Done : ProfileResult::Refused));
            Check(list.GetSelectedIndex() == (r == ProfileResult::Done ? index : selected));
            break;
        }
        case 'a': {
            const ProfileResult r = list.AddProfile();
            Check(r == ProfileResult::Done ? list.Count() == count + 1 : count >= kMaxAddedProfiles);
            Check(list.GetSelectedIndex() == selected);
            break;
        }
        case 'c':
            if (list.CopyProfile() == ProfileResult::Done)
                Check(list.Count() == count + 1);
            break;
        case 'd': {
            const ProfileResult r = list.DeleteProfile();
            Check(r == ProfileResult::Done ? list.Count() == count - 1 &&
                                                 list.GetSelectedIndex() == (selected == 0 ? 0 : selected - 1)
                                           : count <= 1);
            break;
        }
        case 'r': {
            const std::string name = nameAt(k);
            const ProfileResult r = list.RenameProfile(name);
            if (r == ProfileResult::Done)
                Check(list.Names()[static_cast<size_t>(selected)] == name);
            else if (r == ProfileResult::BlankName)
                Check(IsBlank(name));
            else {
                bool taken = false;
                for (int i = 0; i < count; ++i)
                    taken = taken || (i != selected &&
                                      ProfileList::SameName(list.Names()[static_cast<size_t>(i)], name));
                Check(taken);
            }
            break;
        }
        case 'i':
            if (list.ImportProfile((folders.root / "import.json").string()) == ProfileResult::Done)
                Check(list.Count() == count + 1);
            break;
        case 'e':
            (void)list.ExportProfile((folders.root / "export.json").string());
            break;
        case 'z':
            Check(list.ResetProfile() == ProfileResult::Done);
            break;
        case 't':
            list.SelectTab(k + 1 < script.size() ? script[k + 1] - '0' : 0);
            (void)list.TabVisible(list.SelectedTab());
            break;
        case 'x': { // what was written reads back as the same list
            ProfileList again;
            again.SetDeviceType(list.DeviceType());
            again.SetFolders(folders.kind.string(), folders.defaults.string());
            Check(again.LoadList() == ProfileResult::Done);
            Check(again.Count() == list.Count());
            Check(again.GetSelectedIndex() == JsonInt(list.ListDocument(), "profileselect", -1));
            break;
        }
        case 'l':
            Check(list.LoadList() == ProfileResult::Done);
            shared = SharedUuids(list);
            break;
        default:
            break;
        }
        CheckUsable(list, folders.kind, shared);
        CheckFolders(folders);
    }
    return 0;
}
