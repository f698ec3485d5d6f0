#include "platform/Folders.h"
#include "platform/DebugLog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;
using namespace nk7x;

TEST(Folders, JoinPathUsesExactlyOneSeparator) {
    EXPECT_EQ(JoinPath("a", "b"), "a/b");
    EXPECT_EQ(JoinPath("a/", "b"), "a/b");
    EXPECT_EQ(JoinPath("a/", "/b"), "a/b");
    EXPECT_EQ(JoinPath("", "b"), "b");
    EXPECT_EQ(JoinPath("a", ""), "a");
}

TEST(Folders, UserDataRootFollowsXdgAndIsCreated) {
    fs::path tmp = fs::temp_directory_path() / ("nk7x-folders-" + std::to_string(::getpid()));
    fs::remove_all(tmp);
    ::setenv("XDG_DATA_HOME", tmp.c_str(), 1);
    std::string root = UserDataRoot();
    EXPECT_EQ(root, (tmp / kProductName).string());
    EXPECT_TRUE(fs::is_directory(root));

    // A relative XDG_DATA_HOME is invalid by the XDG rules and must not be used.
    ::setenv("XDG_DATA_HOME", "relative/dir", 1);
    ::setenv("HOME", tmp.c_str(), 1);
    EXPECT_EQ(UserDataRoot(), (tmp / ".local/share" / kProductName).string());
    ::unsetenv("XDG_DATA_HOME");
    fs::remove_all(tmp);
}

TEST(Folders, ProgramFolderOverrideAndDefaultData) {
    ::setenv("NK7X_PROGRAM_DIR", "/opt/x", 1);
    EXPECT_EQ(ProgramFolder(), "/opt/x");
    EXPECT_EQ(DefaultDataFolder(), "/opt/x/DefaultData");
    ::unsetenv("NK7X_PROGRAM_DIR");
    // The test binary's folder holds the DefaultData link of the build tree.
    EXPECT_EQ(ProgramFolder(), ExecutableFolder());
}

TEST(DebugLog, SinkReceivesWholeLinesAndCanBeRemoved) {
    std::vector<std::string> lines;
    SetDebugSink([&](const std::string& l) { lines.push_back(l); });
    EXPECT_TRUE(DebugLogEnabled());
    DebugLog("命令");
    DebugLogf("%02x %s", 0xab, "x");
    SetDebugSink(nullptr);
    DebugLog("after");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "命令");
    EXPECT_EQ(lines[1], "ab x");
}
