#include "profiles/AppBindings.h"

#include <json/value.h>

#include <algorithm>
#include <cctype>

#include "profiles/UnreadableFiles.h"
#include "profiles/json/JsonFile.h"

namespace nk7x {
namespace {

std::string Trimmed(const std::string& s) {
    const auto first = std::find_if_not(s.begin(), s.end(), [](unsigned char c) { return std::isspace(c); });
    const auto last = std::find_if_not(s.rbegin(), s.rend(), [](unsigned char c) { return std::isspace(c); });
    return first < last.base() ? std::string(first, last.base()) : std::string();
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

} // namespace

bool AppBindings::Load(const std::string& path) {
    m_bindings.clear();
    m_default.clear();
    if (!PathTaken(path))
        return true;
    const std::string text = ReadJsonText(path);
    Json::Value root;
    const bool parsed = !text.empty() && ParseJsonText(text, root) && root.isObject();
    const Json::Value& list = parsed ? root["bindings"] : Json::Value::nullSingleton();
    if (!parsed || !(list.isNull() || list.isArray())) {
        std::string why = UnusableDocumentReason(path, text, kMaxJsonFileSize, "application bindings");
        SetAsideUnreadable(path, why.empty() ? "not application bindings" : why);
        return false;
    }
    if (root["default"].isString())
        m_default = root["default"].asString();
    for (const Json::Value& b : list) {
        // A binding that is not whole is skipped; the others still count.
        if (b.isObject() && b["app"].isString() && b["profile"].isString())
            (void)Bind(b["app"].asString(), b["profile"].asString());
    }
    return true;
}

bool AppBindings::Save(const std::string& path) const {
    Json::Value root(Json::objectValue);
    root["default"] = m_default;
    Json::Value& list = root["bindings"] = Json::Value(Json::arrayValue);
    for (const AppBinding& b : m_bindings) {
        Json::Value entry(Json::objectValue);
        entry["app"] = b.app;
        entry["profile"] = b.profile;
        list.append(entry);
    }
    return WriteJson(path, root) == 1;
}

bool AppBindings::Bind(const std::string& app, const std::string& profile) {
    const std::string name = Trimmed(app);
    if (name.empty() || profile.empty())
        return false;
    for (AppBinding& b : m_bindings)
        if (SameIgnoringCase(b.app, name)) {
            b.profile = profile;
            return true;
        }
    m_bindings.push_back({name, profile});
    return true;
}

bool AppBindings::Has(const std::string& app) const {
    const std::string name = Trimmed(app);
    return std::any_of(m_bindings.begin(), m_bindings.end(),
                       [&name](const AppBinding& b) { return SameIgnoringCase(b.app, name); });
}

bool AppBindings::Unbind(const std::string& app) {
    const std::string name = Trimmed(app);
    const auto it = std::find_if(m_bindings.begin(), m_bindings.end(),
                                 [&name](const AppBinding& b) { return SameIgnoringCase(b.app, name); });
    if (it == m_bindings.end())
        return false;
    m_bindings.erase(it);
    return true;
}

void AppBindings::DropProfile(const std::string& profile) {
    std::erase_if(m_bindings, [&profile](const AppBinding& b) { return b.profile == profile; });
    if (m_default == profile)
        m_default.clear();
}

std::optional<std::string> AppBindings::Match(const ActiveApp& app) const {
    for (const AppBinding& b : m_bindings) {
        for (const std::string* name : {&app.appId, &app.instance, &app.executable})
            if (!name->empty() && SameIgnoringCase(b.app, *name))
                return b.profile;
    }
    return std::nullopt;
}

} // namespace nk7x
