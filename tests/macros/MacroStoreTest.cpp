#include "macros/MacroStore.h"

#include "profiles/FullDisk.h" // the test helper beside the profile tests
#include "profiles/ProfileFolders.h"
#include "profiles/json/JsonFile.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace nk7x;

namespace {

std::string ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// "YYYY_MM_DD_hh_mm_ss_mmm"
bool IsTimeStampName(const std::string& s) {
    const std::string shape = "dddd_dd_dd_dd_dd_dd_ddd";
    if (s.size() != shape.size())
        return false;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(s[i])) : s[i] != '_')
            return false;
    return true;
}

std::vector<std::string> FolderEntries(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class MacroStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_root =
            fs::temp_directory_path() / ("nk7x-macros-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(m_root);
        fs::create_directories(m_root);
        ::setenv("XDG_DATA_HOME", m_root.c_str(), 1);
        SetJsonWriteSync(false);
        m_folder = KindFolder(DeviceFamily::Keyboard);
        ASSERT_FALSE(m_folder.empty());
        m_store = std::make_unique<MacroStore>(m_folder);
    }
    void TearDown() override {
        SetJsonWriteSync(true);
        ::unsetenv("XDG_DATA_HOME");
        fs::remove_all(m_root);
    }

    // An index file with these names and made-up identifiers.
    void WriteIndex(const std::vector<std::string>& names) {
        Json::Value doc(Json::objectValue);
        doc["MacroInfo"] = Json::Value(Json::arrayValue);
        for (std::size_t i = 0; i < names.size(); ++i) {
            Json::Value e;
            e["MacroName"] = names[i];
            e["Guid"] = "2020_01_01_00_00_00_" + std::to_string(100 + i);
            doc["MacroInfo"].append(e);
        }
        ASSERT_EQ(WriteJson(m_store->IndexPath(), doc), 1);
    }

    MacroInfo CreateOne() {
        MacroInfo info;
        EXPECT_EQ(m_store->Create(info), MacroResult::Ok);
        return info;
    }

    fs::path m_root;
    std::string m_folder;
    std::unique_ptr<MacroStore> m_store;
};

const std::vector<MacroEvent> kShiftA = {
    {true, 9, 0x02, 120}, {true, 10, 0x04, 80}, {false, 10, 0x04, 95}, {false, 9, 0x02, 0}};

} // namespace

TEST_F(MacroStoreTest, CreateInEmptyFolderWritesOnlyTheIndex) {
    EXPECT_TRUE(m_store->LoadIndex().empty());
    MacroInfo info = CreateOne();
    EXPECT_EQ(info.name, "macro_1");
    EXPECT_TRUE(IsTimeStampName(info.guid)) << info.guid;
    EXPECT_EQ(m_store->LoadIndex(), std::vector<MacroInfo>{info});
    EXPECT_EQ(FolderEntries(m_folder), std::vector<std::string>{"macro.config"});
    EXPECT_TRUE(m_store->LoadEvents(info.guid).empty()); // never saved: no events
}

TEST_F(MacroStoreTest, CreateTakesTheSmallestFreeNumberIgnoringCase) {
    WriteIndex({"macro_1", "MACRO_3"});
    EXPECT_EQ(CreateOne().name, "macro_2");
    EXPECT_EQ(CreateOne().name, "macro_4");
    auto names = m_store->LoadNames();
    EXPECT_EQ(names, (std::vector<std::string>{"macro_1", "MACRO_3", "macro_2", "macro_4"}));
}

TEST_F(MacroStoreTest, FiftyMacrosAtMostAndNoFileChangesBeyond) {
    std::set<std::string> guids;
    for (int i = 0; i < 50; ++i)
        guids.insert(CreateOne().guid);
    EXPECT_EQ(guids.size(), 50u) << "macros made within one millisecond must not share a file";
    const std::string before = ReadBytes(m_store->IndexPath());
    const auto entriesBefore = FolderEntries(m_folder);

    MacroInfo none;
    EXPECT_EQ(m_store->Create(none), MacroResult::ListFull);
    EXPECT_TRUE(none.name.empty());

    const fs::path source = m_root / "other.mac";
    WriteBytes(source, R"({"MacroName":"x","Guid":"y","Events":[],"Version":64})");
    EXPECT_EQ(m_store->Import(source.string(), none), MacroResult::ListFull);

    EXPECT_EQ(ReadBytes(m_store->IndexPath()), before);
    EXPECT_EQ(FolderEntries(m_folder), entriesBefore);
    EXPECT_EQ(m_store->LoadIndex().size(), 50u);
}

