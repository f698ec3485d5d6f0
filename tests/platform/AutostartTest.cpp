// The autostart entry: written whole or not at all, read back as the desktop reads it, removed.
#include "platform/Autostart.h"

#include "profiles/FullDisk.h" // the test helper beside the profile tests

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace nk7x;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// The value of `key` in the [Desktop Entry] group, as written (no escapes undone).
std::optional<std::string> EntryValue(const std::string& text, const std::string& key) {
    std::istringstream in(text);
    std::string line;
    bool inEntry = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.front() == '[') {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (inEntry && line.rfind(key + "=", 0) == 0)
            return line.substr(key.size() + 1);
    }
    return std::nullopt;
}

// The arguments of an Exec value, read as the desktop entry rules say: string escapes first, then
// words split at blanks with double-quoted parts and their backslash escapes, then "%%" as "%".
std::vector<std::string> ExecArguments(const std::string& value) {
    std::string unescaped;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char n = value[++i];
            unescaped += n == 's' ? ' ' : n == 'n' ? '\n' : n == 't' ? '\t' : n == 'r' ? '\r' : n;
        } else {
            unescaped += value[i];
        }
    }
    std::vector<std::string> args;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (size_t i = 0; i < unescaped.size(); ++i) {
        const char c = unescaped[i];
        if (quoted) {
            if (c == '\\' && i + 1 < unescaped.size())
                word += unescaped[++i];
            else if (c == '"')
                quoted = false;
            else
                word += c;
        } else if (c == '"') {
            quoted = inWord = true;
        } else if (c == ' ') {
            if (inWord)
                args.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        args.push_back(word);
    for (std::string& a : args) {
        std::string plain;
        for (size_t i = 0; i < a.size(); ++i) {
            plain += a[i];
            if (a[i] == '%' && i + 1 < a.size() && a[i + 1] == '%')
                ++i;
        }
        a = plain;
    }
    return args;
}

// What desktop-file-validate says about the file; empty when it has nothing to say.
std::string Validate(const fs::path& path) {
    if (std::system("command -v desktop-file-validate >/dev/null 2>&1") != 0)
        return "desktop-file-validate is missing (Debian package desktop-file-utils; scripts/install-deps.sh)";
    const std::string command = "desktop-file-validate '" + path.string() + "' 2>&1";
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[512];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        if (::pclose(p) != 0 && out.empty())
            out = "desktop-file-validate failed";
    }
    return out;
}

class AutostartTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_root = fs::temp_directory_path() / ("nk7x-autostart-" + std::to_string(::getpid()));
        fs::remove_all(m_root);
        fs::create_directories(m_root);
        for (const char* name : {"XDG_CONFIG_HOME", "HOME"}) {
            if (const char* v = std::getenv(name))
                m_saved[name] = v;
        }
        ::setenv("XDG_CONFIG_HOME", Config().c_str(), 1);
    }
    void TearDown() override {
        for (const char* name : {"XDG_CONFIG_HOME", "HOME"}) {
            auto it = m_saved.find(name);
            if (it != m_saved.end())
                ::setenv(name, it->second.c_str(), 1);
            else
                ::unsetenv(name);
        }
        fs::remove_all(m_root);
    }
    fs::path Config() const { return m_root / "config"; }
    fs::path Folder() const { return Config() / "autostart"; }
    fs::path Entry() const { return Folder() / "nk7x.desktop"; }
    std::vector<std::string> FolderNames() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(Folder(), ec))
            names.push_back(e.path().filename().string());
        return names;
    }

    fs::path m_root;
    std::map<std::string, std::string> m_saved;
};

} // namespace

TEST_F(AutostartTest, EnableWritesAValidEntryThatStartsTheProgramHidden) {
    EXPECT_FALSE(AutostartEnabled());
    std::string error;
    ASSERT_TRUE(SetAutostart(true, "/usr/bin/nk7x", &error)) << error;
    EXPECT_EQ(AutostartEntryPath(), Entry().string());
    ASSERT_TRUE(fs::is_regular_file(Entry())) << "the autostart folder is created when missing";
    EXPECT_TRUE(AutostartEnabled());

    const std::string text = ReadFile(Entry());
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u) << text;
    EXPECT_EQ(EntryValue(text, "Type"), "Application");
    ASSERT_TRUE(EntryValue(text, "Exec"));
    EXPECT_EQ(ExecArguments(*EntryValue(text, "Exec")),
              (std::vector<std::string>{"/usr/bin/nk7x", "--hidden"}));
    EXPECT_EQ(EntryValue(text, "TryExec"), "/usr/bin/nk7x")
        << "the desktop skips the entry once the program is gone";
    EXPECT_EQ(Validate(Entry()), "");

    struct stat st {};
    ASSERT_EQ(::stat(Entry().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"nk7x.desktop"});
}

TEST_F(AutostartTest, AProgramPathWithReservedCharactersComesBackWhole) {
    for (const std::string& path :
         {std::string("/opt/My Apps/nk7x"), std::string("/opt/a\"b`c$HOME/100%/x\\y/nk7x"),
          std::string("/opt/it's (new)/nk7x;#&|<>*?~"), std::string("nk7x")}) {
        std::string error;
        ASSERT_TRUE(SetAutostart(true, path, &error)) << path << ": " << error;
        const std::string text = ReadFile(Entry());
        ASSERT_TRUE(EntryValue(text, "Exec")) << text;
        EXPECT_EQ(ExecArguments(*EntryValue(text, "Exec")), (std::vector<std::string>{path, "--hidden"}))
            << text;
        EXPECT_EQ(Validate(Entry()), "") << text;
    }
}

