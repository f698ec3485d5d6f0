#include "app/Languages.h"
#include "platform/DebugLog.h"
#include "platform/Folders.h"
#include "platform/SettingsStore.h"
#include "ui/LanguageTexts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;
using namespace nk7x;

namespace {

fs::path FreshDir(const std::string& tag) {
    fs::path dir = fs::temp_directory_path() / ("nk7x-app-" + tag + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

void Write(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

struct FakeTarget : LanguageTarget {
    std::vector<std::string> applied;
    int rebuilds = 0;
    int changes = 0;
    void SetLanguage(const LanguageEntry& e) override { applied.push_back(e.name); }
    void RebuildFonts() override { ++rebuilds; }
    void LanguageChanged() override { ++changes; }
};

// Five languages so index 3 -> 4 (no rebuild) and 3 -> 0 (rebuild) can be exercised.
const char* const kFiveLanguages = R"({ "Language": [
  {"Language_name":"en","Language_file":"lang/lan_en.json","Language_ID":1033,"Language_text":"t0"},
  {"Language_name":"zh_CN","Language_file":"lang/lan_zh.json","Language_ID":2052,"Language_text":"t1"},
  {"Language_name":"de","Language_file":"lang/lan_de.json","Language_ID":1031,"Language_text":"t2"},
  {"Language_name":"fr","Language_file":"lang/lan_fr.json","Language_ID":1036,"Language_text":"t3"},
  {"Language_name":"es","Language_file":"lang/lan_es.json","Language_ID":3082,"Language_text":"t4"} ] })";

class LanguagesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = FreshDir("lang");
        Write(m_dir / "Language.config", kFiveLanguages);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    SettingsStore Store() { return SettingsStore((m_dir / "cfg" / "settings.ini").string()); }
    std::string List() { return (m_dir / "Language.config").string(); }
    fs::path m_dir;
};

} // namespace

TEST(SettingsStore, KeysValuesAndAtomicReplacement) {
    fs::path dir = FreshDir("store");
    SettingsStore store((dir / "sub" / "settings.ini").string());
    const std::string key = SettingsStore::ProductKey();
    EXPECT_EQ(key, std::string("SOFTWARE\\") + kProductName);
    EXPECT_FALSE(store.KeyExists(key));
    EXPECT_FALSE(store.ReadDword(key, "LANGUAGE").has_value());
    EXPECT_FALSE(store.WriteDword(key, "LANGUAGE", 2052)) << "the key is not made by a value write";
    EXPECT_EQ(store.WriteCount(), 0);

    ASSERT_TRUE(store.CreateKey(key));
    ASSERT_TRUE(store.WriteDword(key, "LANGUAGE", 2052));
    ASSERT_TRUE(store.WriteDword(key, "Other", 4294967295u));
    EXPECT_EQ(store.ReadDword(key, "LANGUAGE").value_or(0), 2052u);
    EXPECT_EQ(store.ReadDword(key, "Other").value_or(0), 4294967295u);

    // A second store on the same file sees the values: nothing is cached across objects.
    SettingsStore again((dir / "sub" / "settings.ini").string());
    EXPECT_EQ(again.ReadDword(key, "LANGUAGE").value_or(0), 2052u);

    for (const auto& e : fs::directory_iterator(dir / "sub"))
        EXPECT_EQ(e.path().filename(), "settings.ini") << "no temporary file is left behind";
    EXPECT_FALSE(store.CreateKey("bad]key"));
    EXPECT_FALSE(store.WriteDword(key, "a=b", 1));
    fs::remove_all(dir);
}

TEST(SettingsStore, DamagedFilesReadAsMissingValues) {
    fs::path dir = FreshDir("damaged");
    const std::string key = SettingsStore::ProductKey();
    Write(dir / "settings.ini",
          "garbage line\n[" + key + "]\nLANGUAGE=12ab\nBig=99999999999\nNeg=-5\nEmpty=\n=3\nOk = 7 \n");
    SettingsStore store((dir / "settings.ini").string());
    EXPECT_TRUE(store.KeyExists(key));
    EXPECT_FALSE(store.ReadDword(key, "LANGUAGE").has_value());
    EXPECT_FALSE(store.ReadDword(key, "Big").has_value());
    EXPECT_FALSE(store.ReadDword(key, "Neg").has_value());
    EXPECT_FALSE(store.ReadDword(key, "Empty").has_value());
    EXPECT_EQ(store.ReadDword(key, "Ok").value_or(0), 7u);
    fs::remove_all(dir);
}

TEST(SettingsStore, DefaultPathFollowsXdgConfigHome) {
    std::string saved = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    ::setenv("XDG_CONFIG_HOME", "/tmp/xdg-test", 1);
    EXPECT_EQ(SettingsStore::DefaultPath(), std::string("/tmp/xdg-test/") + kProductName + "/settings.ini");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_EQ(SettingsStore::DefaultPath().find("relative"), std::string::npos);
    if (saved.empty())
        ::unsetenv("XDG_CONFIG_HOME");
    else
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}