TEST_F(MacroStoreTest, RenameRules) {
    CreateOne();
    MacroInfo second = CreateOne();
    ASSERT_EQ(m_store->Save(second, kShiftA), MacroResult::Ok);
    const std::string index = ReadBytes(m_store->IndexPath());
    const std::string macro = ReadBytes(m_store->MacroPath(second.guid));

    // The comparison ignores case and includes the macro itself.
    EXPECT_EQ(m_store->Rename(1, "Macro_2"), MacroResult::DuplicateName);
    EXPECT_EQ(m_store->Rename(1, "MACRO_1"), MacroResult::DuplicateName);
    EXPECT_EQ(m_store->Rename(1, "   "), MacroResult::BlankName);
    EXPECT_EQ(m_store->Rename(1, ""), MacroResult::BlankName);
    EXPECT_EQ(m_store->Rename(1, std::string(kMaxMacroNameBytes + 1, 'n')), MacroResult::NameTooLong);
    EXPECT_EQ(m_store->Rename(2, "Fresh"), MacroResult::NoSuchMacro);
    EXPECT_EQ(m_store->Rename(-1, "Fresh"), MacroResult::NoSuchMacro);
    EXPECT_EQ(ReadBytes(m_store->IndexPath()), index);
    EXPECT_EQ(ReadBytes(m_store->MacroPath(second.guid)), macro);

    // Stored untrimmed; the macro file keeps its old name and the identifier stays.
    EXPECT_EQ(m_store->Rename(1, "  Shift A "), MacroResult::Ok);
    auto list = m_store->LoadIndex();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].name, "  Shift A ");
    EXPECT_EQ(list[1].guid, second.guid);
    EXPECT_EQ(ReadBytes(m_store->MacroPath(second.guid)), macro);
    EXPECT_EQ(LoadJson(m_store->MacroPath(second.guid))["MacroName"].asString(), "macro_2");
}

TEST_F(MacroStoreTest, DeleteShiftsLaterMacrosDown) {
    MacroInfo a = CreateOne(), b = CreateOne(), c = CreateOne();
    for (const MacroInfo* m : {&a, &b, &c})
        ASSERT_EQ(m_store->Save(*m, kShiftA), MacroResult::Ok);
    EXPECT_EQ(m_store->Delete(1), MacroResult::Ok);
    EXPECT_EQ(m_store->LoadIndex(), (std::vector<MacroInfo>{a, c}));
    EXPECT_FALSE(fs::exists(m_store->MacroPath(b.guid)));
    EXPECT_TRUE(fs::exists(m_store->MacroPath(a.guid)));
    EXPECT_EQ(m_store->LoadEvents(c.guid), kShiftA);
    EXPECT_EQ(m_store->Delete(2), MacroResult::NoSuchMacro);
    EXPECT_EQ(m_store->Delete(-1), MacroResult::NoSuchMacro);
}

TEST_F(MacroStoreTest, SaveAndLoadEvents) {
    MacroInfo info = CreateOne();
    ASSERT_EQ(m_store->Save(info, kShiftA), MacroResult::Ok);
    Json::Value doc = LoadJson(m_store->MacroPath(info.guid));
    EXPECT_EQ(doc["Version"].asInt(), 64);
    EXPECT_EQ(doc["Guid"].asString(), info.guid);
    EXPECT_EQ(doc["MacroName"].asString(), "macro_1");
    ASSERT_EQ(doc["Events"].size(), 4u);
    EXPECT_EQ(doc["Events"][0]["Delay"], Json::Value("120"));
    EXPECT_EQ(m_store->LoadEvents(info.guid), kShiftA);

    // A macro without events has no "Events" member and loads empty.
    ASSERT_EQ(m_store->Save(info, {}), MacroResult::Ok);
    doc = LoadJson(m_store->MacroPath(info.guid));
    EXPECT_FALSE(doc.isMember("Events"));
    EXPECT_EQ(doc["Version"].asInt(), 64);
    EXPECT_TRUE(m_store->LoadEvents(info.guid).empty());
}

