#include "profiles/ProfileList.h"

#include "platform/DebugLog.h"

#include "profiles/ProfileFolders.h"
#include "profiles/UnreadableFiles.h"
#include "profiles/json/JsonAccess.h"
#include "profiles/json/JsonFile.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

namespace nk7x {
namespace {

constexpr const char* kListFile = "ProfileList.ini";

bool IsBlank(const std::string& s) {
    for (unsigned char c : s)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\v' && c != '\f')
            return false;
    return true;
}

// A UUID read from a file becomes part of a path: it must be a plain name without control
// characters and of a sane length.
bool IsSafeUuid(const std::string& uuid) {
    if (uuid.size() > 128 || !IsPlainFileName(uuid))
        return false;
    for (unsigned char c : uuid)
        if (c < 0x20 || c == 0x7F || c == '\\')
            return false;
    return true;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

} // namespace

void ProfileList::SetDeviceType(int type) {
    m_type = type;
    ApplyTabVisibility();
}

void ProfileList::SetFolders(const std::string& kindFolder, const std::string& defaultProfilePath) {
    m_kindFolder = kindFolder;
    while (m_kindFolder.size() > 1 && m_kindFolder.back() == '/')
        m_kindFolder.pop_back();
    m_defaultPath = defaultProfilePath;
}

bool ProfileList::SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

bool ProfileList::NameTaken(const std::string& name, int except) const {
    for (int i = 0; i < Count(); ++i)
        if (i != except && SameName(m_names[static_cast<std::size_t>(i)], name))
            return true;
    return false;
}

int ProfileList::IndexOfName(const std::string& name) const {
    for (int i = 0; i < Count(); ++i)
        if (m_names[static_cast<std::size_t>(i)] == name)
            return i;
    for (int i = 0; i < Count(); ++i)
        if (SameName(m_names[static_cast<std::size_t>(i)], name))
            return i;
    return -1;
}

std::string ProfileList::UuidAt(int index) const {
    if (index < 0 || index >= Count())
        return {};
    return JsonString(JsonElement(JsonArray(m_list, "profilelist"), static_cast<Json::ArrayIndex>(index)),
                      "profileUUID");
}

std::string ProfileList::ProfilePathAt(int index) const {
    const std::string uuid = UuidAt(index);
    if (uuid.empty() || !IsSafeUuid(uuid) || m_kindFolder.empty())
        return {};
    return m_kindFolder + "/" + uuid + ".Json";
}

// Time-stamp UUIDs have millisecond resolution; two profiles made within one millisecond wait
// for the next one rather than share a file.
std::string ProfileList::NewUuid() const {
    for (int attempt = 0; attempt < 2000; ++attempt) {
        std::string uuid = MakeTimeStampName();
        bool used = FileExists(m_kindFolder + "/" + uuid + ".Json");
        for (int i = 0; !used && i < Count(); ++i)
            used = UuidAt(i) == uuid;
        if (!used)
            return uuid;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return {};
}

Json::Value ProfileList::DefaultProfile() const {
    Json::Value doc = LoadJson(m_defaultPath);
    if (!doc.isObject())
        doc = Json::Value(Json::objectValue);
    return doc;
}

Json::Value ProfileList::MakeEntry(const std::string& name, const std::string& uuid) {
    Json::Value e(Json::objectValue);
    e["profilename"] = name;
    e["profileUUID"] = uuid;
    e["profileislink"] = 0;
    e["profilelinkmame"] = "";
    return e;
}

int ProfileList::WriteList() {
    if (m_kindFolder.empty())
        return 0;
    return WriteJson(m_kindFolder + "/" + kListFile, m_list);
}

ProfileList::ListWrite ProfileList::StoreList(Json::Value list, std::vector<std::string> names) {
    if (m_kindFolder.empty())
        return ListWrite::Failed;
    const std::string path = m_kindFolder + "/" + kListFile;
    const bool written = WriteJson(path, list) == 1;
    // A write can fail after its rename (the folder could not be flushed): the file then holds the
    // new list, and so must memory.
    const bool onDisk = written || ReadJsonText(path) == StyledJsonText(list);
    if (onDisk) {
        m_list = std::move(list);
        m_names = std::move(names);
    }
    return written ? ListWrite::Written : onDisk ? ListWrite::FailedAfterReplace : ListWrite::Failed;
}

void ProfileList::RemoveProfileFile(const std::string& uuid) const {
    if (!IsSafeUuid(uuid) || m_kindFolder.empty())
        return;
    std::error_code ec;
    std::filesystem::remove(m_kindFolder + "/" + uuid + ".Json", ec);
}

int ProfileList::WriteProfileFile(const std::string& uuid, Json::Value doc, const std::string& name) {
    if (!IsSafeUuid(uuid) || m_kindFolder.empty())
        return 0;
    if (!doc.isObject())
        doc = Json::Value(Json::objectValue);
    doc["profilename"] = name;
    doc["profileUUID"] = uuid;
    return WriteJson(m_kindFolder + "/" + uuid + ".Json", doc);
}

// The profile's file is written before the list names it, and the list only changes in memory
// once its file does; a file the list could not take is removed again.
ProfileResult ProfileList::AppendProfile(const std::string& name, const std::string& uuid,
                                         const Json::Value& doc, bool selectInFile) {
    if (!WriteProfileFile(uuid, doc, name))
        return ProfileResult::WriteFailed;
    Json::Value list = m_list;
    JsonMakeArray(JsonSlot(list, "profilelist")).append(MakeEntry(name, uuid));
    std::vector<std::string> names = m_names;
    names.push_back(name);
    if (selectInFile)
        list["profileselect"] = static_cast<int>(names.size()) - 1;
    const ListWrite written = StoreList(std::move(list), std::move(names));
    if (written == ListWrite::Written)
        return ProfileResult::Done;
    if (written == ListWrite::Failed)
        RemoveProfileFile(uuid);
    return ProfileResult::WriteFailed;
}

Json::Value ProfileList::RecoveredList() const {
    Json::Value list(Json::objectValue);
    list["profilelist"] = Json::Value(Json::arrayValue);
    std::vector<std::pair<std::string, std::string>> found; // uuid, name
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(m_kindFolder, ec)) {
        const std::string file = entry.path().filename().string();
        if (file.size() <= 5 || file.compare(file.size() - 5, 5, ".Json") != 0 || !entry.is_regular_file(ec))
            continue;
        const std::string uuid = file.substr(0, file.size() - 5);
        const Json::Value doc = LoadJson(entry.path().string());
        const std::string name = JsonString(doc, "profilename");
        if (!IsSafeUuid(uuid) || JsonString(doc, "profileUUID") != uuid || name.empty() || IsBlank(name))
            continue;
        found.emplace_back(uuid, name);
    }
    // Time-stamp names: the order the profiles were made in.
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (const auto& [uuid, name] : found) {
        std::string unique = name;
        for (int k = 2; std::any_of(names.begin(), names.end(),
                                    [&](const std::string& n) { return SameName(n, unique); });
             ++k)
            unique = name + " (" + std::to_string(k) + ")";
        names.push_back(unique);
        list["profilelist"].append(MakeEntry(unique, uuid));
    }
    if (!found.empty())
        DebugLogf("%s: profile list made again from %zu profile files", m_kindFolder.c_str(), found.size());
    list["profileselect"] = 0;
    return list;
}

ProfileResult ProfileList::LoadList() {
    return JsonGuard(ProfileResult::Refused, [&] {
        if (m_kindFolder.empty())
            return ProfileResult::Refused;
        const std::string listPath = m_kindFolder + "/" + kListFile;
        Json::Value doc = LoadJson(listPath);
        bool rebuilt = false;
        if (!doc.isObject()) {
            // A list that is there but cannot be read is moved aside (the user is told). A missing
            // or unusable list is made again from the profile files of the folder, under their own
            // names, so that no profile drops out of the window.
            if (PathTaken(listPath)) {
                const std::string why = UnusableDocumentReason(listPath, ReadJsonText(listPath),
                                                               kMaxJsonFileSize, "a profile list");
                if (!why.empty() && SetAsideUnreadable(listPath, why).empty())
                    return ProfileResult::WriteFailed; // neither readable nor movable: left alone
            }
            doc = RecoveredList();
            rebuilt = !JsonArray(doc, "profilelist").empty();
        }
        m_list = Json::Value(Json::objectValue);
        m_list["profilelist"] = Json::Value(Json::arrayValue);
        m_names.clear();
        m_selected = -1;
        m_selectedUuid.clear();

        // Keep the well-formed entries; an entry with an unusable UUID gets a fresh one.
        bool changed = false;
        for (const Json::Value& e : JsonArray(doc, "profilelist")) {
            if (!e.isObject() || !JsonMember(e, "profilename").isString()) {
                changed = true;
                continue;
            }
            Json::Value entry = e;
            std::string uuid = JsonString(e, "profileUUID");
            if (!IsSafeUuid(uuid)) {
                uuid = NewUuid();
                entry["profileUUID"] = uuid;
                changed = true;
            }
            if (!entry.isMember("profileislink"))
                entry["profileislink"] = 0;
            if (!entry.isMember("profilelinkmame"))
                entry["profilelinkmame"] = "";
            m_list["profilelist"].append(entry);
            m_names.push_back(JsonString(entry, "profilename"));
        }

        changed |= rebuilt;
        ProfileResult result = ProfileResult::Done;
        if (m_names.empty()) {
            // One profile from the default. Its file comes first, and the list counts only once it
            // is on disk: until then memory lists nothing, as the disk does.
            m_list["profilelist"] = Json::Value(Json::arrayValue);
            const std::string uuid = NewUuid();
            if (uuid.empty() || !WriteProfileFile(uuid, DefaultProfile(), "profile1"))
                return ProfileResult::WriteFailed;
            Json::Value list(Json::objectValue);
            list["profilelist"].append(MakeEntry("profile1", uuid));
            list["profileselect"] = 0;
            const ListWrite written = StoreList(std::move(list), {"profile1"});
            if (written == ListWrite::Failed) {
                RemoveProfileFile(uuid);
                return ProfileResult::WriteFailed;
            }
            if (written != ListWrite::Written)
                result = ProfileResult::WriteFailed;
        } else {
            int sel = JsonInt(doc, "profileselect", 0);
            if (sel < 0 || sel >= Count()) {
                sel = 0;
                changed = true;
            }
            m_list["profileselect"] = sel;
            // A repair that cannot be written is still used for this run; the file keeps what it had.
            if (changed && !WriteList())
                result = ProfileResult::WriteFailed;
        }

        // A listed profile whose file is gone starts again from the default under its own name;
        // one whose file is there but cannot be read is first moved aside (the user is told).
        for (int i = 0; i < Count(); ++i) {
            const std::string path = ProfilePathAt(i);
            if (path.empty() || LoadJson(path).isObject())
                continue;
            if (PathTaken(path)) {
                std::string why =
                    UnusableDocumentReason(path, ReadJsonText(path), kMaxJsonFileSize, "a profile");
                if (why.empty())
                    why = "empty";
                if (SetAsideUnreadable(path, why).empty()) {
                    result = ProfileResult::WriteFailed;
                    continue;
                }
            }
            if (!WriteProfileFile(UuidAt(i), DefaultProfile(), m_names[static_cast<std::size_t>(i)]))
                result = ProfileResult::WriteFailed;
        }

        m_selected = JsonInt(m_list, "profileselect", 0);
        m_selectedUuid = UuidAt(m_selected);
        ApplyTabVisibility();
        return result;
    });
}

ProfileResult ProfileList::SelectProfile(int index) {
    if (index < 0 || index >= Count())
        return ProfileResult::Refused;
    // The current profile follows the user even when the choice cannot be stored for the next start.
    m_selected = index;
    m_selectedUuid = UuidAt(index);
    if (JsonInt(m_list, "profileselect", -1) == index)
        return ProfileResult::Done; // the file names it already
    Json::Value list = m_list;
    list["profileselect"] = index;
    return StoreList(std::move(list), m_names) == ListWrite::Written ? ProfileResult::Done
                                                                     : ProfileResult::WriteFailed;
}

ProfileResult ProfileList::AddProfile() {
    return JsonGuard(ProfileResult::Refused, [&] {
        if (Count() >= kMaxAddedProfiles || m_kindFolder.empty())
            return ProfileResult::Refused;
        std::string name;
        for (int n = 1;; ++n) {
            name = "profile" + std::to_string(n);
            if (!NameTaken(name))
                break;
        }
        const std::string uuid = NewUuid();
        if (uuid.empty())
            return ProfileResult::Refused;
        return AppendProfile(name, uuid, DefaultProfile(), true);
    });
}

ProfileResult ProfileList::CopyProfile() {
    return JsonGuard(ProfileResult::Refused, [&] {
        if (m_selected < 0 || m_selected >= Count())
            return ProfileResult::Refused;
        std::string name = m_names[static_cast<std::size_t>(m_selected)] + " copy";
        while (NameTaken(name))
            name += " copy";
        Json::Value source = LoadJson(ProfilePathAt(m_selected));
        if (!source.isObject())
            source = DefaultProfile();
        const std::string uuid = NewUuid();
        if (uuid.empty())
            return ProfileResult::Refused;
        return AppendProfile(name, uuid, source, false);
    });
}

ProfileResult ProfileList::AddNamedProfile(const std::string& name, int copyFrom) {
    return JsonGuard(ProfileResult::Refused, [&] {
        if (IsBlank(name))
            return ProfileResult::BlankName;
        if (Count() >= kMaxAddedProfiles || m_kindFolder.empty() || NameTaken(name) || copyFrom < -1 ||
            copyFrom >= Count())
            return ProfileResult::Refused;
        Json::Value doc = copyFrom >= 0 ? LoadJson(ProfilePathAt(copyFrom)) : DefaultProfile();
        if (!doc.isObject())
            doc = DefaultProfile();
        const std::string uuid = NewUuid();
        if (uuid.empty())
            return ProfileResult::Refused;
        return AppendProfile(name, uuid, doc, false);
    });
}

ProfileResult ProfileList::DeleteProfile() {
    return JsonGuard(ProfileResult::Refused, [&] {
        if (m_selected < 0 || m_selected >= Count() || Count() <= 1)
            return ProfileResult::Refused;
        const int s = m_selected;
        const int next = s == 0 ? 0 : s - 1;
        const std::string uuid = UuidAt(s);
        Json::Value list = m_list;
        Json::Value removed;
        list["profilelist"].removeIndex(static_cast<Json::ArrayIndex>(s), &removed);
        std::vector<std::string> names = m_names;
        names.erase(names.begin() + s);
        list["profileselect"] = next;
        // The list goes first: while it still names the profile, its file must stay.
        const ListWrite written = StoreList(std::move(list), std::move(names));
        if (written == ListWrite::Failed)
            return ProfileResult::WriteFailed;
        RemoveProfileFile(uuid);
        // The list box selects the neighbour, which becomes the current profile.
        m_selected = next;
        m_selectedUuid = UuidAt(next);
        return written == ListWrite::Written ? ProfileResult::Done : ProfileResult::WriteFailed;
    });
}

ProfileResult ProfileList::RenameProfile(const std::string& name) {
    return JsonGuard(ProfileResult::Refused, [&] {
        if (m_selected < 0 || m_selected >= Count())
            return ProfileResult::Refused;
        if (IsBlank(name))
            return ProfileResult::BlankName;
        if (NameTaken(name, m_selected))
            return ProfileResult::Refused;
        const std::string path = ProfilePathAt(m_selected);
        const std::string oldText = ReadJsonText(path);
        Json::Value doc = LoadJson(path);
        if (!doc.isObject())
            doc = DefaultProfile();
        // The profile file's name is only a copy of the list's, so it is written first: the list,
        // which decides, changes only when both could be written.
        if (!WriteProfileFile(m_selectedUuid, doc, name))
            return ProfileResult::WriteFailed;
        Json::Value list = m_list;
        list["profilelist"][static_cast<Json::ArrayIndex>(m_selected)]["profilename"] = name;
        std::vector<std::string> names = m_names;
        names[static_cast<std::size_t>(m_selected)] = name;
        const ListWrite written = StoreList(std::move(list), std::move(names));
        if (written == ListWrite::Written)
            return ProfileResult::Done;
        // Both files agree again when the old text can go back; the list keeps the old name anyway.
        if (written == ListWrite::Failed && !oldText.empty() && ReplaceFileContent(path, oldText) != 1)
            DebugLogf("profiles: %s keeps the new name while the list keeps the old one", path.c_str());
        return ProfileResult::WriteFailed;
    });
}

ProfileResult ProfileList::ImportProfile(const std::string& path) {
    return JsonGuard(ProfileResult::Refused, [&] {
        if (m_kindFolder.empty())
            return ProfileResult::Refused;
        Json::Value doc = LoadJson(path);
        if (!doc.isObject() || JsonMember(doc, "profilename").isNull() ||
            JsonMember(doc, "profileUUID").isNull())
            return ProfileResult::Refused;
        std::string name = JsonValueString(doc["profilename"]);
        if (name.empty() && !doc["profilename"].isString())
            return ProfileResult::Refused;
        for (int k = 1; NameTaken(name); ++k)
            name += "(" + std::to_string(k) + ")";
        const std::string uuid = NewUuid();
        if (uuid.empty())
            return ProfileResult::Refused;
        return AppendProfile(name, uuid, doc, false);
    });
}

ProfileResult ProfileList::ExportProfile(const std::string& path) {
    return JsonGuard(ProfileResult::Refused, [&] {
        if (path.empty() || m_selected < 0)
            return ProfileResult::Refused;
        Json::Value doc = LoadJson(SelectedProfilePath());
        if (!doc.isObject())
            return ProfileResult::Refused;
        return WriteJson(path, doc) == 1 ? ProfileResult::Done : ProfileResult::WriteFailed;
    });
}

ProfileResult ProfileList::ResetProfile() {
    return JsonGuard(ProfileResult::Refused, [&] {
        if (m_selected < 0 || m_selected >= Count())
            return ProfileResult::Refused;
        Json::Value doc = DefaultProfile();
        if (m_type == 7) {
            const Json::Value old = LoadJson(SelectedProfilePath());
            const Json::Value& oldDev = JsonElement(JsonArray(old, "Device"), 0);
            if (oldDev.isObject() && JsonArray(doc, "Device").size() > 0 && doc["Device"][0].isObject()) {
                for (const char* key : {"CustomEQNameInfo", "CustomEQHzValueInfo"})
                    if (oldDev.isMember(key))
                        doc["Device"][0][key] = oldDev[key];
            }
        }
        return WriteProfileFile(m_selectedUuid, doc, m_names[static_cast<std::size_t>(m_selected)])
                   ? ProfileResult::Done
                   : ProfileResult::WriteFailed;
    });
}

std::string ProfileList::RenameMessageKey(ProfileResult result) {
    switch (result) {
    case ProfileResult::Refused:
        return kMsgRenameRefused;
    case ProfileResult::BlankName:
        return kMsgRenameBlank;
    case ProfileResult::WriteFailed:
        return kMsgSaveFailed;
    case ProfileResult::Done:
        break;
    }
    return {};
}

void ProfileList::SelectTab(int n) {
    m_tab = (n >= 1 && n <= 8) ? n : 0;
}

bool ProfileList::TabVisible(int n) const {
    return n >= 1 && n <= 8 && m_tabVisible[static_cast<std::size_t>(n - 1)];
}

// The layout shows the five common tabs and hides the headset's three; each kind adjusts that.
void ProfileList::ApplyTabVisibility() {
    m_tabVisible = {true, true, true, true, true, false, false, false};
    switch (m_type) {
    case 1:
        m_tabVisible[4] = false;
        break;
    case 3:
        m_tabVisible[1] = m_tabVisible[2] = m_tabVisible[3] = m_tabVisible[4] = false;
        break;
    case 7:
        m_tabVisible[1] = m_tabVisible[2] = m_tabVisible[3] = m_tabVisible[4] = false;
        m_tabVisible[5] = m_tabVisible[6] = m_tabVisible[7] = true;
        break;
    default:
        break;
    }
}

} // namespace nk7x
