#include "macros/MacroStore.h"

#include "macros/MacroNames.h"
#include "macros/RawFile.h"
#include "platform/Folders.h"
#include "profiles/json/JsonAccess.h"
#include "profiles/json/JsonFile.h"

#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

namespace nk7x {
namespace {

constexpr const char* kMacroInfo = "MacroInfo";
constexpr const char* kMacroName = "MacroName";
constexpr const char* kGuid = "Guid";
constexpr const char* kEvents = "Events";
constexpr const char* kVersion = "Version";

// An identifier is made from the local time in milliseconds; two macros made within the same
// millisecond would share one file, so a clash waits for the next millisecond.
constexpr int kIdentifierAttempts = 200;

MacroInfo EntryInfo(const Json::Value& entry) {
    MacroInfo info;
    info.name = JsonString(entry, kMacroName);
    info.guid = JsonString(entry, kGuid);
    if (!IsValidMacroIdentifier(info.guid))
        info.guid.clear();
    return info;
}

// The styled writer cuts member names at a NUL byte, so such a member would come back under
// another member's name and replace it; members of that kind are dropped before a rewrite.
void DropUnwritableMembers(Json::Value& value) {
    if (value.isObject()) {
        for (const std::string& name : value.getMemberNames()) {
            if (name.find('\0') != std::string::npos)
                value.removeMember(name.data(), name.data() + name.size(), nullptr);
            else
                DropUnwritableMembers(value[name]);
        }
    } else if (value.isArray()) {
        for (Json::Value& element : value)
            DropUnwritableMembers(element);
    }
}

// The index document to change: the file's object with a "MacroInfo" array, or a fresh one when
// the file is missing or of another shape.
Json::Value LoadIndexDocument(const std::string& path) {
    Json::Value doc = LoadJson(path);
    DropUnwritableMembers(doc);
    if (!doc.isObject())
        doc = Json::Value(Json::objectValue);
    if (!JsonMember(doc, kMacroInfo).isArray())
        JsonSlot(doc, kMacroInfo) = Json::Value(Json::arrayValue);
    return doc;
}

std::vector<std::string> NamesOf(const Json::Value& list) {
    std::vector<std::string> names;
    names.reserve(list.size());
    for (Json::ArrayIndex i = 0; i < list.size(); ++i)
        names.push_back(JsonString(list[i], kMacroName));
    return names;
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

} // namespace

std::vector<MacroInfo> ReadMacroIndex(const std::string& path) {
    std::vector<MacroInfo> list;
    const Json::Value doc = LoadJson(path);
    const Json::Value& entries = JsonArray(doc, kMacroInfo);
    list.reserve(entries.size());
    for (Json::ArrayIndex i = 0; i < entries.size(); ++i)
        list.push_back(EntryInfo(entries[i]));
    return list;
}

std::vector<MacroEvent> ReadMacroEvents(const std::string& path) {
    std::vector<MacroEvent> events;
    const Json::Value doc = LoadJson(path);
    const Json::Value& records = JsonArray(doc, kEvents);
    for (Json::ArrayIndex i = 0; i < records.size() && events.size() < kMaxLoadedEvents; ++i)
        if (std::optional<MacroEvent> event = MacroEventFromJson(records[i]))
            events.push_back(*event);
    return events;
}

MacroStore::MacroStore(std::string folder) : m_folder(std::move(folder)) {}

std::string MacroStore::IndexPath() const {
    return JoinPath(m_folder, std::string(kMacroIndexFileName));
}

std::string MacroStore::MacroPath(std::string_view guid) const {
    if (!IsValidMacroIdentifier(guid))
        return {};
    return JoinPath(m_folder, std::string(guid) + std::string(kMacroFileExtension));
}

std::vector<MacroInfo> MacroStore::LoadIndex() const {
    return ReadMacroIndex(IndexPath());
}

std::vector<std::string> MacroStore::LoadNames() const {
    std::vector<std::string> names;
    for (MacroInfo& info : LoadIndex())
        names.push_back(std::move(info.name));
    return names;
}

MacroResult MacroStore::AddEntry(Json::Value& doc, MacroInfo& added) const {
    Json::Value& list = doc[kMacroInfo];
    if (list.size() >= kMaxMacros)
        return MacroResult::ListFull;

    MacroInfo info;
    info.name = NextFreeMacroName(NamesOf(list));
    for (int attempt = 0; attempt < kIdentifierAttempts && info.guid.empty(); ++attempt) {
        std::string guid = MakeTimeStampName();
        bool taken = Exists(MacroPath(guid));
        for (Json::ArrayIndex i = 0; i < list.size() && !taken; ++i)
            taken = JsonString(list[i], kGuid) == guid;
        if (!taken)
            info.guid = std::move(guid);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (info.guid.empty())
        return MacroResult::Failed;

    Json::Value entry(Json::objectValue);
    entry[kMacroName] = info.name;
    entry[kGuid] = info.guid;
    list.append(std::move(entry));
    added = std::move(info);
    return MacroResult::Ok;
}

MacroResult MacroStore::Create(MacroInfo& created) {
    const std::string indexPath = IndexPath();
    Json::Value doc = LoadIndexDocument(indexPath);
    MacroInfo info;
    const MacroResult added = AddEntry(doc, info);
    if (added != MacroResult::Ok)
        return added;
    EnsureFolder(m_folder);
    if (WriteJson(indexPath, doc) != 1)
        return MacroResult::Failed;
    created = std::move(info);
    return MacroResult::Ok;
}

MacroResult MacroStore::Rename(int index, const std::string& newName) {
    if (IsBlankName(newName))
        return MacroResult::BlankName;
    if (newName.size() > kMaxMacroNameBytes)
        return MacroResult::NameTooLong;
    const std::string indexPath = IndexPath();
    Json::Value doc = LoadIndexDocument(indexPath);
    Json::Value& list = doc[kMacroInfo];
    if (index < 0 || static_cast<Json::ArrayIndex>(index) >= list.size())
        return MacroResult::NoSuchMacro;
    // The macro's own name counts too: changing only the case of a name is refused.
    if (ContainsNameIgnoringCase(NamesOf(list), newName))
        return MacroResult::DuplicateName;
    Json::Value& entry = list[static_cast<Json::ArrayIndex>(index)];
    JsonSlot(entry, kMacroName) = newName;
    return WriteJson(indexPath, doc) == 1 ? MacroResult::Ok : MacroResult::Failed;
}

MacroResult MacroStore::Delete(int index) {
    const std::string indexPath = IndexPath();
    Json::Value doc = LoadIndexDocument(indexPath);
    Json::Value& list = doc[kMacroInfo];
    if (index < 0 || static_cast<Json::ArrayIndex>(index) >= list.size())
        return MacroResult::NoSuchMacro;
    const MacroInfo info = EntryInfo(list[static_cast<Json::ArrayIndex>(index)]);
    Json::Value removed;
    list.removeIndex(static_cast<Json::ArrayIndex>(index), &removed);

    // The index is written first: if that fails nothing has changed, while a macro file left
    // behind by a failed removal is harmless (no entry names it, and a new identifier avoids it).
    if (WriteJson(indexPath, doc) != 1)
        return MacroResult::Failed;
    if (!info.guid.empty()) {
        bool shared = false;
        for (Json::ArrayIndex i = 0; i < list.size() && !shared; ++i)
            shared = JsonString(list[i], kGuid) == info.guid;
        if (!shared) {
            std::error_code ec;
            std::filesystem::remove(MacroPath(info.guid), ec);
        }
    }
    return MacroResult::Ok;
}

std::vector<MacroEvent> MacroStore::LoadEvents(std::string_view guid) const {
    const std::string path = MacroPath(guid);
    if (path.empty())
        return {};
    return ReadMacroEvents(path);
}

MacroResult MacroStore::Save(const MacroInfo& info, std::span<const MacroEvent> events) {
    const std::string path = MacroPath(info.guid);
    if (path.empty())
        return MacroResult::BadIdentifier;
    Json::Value doc(Json::objectValue);
    doc[kMacroName] = info.name;
    doc[kGuid] = info.guid;
    if (!events.empty()) {
        Json::Value& list = doc[kEvents];
        list = Json::Value(Json::arrayValue);
        for (const MacroEvent& event : events)
            list.append(MacroEventToJson(event));
    }
    doc[kVersion] = kMacroFileVersion;
    EnsureFolder(m_folder);
    return WriteJson(path, doc) == 1 ? MacroResult::Ok : MacroResult::Failed;
}

MacroResult MacroStore::SaveRows(const MacroInfo& info, std::span<MacroRow> rows) {
    if (MacroPath(info.guid).empty())
        return MacroResult::BadIdentifier;
    std::vector<MacroEvent> events;
    events.reserve(rows.size());
    for (MacroRow& row : rows) {
        if (!row.event)
            break;
        // The field accepts six digits, so a typed delay can exceed what the device takes.
        const uint16_t delay = ParseDelayText(row.delayText.empty() ? std::string_view("0") : row.delayText);
        row.delayText = std::to_string(delay);
        row.event->delay = delay;
        events.push_back(*row.event);
    }
    return Save(info, events);
}

MacroResult MacroStore::Export(std::string_view guid, const std::string& destination) const {
    const std::string path = MacroPath(guid);
    if (path.empty())
        return MacroResult::BadIdentifier;
    std::string bytes;
    if (destination.empty() || !ReadRawFile(path, kMaxJsonFileSize, bytes))
        return MacroResult::Failed;
    return ReplaceFileContent(destination, bytes) == 1 ? MacroResult::Ok : MacroResult::Failed;
}

MacroResult MacroStore::Import(const std::string& source, MacroInfo& created) {
    if (LoadIndex().size() >= kMaxMacros)
        return MacroResult::ListFull;
    // Read before anything is created, so an unreadable choice leaves the list as it was.
    std::string bytes;
    if (source.empty() || !ReadRawFile(source, kMaxJsonFileSize, bytes))
        return MacroResult::SourceUnreadable;
    const std::string indexPath = IndexPath();
    Json::Value doc = LoadIndexDocument(indexPath);
    MacroInfo info;
    const MacroResult added = AddEntry(doc, info);
    if (added != MacroResult::Ok)
        return added;
    EnsureFolder(m_folder);
    // The macro file comes first: until the index names it, a file that stays behind is never read,
    // while an entry written first would name a macro that may never get its file.
    const std::string path = MacroPath(info.guid);
    if (ReplaceFileContent(path, bytes) != 1)
        return MacroResult::Failed;
    if (WriteJson(indexPath, doc) != 1) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        return MacroResult::Failed;
    }
    created = std::move(info);
    return MacroResult::Ok;
}

std::vector<Macro> MacroStore::LoadAll() const {
    std::vector<Macro> macros;
    for (MacroInfo& info : LoadIndex()) {
        Macro macro;
        macro.events = LoadEvents(info.guid);
        macro.info = std::move(info);
        macros.push_back(std::move(macro));
    }
    return macros;
}

} // namespace nk7x