TEST_F(MacroStoreTest, IntegerDelaysLoadLikeStringsAndSaveAsStrings) {
    MacroInfo info = CreateOne();
    WriteBytes(m_store->MacroPath(info.guid),
               R"({"MacroName":"macro_1","Guid":")" + info.guid + R"(","Version":64,
      "Events":[{"Action":"down","Button":4,"Type":10,"Delay":0},
                {"Button":4,"Type":10,"Action":"up","Delay":"70000"},
                {"Action":"down","Button":1,"Type":1,"Delay":250}]})");
    auto events = m_store->LoadEvents(info.guid);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0], (MacroEvent{true, 10, 4, 0}));
    EXPECT_EQ(events[1], (MacroEvent{false, 10, 4, 65535}));
    EXPECT_EQ(events[2], (MacroEvent{true, 1, 1, 250}));
    ASSERT_EQ(m_store->Save(info, events), MacroResult::Ok);
    Json::Value doc = LoadJson(m_store->MacroPath(info.guid));
    for (const Json::Value& e : doc["Events"])
        EXPECT_TRUE(e["Delay"].isString());
    EXPECT_EQ(doc["Events"][2]["Delay"].asString(), "250");
    EXPECT_EQ(doc["Events"][1]["Delay"].asString(), "65535");
}

TEST_F(MacroStoreTest, SaveRowsTakesDelayTextsAndStopsAtAnEmptyRow) {
    MacroInfo info = CreateOne();
    std::vector<MacroRow> rows = {
        {MacroEvent{true, 10, 4, 0}, ""},       {MacroEvent{false, 10, 4, 0}, "120"},
        {MacroEvent{true, 4, 44, 0}, "999999"}, {std::nullopt, "5"},
        {MacroEvent{false, 4, 44, 0}, "7"},
    };
    ASSERT_EQ(m_store->SaveRows(info, rows), MacroResult::Ok);
    EXPECT_EQ(rows[0].delayText, "0");
    EXPECT_EQ(rows[1].delayText, "120");
    EXPECT_EQ(rows[2].delayText, "65535"); // a typed delay never exceeds what the device holds
    EXPECT_EQ(rows[2].event->delay, 65535);
    auto events = m_store->LoadEvents(info.guid);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[1].delay, 120);
    EXPECT_EQ(events[2].delay, 65535);
    Json::Value doc = LoadJson(m_store->MacroPath(info.guid));
    EXPECT_EQ(doc["Events"][0]["Delay"].asString(), "0");
}

TEST_F(MacroStoreTest, ExportImportRoundTrip) {
    MacroInfo original = CreateOne();
    ASSERT_EQ(m_store->Save(original, kShiftA), MacroResult::Ok);
    const fs::path exported = m_root / "shared" / "mine.mac";
    fs::create_directories(exported.parent_path());
    ASSERT_EQ(m_store->Export(original.guid, exported.string()), MacroResult::Ok);
    const std::string bytes = ReadBytes(m_store->MacroPath(original.guid));
    EXPECT_EQ(ReadBytes(exported), bytes);

    // The imported file's own name and identifier are not used for the list.
    Json::Value foreign = LoadJson(exported.string());
    foreign["MacroName"] = "Someone else's";
    foreign["Guid"] = "1999_12_31_23_59_59_999";
    ASSERT_EQ(WriteJson(exported.string(), foreign), 1);
    const std::string foreignBytes = ReadBytes(exported);

    MacroInfo imported;
    ASSERT_EQ(m_store->Import(exported.string(), imported), MacroResult::Ok);
    EXPECT_EQ(imported.name, "macro_2");
    EXPECT_NE(imported.guid, original.guid);
    EXPECT_EQ(ReadBytes(m_store->MacroPath(imported.guid)), foreignBytes);
    EXPECT_EQ(m_store->LoadIndex().back(), imported);
    EXPECT_EQ(m_store->LoadEvents(imported.guid), kShiftA);

    // The next save writes the list's name and identifier into the file.
    ASSERT_EQ(m_store->Save(imported, m_store->LoadEvents(imported.guid)), MacroResult::Ok);
    Json::Value saved = LoadJson(m_store->MacroPath(imported.guid));
    EXPECT_EQ(saved["MacroName"].asString(), "macro_2");
    EXPECT_EQ(saved["Guid"].asString(), imported.guid);
    EXPECT_EQ(m_store->LoadIndex().back().name, "macro_2");
}

