#include "app/Languages.h"

#include "profiles/json/JsonFile.h"

#include "platform/DebugLog.h"

#include <json/json.h>

#include <fstream>
#include <memory>
#include <sstream>

namespace nk7x {
namespace {

std::string StringMember(const Json::Value& obj, const char* key) {
    const Json::Value& v = obj[key];
    return v.isString() ? v.asString() : std::string();
}

} // namespace

std::vector<LanguageEntry> ReadLanguageList(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::ostringstream buf;
    buf << in.rdbuf();
    std::string text = buf.str();
    Json::Value root;
    if (!ParseJsonText(text, root) || !root.isObject())
        return {};
    const Json::Value& list = root["Language"];
    if (!list.isArray())
        return {};
    std::vector<LanguageEntry> out;
    out.reserve(list.size());
    for (Json::ArrayIndex i = 0; i < list.size(); ++i) {
        LanguageEntry e;
        const Json::Value& item = list[i];
        if (item.isObject()) {
            e.name = StringMember(item, "Language_name");
            e.file = StringMember(item, "Language_file");
            e.text = StringMember(item, "Language_text");
            const Json::Value& id = item["Language_ID"];
            if (id.isIntegral() && id.asLargestInt() >= 0 && id.asLargestInt() <= 0xFFFFFFFFLL)
                e.id = id.asLargestInt();
        }
        out.push_back(std::move(e));
    }
    return out;
}

bool NeedsFontRebuild(int current, int next) {
    auto special = [](int i) { return i == 0 || i == 2 || i == 15; };
    return special(next) || current == -1 || special(current);
}

Languages::Languages(SettingsStore& store, std::string listPath, LanguageTarget& target)
    : m_store(store), m_listPath(std::move(listPath)), m_target(target) {}

int Languages::ReadStoredLanguage() const {
    auto stored = m_store.ReadDword(SettingsStore::ProductKey(), kValueName);
    if (!stored)
        return 0;
    std::vector<LanguageEntry> list = ReadLanguageList(m_listPath);
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].id == static_cast<int64_t>(*stored))
            return static_cast<int>(i);
    }
    return 0;
}

void Languages::ApplyLanguage(int index) {
    if (index == m_current)
        return;
    if (NeedsFontRebuild(m_current, index))
        m_target.RebuildFonts();
    m_current = index;
    m_list = ReadLanguageList(m_listPath);
    if (index >= 0 && static_cast<size_t>(index) < m_list.size()) {
        const LanguageEntry& entry = m_list[static_cast<size_t>(index)];
        m_target.SetLanguage(entry);
        if (entry.id >= 0)
            StoreLanguage(static_cast<uint32_t>(entry.id));
    }
    m_target.LanguageChanged();
}

bool Languages::StoreLanguage(uint32_t id) {
    const std::string key = SettingsStore::ProductKey();
    // Without the key the choice would be forgotten at every start; so it is made here.
    if (!m_store.CreateKey(key))
        return false;
    if (!m_store.WriteDword(key, kValueName, id))
        return false;
    DebugLog("写成功！");
    return true;
}

} // namespace nk7x
