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

DebugCapture::DebugCapture() {
    SetDebugSink([this](const std::string& line) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lines.push_back(line);
    });
}

DebugCapture::~DebugCapture() { SetDebugSink({}); }

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

} // namespace nk7x::test