TEST_F(MacroStoreTest, ImportAndExportFailures) {
    MacroInfo info = CreateOne();
    const std::string index = ReadBytes(m_store->IndexPath());
    MacroInfo none;
    EXPECT_EQ(m_store->Import((m_root / "missing.mac").string(), none), MacroResult::SourceUnreadable);
    EXPECT_EQ(m_store->Import(m_root.string(), none), MacroResult::SourceUnreadable); // a folder
    EXPECT_EQ(m_store->Import("", none), MacroResult::SourceUnreadable);
    EXPECT_EQ(ReadBytes(m_store->IndexPath()), index);

    // Never saved: there is no file to export.
    EXPECT_EQ(m_store->Export(info.guid, (m_root / "out.mac").string()), MacroResult::Failed);
    EXPECT_FALSE(fs::exists(m_root / "out.mac"));
    ASSERT_EQ(m_store->Save(info, kShiftA), MacroResult::Ok);
    EXPECT_EQ(m_store->Export(info.guid, (m_root / "no" / "such" / "dir.mac").string()), MacroResult::Failed);
    EXPECT_EQ(m_store->Export(info.guid, ""), MacroResult::Failed);
    EXPECT_EQ(m_store->Export("../" + info.guid, (m_root / "out.mac").string()), MacroResult::BadIdentifier);
    EXPECT_EQ(FolderEntries(m_root), (std::vector<std::string>{"Norla Keys NK-7X"}));
}

TEST_F(MacroStoreTest, MissingOrBrokenIndexReadsEmptyAndCreateStartsFresh) {
    for (const char* text :
         {"", "not json", "[1,2,3]", R"({"MacroInfo": {"a": 1}})", R"({"MacroInfo": "x"})", "null"}) {
        WriteBytes(m_store->IndexPath(), text);
        EXPECT_TRUE(m_store->LoadIndex().empty()) << text;
        MacroInfo info;
        ASSERT_EQ(m_store->Create(info), MacroResult::Ok) << text;
        EXPECT_EQ(info.name, "macro_1");
        EXPECT_EQ(m_store->LoadIndex(), std::vector<MacroInfo>{info}) << text;
    }
}

TEST_F(MacroStoreTest, OddEntriesKeepTheirPlaceButNameNoFile) {
    const fs::path outside = m_root / "victim.mac";
    WriteBytes(outside, "keep me");
    WriteBytes(m_store->IndexPath(), R"({"MacroInfo": [
        {"MacroName": "good", "Guid": "2020_01_01_00_00_00_001"},
        {"MacroName": "escape", "Guid": "../../../victim"},
        7,
        {"MacroName": 12, "Guid": ["x"]},
        {"MacroName": "abs", "Guid": "/etc/passwd"}
      ], "Other": true})");
    auto list = m_store->LoadIndex();
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list[0].guid, "2020_01_01_00_00_00_001");
    EXPECT_EQ(list[1].name, "escape");
    EXPECT_EQ(list[1].guid, "");
    EXPECT_EQ(list[2], MacroInfo{});
    EXPECT_EQ(list[3], MacroInfo{});
    EXPECT_EQ(list[4].guid, "");

    EXPECT_EQ(m_store->Save(list[1], kShiftA), MacroResult::BadIdentifier);
    EXPECT_EQ(m_store->Save(MacroInfo{"x", "../../../victim"}, kShiftA), MacroResult::BadIdentifier);
    EXPECT_TRUE(m_store->LoadEvents("../../../victim").empty());
    EXPECT_EQ(m_store->Delete(1), MacroResult::Ok);
    EXPECT_EQ(ReadBytes(outside), "keep me");

    // Members the program does not know survive a rewrite of the index.
    MacroInfo added;
    ASSERT_EQ(m_store->Create(added), MacroResult::Ok);
    Json::Value doc = LoadJson(m_store->IndexPath());
    EXPECT_TRUE(doc["Other"].asBool());
    EXPECT_EQ(doc["MacroInfo"].size(), 5u);
}

TEST_F(MacroStoreTest, MemberNamesWithNulCannotReplaceTheListOnRewrite) {
    // A name cut at its NUL on writing would come back as a second "MacroInfo" and win.
    WriteBytes(m_store->IndexPath(), std::string(R"({"MacroInfo\u0000x": [], "MacroInfo": [)") +
                                         R"({"MacroName": "a", "MacroName\u0000": 5, "Guid": "g1"}]})");
    ASSERT_EQ(m_store->LoadIndex().size(), 1u);
    MacroInfo added;
    ASSERT_EQ(m_store->Create(added), MacroResult::Ok);
    auto list = m_store->LoadIndex();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], (MacroInfo{"a", "g1"}));
    EXPECT_EQ(list[1], added);
}

TEST_F(MacroStoreTest, BrokenMacroFilesLoadWithoutEvents) {
    MacroInfo info = CreateOne();
    const std::string path = m_store->MacroPath(info.guid);
    for (const char* text : {"", "{", "[]", R"({"Events": {"0": 1}})", R"({"Events": "x"})"}) {
        WriteBytes(path, text);
        EXPECT_TRUE(m_store->LoadEvents(info.guid).empty()) << text;
    }
    // Unusable elements are left out; the usable ones keep their order.
    WriteBytes(path, R"({"Events": [null, {"Action":"down","Button":4,"Type":10,"Delay":"5"}, 3,
                                    {"Action":"up","Button":999,"Type":10}, {"Action":"up","Button":4,"Type":10}]})");
    auto events = m_store->LoadEvents(info.guid);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], (MacroEvent{true, 10, 4, 5}));
    EXPECT_EQ(events[1], (MacroEvent{false, 10, 4, 0}));
}

