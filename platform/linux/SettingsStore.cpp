#include "platform/SettingsStore.h"

#include "platform/Folders.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace nk7x {
namespace {

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

std::string SettingsStore::DefaultPath() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = JoinPath(home && *home ? home : "/tmp", ".config");
    }
    return JoinPath(JoinPath(base, kProductName), "settings.ini");
}

std::string SettingsStore::ProductKey() {
    return std::string("SOFTWARE\\") + kProductName;
}

SettingsStore::SettingsStore(std::string filePath) : m_path(std::move(filePath)) {}

SettingsStore::Sections SettingsStore::Load() const {
    Sections sections;
    std::ifstream in(m_path);
    if (!in)
        return sections;
    std::string line;
    Section* current = nullptr;
    while (std::getline(in, line)) {
        std::string t = Trim(line);
        if (t.empty() || t[0] == ';' || t[0] == '#')
            continue;
        if (t.front() == '[' && t.back() == ']' && t.size() > 2) {
            current = &sections[t.substr(1, t.size() - 2)];
            continue;
        }
        size_t eq = t.find('=');
        if (!current || eq == std::string::npos || eq == 0)
            continue;
        (*current)[Trim(t.substr(0, eq))] = Trim(t.substr(eq + 1));
    }
    return sections;
}

bool SettingsStore::Save(const Sections& sections) {
    std::ostringstream out;
    for (const auto& [name, values] : sections) {
        out << '[' << name << "]\n";
        for (const auto& [key, data] : values)
            out << key << '=' << data << '\n';
        out << '\n';
    }
    std::filesystem::path target(m_path);
    if (target.has_parent_path() && !EnsureFolder(target.parent_path().string()))
        return false;
    // Written beside the target and renamed over it, so a crash never leaves half a file.
    std::string tmp = m_path + ".tmp" + std::to_string(::getpid());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, out.str()) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok || std::rename(tmp.c_str(), m_path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    ++m_writes;
    return true;
}

bool SettingsStore::KeyExists(const std::string& key) const {
    return Load().count(key) != 0;
}

bool SettingsStore::CreateKey(const std::string& key) {
    if (key.empty() || key.find_first_of("[]\n\r") != std::string::npos)
        return false;
    Sections sections = Load();
    if (sections.count(key))
        return true;
    sections[key];
    return Save(sections);
}

std::optional<uint32_t> SettingsStore::ReadDword(const std::string& key, const std::string& value) const {
    const std::optional<std::string> stored = ReadString(key, value);
    if (!stored)
        return std::nullopt;
    const std::string& text = *stored;
    uint32_t out = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return out;
}

bool SettingsStore::WriteDword(const std::string& key, const std::string& value, uint32_t data) {
    if (value.empty() || value.find_first_of("=[]\n\r") != std::string::npos)
        return false;
    Sections sections = Load();
    auto s = sections.find(key);
    if (s == sections.end())
        return false;
    s->second[value] = std::to_string(data);
    return Save(sections);
}

std::optional<std::string> SettingsStore::ReadString(const std::string& key, const std::string& value) const {
    Sections sections = Load();
    auto s = sections.find(key);
    if (s == sections.end())
        return std::nullopt;
    auto v = s->second.find(value);
    if (v == s->second.end())
        return std::nullopt;
    return v->second;
}

bool SettingsStore::WriteString(const std::string& key, const std::string& value, const std::string& data) {
    if (value.empty() || value.find_first_of("=[]\n\r") != std::string::npos ||
        data.find_first_of("\n\r") != std::string::npos)
        return false;
    Sections sections = Load();
    auto s = sections.find(key);
    if (s == sections.end())
        return false;
    s->second[value] = data;
    return Save(sections);
}

} // namespace nk7x
