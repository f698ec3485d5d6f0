// Every shipped default file: present, UTF-8, one strict JSON document in the styled form the
// program writes, and readable through the program's own file access.
#include "DefaultData.h"

#include "profiles/json/JsonFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;
using namespace nk7x;
using namespace nk7x::test;

namespace {

std::vector<std::string> AllJsonFilesInFolder() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(DefaultDataDir())) {
        if (entry.is_regular_file())
            names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(DefaultFiles, EveryExpectedFileIsThere) {
    for (const auto& name : ExpectedDefaultFiles())
        EXPECT_TRUE(fs::is_regular_file(DefaultDataPath(name))) << "missing default file " << name;
}

// The folder is installed as it stands: a stray file there (a backup, an editor's swap file, a
// renamed pattern) would ship. Only the known files, the language list and effect files belong.
TEST(DefaultFiles, FolderHoldsOnlyKnownFiles) {
    const std::set<std::string> known(ExpectedDefaultFiles().begin(), ExpectedDefaultFiles().end());
    for (const auto& name : AllJsonFilesInFolder()) {
        const bool effect = name.size() > 6 && name.ends_with(".light");
        EXPECT_TRUE(known.count(name) || name == "Language.config" || effect) << "unexpected file " << name;
    }
}

TEST(DefaultFiles, AreUtf8StrictJsonInTheStyledForm) {
    for (const auto& name : AllJsonFilesInFolder()) {
        SCOPED_TRACE(name);
        const std::string text = ReadDefaultText(name);
        ASSERT_FALSE(text.empty());
        EXPECT_TRUE(IsValidUtf8(text));
        EXPECT_FALSE(text.starts_with("\xEF\xBB\xBF")) << "byte order mark";
        std::string error;
        const Json::Value root = ParseDefaultStrict(name, &error);
        ASSERT_TRUE(root.isObject()) << error;
        // Byte for byte the styled form (with or without the extra line end WriteJson adds), so a
        // hand edit in another layout is caught here.
        const std::string styled = StyledJsonText(root);
        EXPECT_TRUE(text == styled || text + "\n" == styled) << "not in the styled form the program writes";
    }
}

TEST(DefaultFiles, LoadThroughTheProgramsReader) {
    for (const auto& name : AllJsonFilesInFolder()) {
        const Json::Value viaProgram = LoadJson(DefaultDataPath(name));
        const Json::Value strict = ParseDefaultStrict(name);
        EXPECT_TRUE(viaProgram.isObject()) << name;
        EXPECT_TRUE(viaProgram == strict) << name << " reads differently through LoadJson";
    }
}

TEST(DefaultFiles, ProfilesHoldOneDeviceObjectAndTheirIdentity) {
    for (const char* name : {"keyboard.Json", "mouse.Json", "MousePad.Json", "HD.Json"}) {
        SCOPED_TRACE(name);
        const Json::Value root = ParseDefaultStrict(name);
        ASSERT_TRUE(root.isObject());
        // A new profile is this file with "profilename" and "profileUUID" set: both must be
        // strings so that setting them does not change a member's type.
        EXPECT_TRUE(root["profilename"].isString());
        EXPECT_TRUE(root["profileUUID"].isString());
        const Json::Value& device = root["Device"];
        ASSERT_TRUE(device.isArray());
        ASSERT_EQ(device.size(), 1u);
        EXPECT_TRUE(device[0].isObject());
        EXPECT_TRUE(device[0]["LightInfo"].isObject());
    }
}