TEST_F(MacroStoreTest, WriteFailuresAreReportedAndChangeNothing) {
    // A folder that cannot exist: its path is taken by a plain file.
    const fs::path blocked = m_root / "blocked";
    WriteBytes(blocked, "x");
    MacroStore store(blocked.string());
    MacroInfo info;
    EXPECT_EQ(store.Create(info), MacroResult::Failed);
    EXPECT_TRUE(info.name.empty());
    EXPECT_EQ(store.Save(MacroInfo{"m", "2020_01_01_00_00_00_000"}, kShiftA), MacroResult::Failed);
    const fs::path source = m_root / "in.mac";
    WriteBytes(source, "{}");
    EXPECT_EQ(store.Import(source.string(), info), MacroResult::Failed);
    EXPECT_TRUE(store.LoadIndex().empty());
    EXPECT_EQ(ReadBytes(blocked), "x");
}

TEST_F(MacroStoreTest, OnAFullDiskEveryWriteFailsAndLeavesTheFilesAsTheyWere) {
    MacroInfo a = CreateOne(), b = CreateOne();
    ASSERT_EQ(m_store->Save(a, kShiftA), MacroResult::Ok);
    ASSERT_EQ(m_store->Save(b, kShiftA), MacroResult::Ok);
    const fs::path exported = m_root / "exported.mac";
    WriteBytes(exported, "an earlier export");
    const fs::path source = m_root / "source.mac";
    WriteBytes(source, ReadBytes(m_store->MacroPath(a.guid)));
    std::vector<MacroEvent> longer;
    for (int i = 0; i < 40; ++i)
        longer.insert(longer.end(), kShiftA.begin(), kShiftA.end());
    const auto before = nk7x::test::FolderPicture(m_root);

    const std::vector<std::pair<const char*, std::function<MacroResult()>>> writes = {
        {"save", [&] { return m_store->Save(a, longer); }},
        {"create",
         [&] {
             MacroInfo made;
             return m_store->Create(made);
         }},
        {"rename", [&] { return m_store->Rename(0, "a much longer name than before"); }},
        {"delete", [&] { return m_store->Delete(0); }},
        {"import",
         [&] {
             MacroInfo made;
             return m_store->Import(source.string(), made);
         }},
        {"export", [&] { return m_store->Export(b.guid, exported.string()); }},
    };
    for (const auto& [name, write] : writes) {
        SCOPED_TRACE(name);
        EXPECT_EQ(nk7x::test::WithFullDisk(0, write), MacroResult::Failed);
        EXPECT_EQ(nk7x::test::FolderPicture(m_root), before);
    }
    EXPECT_EQ(m_store->LoadEvents(a.guid), kShiftA);
}

TEST_F(MacroStoreTest, AnImportTheIndexCannotTakeLeavesNoMacroFileBehind) {
    for (int i = 0; i < 12; ++i)
        CreateOne();
    const fs::path source = m_root / "small.mac";
    WriteBytes(source, R"({"Version":64})");
    const std::size_t indexSize = ReadBytes(m_store->IndexPath()).size();
    ASSERT_GT(indexSize, 400u);
    const auto before = nk7x::test::FolderPicture(m_root);

    // Room for the macro file but not for the longer index.
    MacroInfo made;
    EXPECT_EQ(nk7x::test::WithFullDisk(indexSize / 2, [&] { return m_store->Import(source.string(), made); }),
              MacroResult::Failed);
    EXPECT_TRUE(made.name.empty());
    EXPECT_EQ(nk7x::test::FolderPicture(m_root), before);
}

TEST_F(MacroStoreTest, LoadAllFollowsIndexOrder) {
    MacroInfo a = CreateOne(), b = CreateOne();
    ASSERT_EQ(m_store->Save(b, kShiftA), MacroResult::Ok);
    auto all = m_store->LoadAll();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].info, a);
    EXPECT_TRUE(all[0].events.empty());
    EXPECT_EQ(all[1].info, b);
    EXPECT_EQ(all[1].events, kShiftA);
    EXPECT_TRUE(MacroStore(m_folder + "/nowhere").LoadAll().empty());
}
