#include "profiles/BasicProfileData.h"

#include "platform/DebugLog.h"
#include "platform/Folders.h"
#include "profiles/ProfileFolders.h"
#include "profiles/ProfileJson.h"
#include "profiles/UnreadableFiles.h"
#include "profiles/json/JsonFile.h"

#include <filesystem>
#include <system_error>

namespace nk7x {
namespace {

// The text of a file and its parsed document; `unusable` when there was text but no JSON object
// (or null) could be made of it.
Json::Value ReadDocument(const std::string& path, std::string& text, bool& unusable) {
    unusable = false;
    text = ReadJsonText(path);
    if (text.empty()) {
        DebugLog(path);
        return Json::Value();
    }
    Json::Value doc;
    if (!ParseJsonText(text, doc) || !(doc.isObject() || doc.isNull())) {
        unusable = true;
        return Json::Value();
    }
    return doc;
}

bool SameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty())
        return false;
    if (a == b)
        return true;
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

// Why the file at `path` cannot be used as a profile document, or empty when it can (or is not
// there, or is empty).
std::string WhyUnusable(const std::string& path, const std::string& text, bool unusable) {
    if (!text.empty() && !unusable)
        return {};
    return UnusableDocumentReason(path, text, kMaxJsonFileSize, "a profile");
}

// A document that cannot be used is moved aside (the user is told) and a new one begins; false
// when it could not be moved, and so must not be replaced either.
bool SetAsideIfUnusable(const std::string& path, const std::string& text, bool unusable, Json::Value& doc) {
    const std::string why = WhyUnusable(path, text, unusable);
    if (why.empty())
        return true;
    doc = Json::Value();
    return !SetAsideUnreadable(path, why).empty();
}

std::string FolderOf(const std::string& path) {
    if (path.empty())
        return {};
    return std::filesystem::path(path).parent_path().string();
}

} // namespace

// ---- files ----

int CBasicProfiledata::Save() {
    return JsonGuard(0, [&] { return SaveProfileValue(m_profile, m_profilePath); });
}

int CBasicProfiledata::SaveProfileValue(const Json::Value& value, const std::string& path) {
    if (path.empty())
        return 0;
    return JsonGuard(0, [&] {
        Json::Value doc;
        if (!LoadDocumentForUpdate(path, doc))
            return 0;
        PutDevice(doc, value);
        return WriteDocument(doc, path);
    });
}

int CBasicProfiledata::WriteDocument(const Json::Value& value, const std::string& path) {
    return WriteJson(path, value);
}

bool CBasicProfiledata::LoadDocumentForUpdate(const std::string& path, Json::Value& doc) {
    std::string text;
    bool unusable = false;
    doc = ReadDocument(path, text, unusable);
    return SetAsideIfUnusable(path, text, unusable, doc);
}

void CBasicProfiledata::PutDevice(Json::Value& document, const Json::Value& value) const {
    JsonSlot(JsonSlot(document, "Device"), m_index) = value;
}

Json::Value CBasicProfiledata::LoadFromFile(const std::string& path) {
    return JsonGuard(Json::Value(), [&] {
        std::string text;
        bool unusable = false;
        Json::Value doc = ReadDocument(path, text, unusable);
        m_profile = JsonElement(JsonMember(doc, "Device"), m_index);
        // A profile that is not an object holds none of the sections; it is refilled like a
        // missing one.
        if (!m_profile.isObject())
            m_profile = Json::Value();
        if (!m_profile.isNull() || path.empty())
            return m_profile;
        // The default file is never written: it is the program's data, and rewriting it with a
        // null profile would only destroy it.
        if (SameFile(path, m_defaultPath))
            return m_profile;
        Json::Value defaults = LoadJson(m_defaultPath);
        const Json::Value& fallback = JsonElement(JsonMember(defaults, "Device"), m_index);
        if (fallback.isObject())
            m_profile = fallback;
        // A file that cannot be read is moved aside (and the user told) before the default takes
        // its place; one that cannot be moved is left alone. The write-back only saves refilling
        // next time, and a failed one leaves the file as it was.
        if (!SetAsideIfUnusable(path, text, unusable, doc))
            return m_profile;
        PutDevice(doc, m_profile);
        WriteDocument(doc, path);
        return m_profile;
    });
}

Json::Value CBasicProfiledata::LoadConfig(const std::string& path) {
    return JsonGuard(Json::Value(), [&] {
        m_config = LoadJson(path);
        m_configFolder = FolderOf(path);
        return m_config;
    });
}

// ---- paths ----

void CBasicProfiledata::SetProfilePath(const std::string& path) {
    if (!path.empty())
        m_profilePath = path;
}

void CBasicProfiledata::SetDefaultPath(const std::string& path) {
    if (!path.empty())
        m_defaultPath = path;
}

void CBasicProfiledata::SetIndex(int index) {
    if (index >= 0 && static_cast<Json::ArrayIndex>(index) <= kJsonMaxIndex)
        m_index = static_cast<Json::ArrayIndex>(index);
}

Json::Value& CBasicProfiledata::MutableProfile() {
    return JsonMakeObject(m_profile);
}

// ---- lighting ----

LightState CBasicProfiledata::GetLightInfo() {
    LightState state = m_lightInfoDefault;
    JsonGuardVoid([&] {
        const Json::Value& info = JsonMember(m_profile, "LightInfo");
        if (!info.isObject())
            return;
        state.mode = JsonU8(info, "SelectItem");
        state.brightness = JsonU8(info, "Light");
        state.speed = JsonU8(info, "Speed");
        state.direction = JsonU8(info, "Fx");
        state.multiColor = JsonFlag(info, "MultiColor");
        state.red = JsonU8(info, "Red");
        state.green = JsonU8(info, "Green");
        state.blue = JsonU8(info, "Blue");
        state.secondaryMode = JsonU8(info, "ZZCCLedMode");
        state.customGroup = JsonU8(info, "CustomGroup");
    });
    m_lightInfo = state;
    return state;
}

