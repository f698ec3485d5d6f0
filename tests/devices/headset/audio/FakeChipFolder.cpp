#include "FakeChipFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace nk7x::test {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSettings[] = {"INIT", "OUTPUTS", "INPUTS", "STATE", "REFUSE", "FLOOD"};

std::string LogPath(const std::string& folder) {
    return folder + "/chip-calls.log";
}

} // namespace

FakeChipFolder::FakeChipFolder(const std::string& library) {
    std::string pattern = (fs::temp_directory_path() / "nk7x-chip-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("no temporary folder");
    m_folder = pattern;
    fs::create_directories(fs::path(m_folder) / "SDK");
    if (!library.empty())
        fs::copy_file(library, LibraryPath());
    for (const char* name : kSettings)
        ::unsetenv((std::string("NK7X_TEST_CHIP_") + name).c_str());
    ::setenv("NK7X_TEST_CHIP_LOG", LogPath(m_folder).c_str(), 1);
}

FakeChipFolder::~FakeChipFolder() {
    for (const char* name : kSettings)
        ::unsetenv((std::string("NK7X_TEST_CHIP_") + name).c_str());
    ::unsetenv("NK7X_TEST_CHIP_LOG");
    std::error_code ec;
    fs::remove_all(m_folder, ec);
}

std::string FakeChipFolder::LibraryPath() const {
    return m_folder + "/SDK/libnk7x-audiochip.so";
}

void FakeChipFolder::Configure(const std::string& name, const std::string& value) {
    ::setenv(("NK7X_TEST_CHIP_" + name).c_str(), value.c_str(), 1);
}

std::vector<std::string> FakeChipFolder::Calls() const {
    std::vector<std::string> lines;
    std::ifstream in(LogPath(m_folder));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool FakeChipFolder::AnythingCalled() const {
    return fs::exists(LogPath(m_folder));
}

std::vector<std::string> FakeChipFolder::CallsFrom(size_t from) const {
    std::vector<std::string> lines = Calls();
    if (from >= lines.size())
        return {};
    return {lines.begin() + static_cast<std::ptrdiff_t>(from), lines.end()};
}

} // namespace nk7x::test