TEST_F(LanguagesTest, ListKeepsIndicesWhenAnElementIsMalformed) {
    Write(m_dir / "odd.config", R"({"Language":[{"Language_name":"en","Language_ID":1033}, 5,
        {"Language_name":7,"Language_ID":"2052"}, {"Language_name":"zh","Language_ID":2052}]})");
    auto list = ReadLanguageList((m_dir / "odd.config").string());
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[1].id, -1);
    EXPECT_EQ(list[2].id, -1);
    EXPECT_EQ(list[2].name, "");
    EXPECT_EQ(list[3].id, 2052);
    Write(m_dir / "broken.config", R"({"Language": {"a": 1}})");
    EXPECT_TRUE(ReadLanguageList((m_dir / "broken.config").string()).empty());
    // Nested too deep for any reader: nothing taken, and the program goes on.
    Write(m_dir / "deep.config", std::string(1001, '['));
    EXPECT_TRUE(ReadLanguageList((m_dir / "deep.config").string()).empty());
    Write(m_dir / "deep.json", "{\"a\":" + std::string(1001, '['));
    LanguageTexts texts;
    EXPECT_FALSE(texts.LoadFile(QString::fromStdString((m_dir / "deep.json").string())));
    EXPECT_TRUE(ReadLanguageList((m_dir / "absent.config").string()).empty());
}

TEST_F(LanguagesTest, StoredChoiceInTheListIsUsedOtherwiseTheFirst) {
    SettingsStore store = Store();
    FakeTarget target;
    Languages langs(store, List(), target);
    EXPECT_EQ(langs.ReadStoredLanguage(), 0) << "nothing stored";
    ASSERT_TRUE(store.CreateKey(SettingsStore::ProductKey()));
    ASSERT_TRUE(store.WriteDword(SettingsStore::ProductKey(), "LANGUAGE", 1036));
    EXPECT_EQ(langs.ReadStoredLanguage(), 3);
    ASSERT_TRUE(store.WriteDword(SettingsStore::ProductKey(), "LANGUAGE", 9999));
    EXPECT_EQ(langs.ReadStoredLanguage(), 0) << "an id not in the list";
    Languages noList(store, (m_dir / "absent.config").string(), target);
    EXPECT_EQ(noList.ReadStoredLanguage(), 0);
}

TEST_F(LanguagesTest, ApplyStoresTheChoiceCreatingTheKeyAndChoosingItAgainDoesNothing) {
    SettingsStore store = Store();
    FakeTarget target;
    Languages langs(store, List(), target);
    std::vector<std::string> lines;
    SetDebugSink([&](const std::string& l) { lines.push_back(l); });

    langs.ApplyLanguage(1);
    SetDebugSink(nullptr);
    EXPECT_EQ(langs.Current(), 1);
    ASSERT_EQ(target.applied, std::vector<std::string>{"zh_CN"});
    EXPECT_EQ(store.ReadDword(SettingsStore::ProductKey(), "LANGUAGE").value_or(0), 2052u)
        << "the key did not exist; it is made so the choice is remembered";
    EXPECT_NE(std::find(lines.begin(), lines.end(), "写成功！"), lines.end());

    int writes = store.WriteCount();
    int changes = target.changes;
    langs.ApplyLanguage(1);
    EXPECT_EQ(store.WriteCount(), writes) << "the current language again writes nothing";
    EXPECT_EQ(target.changes, changes);
    EXPECT_EQ(target.applied.size(), 1u);
}

TEST_F(LanguagesTest, FontsAreRebuiltOnlyByTheRule) {
    EXPECT_FALSE(NeedsFontRebuild(3, 4));
    EXPECT_TRUE(NeedsFontRebuild(3, 0));
    EXPECT_TRUE(NeedsFontRebuild(-1, 5));
    EXPECT_TRUE(NeedsFontRebuild(15, 4));
    EXPECT_TRUE(NeedsFontRebuild(4, 2));
    EXPECT_FALSE(NeedsFontRebuild(1, 3));

    SettingsStore store = Store();
    FakeTarget target;
    Languages langs(store, List(), target);
    langs.ApplyLanguage(3);
    EXPECT_EQ(target.rebuilds, 1) << "the first language always builds the fonts";
    langs.ApplyLanguage(4);
    EXPECT_EQ(target.rebuilds, 1) << "3 -> 4 keeps them";
    langs.ApplyLanguage(3);
    langs.ApplyLanguage(0);
    EXPECT_EQ(target.rebuilds, 2) << "3 -> 0 rebuilds";
}

TEST_F(LanguagesTest, AnIndexOutsideTheListKeepsTheTextsAndStoresNothing) {
    SettingsStore store = Store();
    FakeTarget target;
    Languages langs(store, List(), target);
    langs.ApplyLanguage(7);
    EXPECT_EQ(langs.Current(), 7);
    EXPECT_TRUE(target.applied.empty());
    EXPECT_EQ(store.WriteCount(), 0);
    EXPECT_EQ(target.changes, 1);
}