void CBasicProfiledata::SetLightInfo(const LightState& state) {
    m_lightInfo = state;
    JsonGuardVoid([&] {
        Json::Value info(Json::objectValue);
        info["SelectItem"] = state.mode;
        info["Light"] = state.brightness;
        info["Speed"] = state.speed;
        info["Fx"] = state.direction;
        info["MultiColor"] = state.multiColor ? 1 : 0;
        info["Red"] = state.red;
        info["Green"] = state.green;
        info["Blue"] = state.blue;
        info["ZZCCLedMode"] = state.secondaryMode;
        info["CustomGroup"] = state.customGroup;
        MutableProfile()["LightInfo"] = std::move(info);
    });
}

std::vector<LightState> CBasicProfiledata::GetLightList() {
    m_lightList = JsonGuard(std::vector<LightState>(), [&] {
        std::vector<LightState> list;
        const Json::Value& array = JsonArray(m_profile, "LightList");
        list.reserve(array.size());
        for (const Json::Value& element : array) {
            LightState entry;
            // An element of the wrong shape carries no lighting; it counts as a null one.
            if (element.isObject()) {
                entry.mode = JsonU8(element, "LEDREGMode");
                entry.brightness = JsonU8(element, "LEDBrightness");
                entry.speed = JsonU8(element, "LEDSpeed");
                entry.direction = JsonFlag(element, "LEDDirection");
                entry.multiColor = JsonFlag(element, "LEDMultiColor");
                entry.red = JsonU8(element, "red");
                entry.green = JsonU8(element, "green");
                entry.blue = JsonU8(element, "blue");
                entry.present = 1;
            }
            list.push_back(entry);
        }
        return list;
    });
    return m_lightList;
}

Json::Value CBasicProfiledata::LoadEffectDocument(const std::string& name) const {
    if (!IsPlainFileName(name))
        return Json::Value();
    const std::string file = name + ".light";
    std::string folder = m_configFolder.empty() ? FolderOf(m_configPath) : m_configFolder;
    if (!folder.empty()) {
        Json::Value doc = LoadJson(JoinPath(folder, file));
        if (!doc.isNull())
            return doc;
    }
    return LoadJson(JoinPath(DefaultDataFolder(), file));
}

std::vector<EffectFrame> CBasicProfiledata::GetEffectFrames() {
    m_effectFrames = JsonGuard(std::vector<EffectFrame>(), [&] {
        std::vector<EffectFrame> frames;
        if (m_config.isNull() || m_lightInfo.mode < m_lightModeBase)
            return frames;
        auto slot = static_cast<Json::ArrayIndex>(m_lightInfo.mode - m_lightModeBase);
        const Json::Value& entry = JsonElement(JsonElement(JsonMember(m_config, "LightInfo"), m_index), slot);
        const std::string name = JsonString(entry, "Guid");
        if (name.empty())
            return frames;
        Json::Value doc = LoadEffectDocument(name);
        const Json::Value& list = JsonArray(doc, "LEDEffectList");
        frames.reserve(list.size());
        for (const Json::Value& element : list) {
            EffectFrame frame;
            frame.mode = JsonU8(element, "LEDREGMode");
            frame.direction = JsonU8(element, "LEDDirection");
            frame.brightness = JsonU8(element, "LEDBrightness");
            frame.speed = JsonU8(element, "LEDSpeed");
            frame.multiColor = JsonU8(element, "LEDMultiColor");
            frame.red = JsonU8(element, "red");
            frame.green = JsonU8(element, "green");
            frame.blue = JsonU8(element, "blue");
            frame.time = JsonInt(element, "Time");
            frame.cycle = JsonInt(element, "Cyle");
            frames.push_back(frame);
        }
        return frames;
    });
    return m_effectFrames;
}

// ---- keys ----

std::vector<KeyAssignment> CBasicProfiledata::GetKeyList() {
    m_keyList = JsonGuard(std::vector<KeyAssignment>(), [&] {
        std::vector<KeyAssignment> keys;
        const Json::Value& array = JsonArray(m_profile, "KeyList");
        keys.reserve(array.size());
        Json::ArrayIndex i = 0;
        for (const Json::Value& element : array) {
            KeyAssignment record;
            record.keyIndex = static_cast<uint16_t>(i);
            record.keyIndexAgain = static_cast<uint16_t>(i);
            record.assignment = KeyCode::FromPacked(JsonInt64(element, "Assignment"));
            record.defaultAssignment = KeyCode::FromPacked(JsonInt64(element, "DefaultAssignment"));
            keys.push_back(record);
            ++i;
        }
        return keys;
    });
    return m_keyList;
}

void CBasicProfiledata::SetKeyList(const std::vector<KeyAssignment>& records) {
    m_keyList = records;
    JsonGuardVoid([&] {
        Json::Value& array = JsonMakeArray(MutableProfile()["KeyList"]);
        for (std::size_t i = 0; i < records.size() && i <= kJsonMaxIndex; ++i) {
            Json::Value& element = JsonSlot(array, static_cast<Json::ArrayIndex>(i));
            JsonSlot(element, "Assignment") = static_cast<Json::Int>(records[i].assignment.Packed());
        }
    });
}

} // namespace nk7x
