// A private world for one profile test: a temporary program folder with its own DefaultData and a
// temporary user data root, both reached through the environment the folder rules read.
#pragma once

#include <gtest/gtest.h>
#include <json/value.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace nk7x::test {

class ProfileTestEnv : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "nk7x-prof-XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        ASSERT_NE(::mkdtemp(buf.data()), nullptr);
        m_root = buf.data();
        m_program = m_root / "program";
        m_data = m_root / "data";
        std::filesystem::create_directories(m_program / "DefaultData");
        std::filesystem::create_directories(m_data);
        ::setenv("NK7X_PROGRAM_DIR", m_program.c_str(), 1);
        ::setenv("XDG_DATA_HOME", m_data.c_str(), 1);
    }

    void TearDown() override {
        ::unsetenv("NK7X_PROGRAM_DIR");
        ::unsetenv("XDG_DATA_HOME");
        std::error_code ec;
        std::filesystem::permissions(m_root, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_root, ec);
    }

    std::string DefaultData(const std::string& name) const {
        return (m_program / "DefaultData" / name).string();
    }
    std::string UserRoot() const { return (m_data / "Norla Keys NK-7X").string(); }
    std::string InKind(const std::string& kind, const std::string& name) const {
        return (m_data / "Norla Keys NK-7X" / kind / name).string();
    }
    std::string Temp(const std::string& name) const { return (m_root / name).string(); }

    static void WriteText(const std::string& path, const std::string& text) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
    }

    static std::string ReadText(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // Names of the entries of a folder, sorted.
    static std::vector<std::string> Entries(const std::string& folder) {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(folder, ec))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::filesystem::path m_root;
    std::filesystem::path m_program;
    std::filesystem::path m_data;
};

} // namespace nk7x::test
