#include "update/UpdateServer.h"

#include "platform/SettingsStore.h"

#include <string_view>

namespace nk7x {
namespace {

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

std::string ReadUpdateServer(const SettingsStore& store) {
    return Trimmed(store.ReadString(SettingsStore::ProductKey(), kUpdateServerValue).value_or(std::string()));
}

bool UsableUpdateServer(const std::string& address) {
    const std::string text = Trimmed(address);
    if (text.empty())
        return true;
    std::string_view rest;
    if (StartsWith(text, "http://"))
        rest = std::string_view(text).substr(7);
    else if (StartsWith(text, "https://"))
        rest = std::string_view(text).substr(8);
    else
        return false;
    if (rest.empty() || rest.front() == '/')
        return false;
    for (const char c : text) {
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f)
            return false;
    }
    return true;
}

bool WriteUpdateServer(SettingsStore& store, const std::string& address) {
    if (!UsableUpdateServer(address))
        return false;
    const std::string key = SettingsStore::ProductKey();
    if (!store.CreateKey(key))
        return false;
    return store.WriteString(key, kUpdateServerValue, Trimmed(address));
}

} // namespace nk7x