TEST_F(AutostartTest, EnablingAgainReplacesTheEntryAndDisablingRemovesIt) {
    std::string error;
    ASSERT_TRUE(SetAutostart(true, "/old/nk7x", &error)) << error;
    ASSERT_TRUE(SetAutostart(true, "/new/nk7x", &error)) << error;
    EXPECT_EQ(ExecArguments(*EntryValue(ReadFile(Entry()), "Exec")),
              (std::vector<std::string>{"/new/nk7x", "--hidden"}));
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"nk7x.desktop"}) << "no temporary file stays behind";
    EXPECT_TRUE(AutostartEnabled());

    ASSERT_TRUE(SetAutostart(false, "", &error)) << error;
    EXPECT_FALSE(fs::exists(Entry()));
    EXPECT_FALSE(AutostartEnabled());

    error = "untouched";
    EXPECT_TRUE(SetAutostart(false, "/new/nk7x", &error)) << "removing a missing entry is success";
    EXPECT_EQ(error, "untouched");
    fs::remove_all(Config());
    EXPECT_TRUE(SetAutostart(false, "/new/nk7x", nullptr)) << "nor does a missing folder matter";
    EXPECT_FALSE(fs::exists(Config())) << "disabling creates nothing";
}

TEST_F(AutostartTest, AnEntryTheDesktopSwitchedOffCountsAsDisabled) {
    fs::create_directories(Folder());
    const std::string head = "[Desktop Entry]\nType=Application\nName=x\nExec=/usr/bin/nk7x --hidden\n";
    WriteFile(Entry(), head + "Hidden=true\n");
    EXPECT_FALSE(AutostartEnabled());
    WriteFile(Entry(), head + "X-GNOME-Autostart-enabled = false\n");
    EXPECT_FALSE(AutostartEnabled());
    WriteFile(Entry(), head + "X-GNOME-Autostart-enabled=true\n[Desktop Action x]\nHidden=true\n");
    EXPECT_TRUE(AutostartEnabled()) << "only the entry's own group counts";
    fs::remove(Entry());
    fs::create_directories(Entry());
    EXPECT_FALSE(AutostartEnabled()) << "a folder in the entry's place is no entry";
}

TEST_F(AutostartTest, TheFolderFollowsXdgConfigHomeElseHome) {
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
    ::setenv("HOME", (m_root / "home").c_str(), 1);
    EXPECT_EQ(AutostartEntryPath(), (m_root / "home/.config/autostart/nk7x.desktop").string())
        << "a relative XDG_CONFIG_HOME is not used";
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("HOME");
    EXPECT_EQ(AutostartEntryPath(), "");
    std::string error;
    EXPECT_FALSE(SetAutostart(true, "/usr/bin/nk7x", &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(AutostartTest, FailuresSayWhyAndLeaveNoHalfWrittenEntry) {
    std::string error;
    // Programs the Exec line cannot carry, or that would be looked up relative to the session's
    // working folder.
    for (const std::string& bad :
         {std::string(), std::string("bin/nk7x"), std::string("/usr/bin/nk7x\nExec=evil"),
          std::string("/usr/bin/nk\x01x")}) {
        error.clear();
        EXPECT_FALSE(SetAutostart(true, bad, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
        EXPECT_FALSE(fs::exists(Entry())) << bad;
    }

    // The autostart folder cannot be made: a file stands where the configuration folder would be.
    WriteFile(Config(), "not a folder");
    error.clear();
    EXPECT_FALSE(SetAutostart(true, "/usr/bin/nk7x", &error));
    EXPECT_NE(error.find(Folder().string()), std::string::npos) << error;
    fs::remove(Config());

    // The entry's place is taken by a folder: the rename fails and the temporary file goes.
    fs::create_directories(Entry());
    error.clear();
    EXPECT_FALSE(SetAutostart(true, "/usr/bin/nk7x", &error));
    EXPECT_NE(error.find(Entry().string()), std::string::npos) << error;
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"nk7x.desktop"});
    EXPECT_TRUE(fs::is_directory(Entry()));
    fs::remove(Entry());

    // The disk fills up while the new entry is written: the earlier one stays as it was.
    ASSERT_TRUE(SetAutostart(true, "/old/nk7x", &error)) << error;
    const auto before = test::FolderPicture(Folder());
    error.clear();
    const bool written = test::WithFullDisk(16, [&] { return SetAutostart(true, "/new/nk7x", &error); });
    EXPECT_FALSE(written);
    EXPECT_NE(error.find(Entry().string()), std::string::npos) << error;
    EXPECT_EQ(test::FolderPicture(Folder()), before);
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"nk7x.desktop"});
    EXPECT_TRUE(AutostartEnabled());
}

TEST_F(AutostartTest, AFolderTheUserMayNotWriteIsReported) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into any folder; the full-disk case covers the failed write";
    fs::create_directories(Folder());
    ASSERT_EQ(::chmod(Folder().c_str(), 0555), 0);
    std::string error;
    EXPECT_FALSE(SetAutostart(true, "/usr/bin/nk7x", &error));
    EXPECT_NE(error.find(Folder().string()), std::string::npos) << error;
    EXPECT_TRUE(FolderNames().empty());
    ::chmod(Folder().c_str(), 0755);
}
