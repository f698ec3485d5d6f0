#include "support/TestSupport.h"

#include "platform/DebugLog.h"

#include <cstdlib>
#include <filesystem>

namespace nk7x::test {

TempSimFolder::TempSimFolder() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "nk7x-test-XXXXXX").string();
    if (::mkdtemp(tmpl.data()))
        m_path = tmpl;
    ::setenv("NK7X_SIM_DIR", m_path.c_str(), 1);
}

TempSimFolder::~TempSimFolder() {
    ::unsetenv("NK7X_SIM_DIR");
    std::error_code ec;
    if (!m_path.empty())
        std::filesystem::remove_all(m_path, ec);
}

DeviceTestRoot::DeviceTestRoot(const std::string& tag) {
    std::string pattern = (std::filesystem::temp_directory_path() / (tag + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()))
        m_root = pattern;
    std::filesystem::create_directories(m_root / "sim");
    std::filesystem::create_directories(m_root / "data");
    ::setenv("NK7X_SIM_DIR", (m_root / "sim").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (m_root / "data").c_str(), 1);
#ifdef NK7X_SOURCE_DIR
    ::setenv("NK7X_PROGRAM_DIR", NK7X_SOURCE_DIR, 1);
#endif
}

DeviceTestRoot::~DeviceTestRoot() {
    ::unsetenv("NK7X_SIM_DIR");
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("NK7X_PROGRAM_DIR");
    std::error_code ec;
    if (!m_root.empty())
        std::filesystem::remove_all(m_root, ec);
}

DebugCapture::DebugCapture() {
    SetDebugSink([this](const std::string& line) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lines.push_back(line);
    });
}

DebugCapture::~DebugCapture() {
    SetDebugSink({});
}

std::vector<std::string> DebugCapture::Lines() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lines;
}

int DebugCapture::Count(const std::string& line) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    int n = 0;
    for (const std::string& l : m_lines)
        n += l == line;
    return n;
}

void DebugCapture::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lines.clear();
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : m_name(name) {
    if (const char* old = std::getenv(name))
        m_old = old;
    ::setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (m_old)
        ::setenv(m_name, m_old->c_str(), 1);
    else
        ::unsetenv(m_name);
}

} // namespace nk7x::test
