// What the user stored survives a full disk and a killed process: every failed write is reported
// and leaves the files byte for byte as they were, the profile list in memory stays the one on disk,
// and a saver killed at any moment leaves each file whole, old or new.
#include "FullDisk.h"
#include "ProfileTestEnv.h"

#include "profiles/BasicProfileData.h"
#include "profiles/ProfileFolders.h"
#include "profiles/ProfileList.h"
#include "profiles/UnreadableFiles.h"
#include "profiles/json/JsonAccess.h"
#include "profiles/json/JsonFile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <random>
#include <thread>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace nk7x::test {
namespace {

// Limit used where only the larger file of an operation must fail: profile files stay below it,
// the seeded profile list stays above it (the fixture checks both).
constexpr rlim_t kListOnlyLimit = 700;

class FullDiskTest : public ProfileTestEnv {
  protected:
    void SetUp() override {
        ProfileTestEnv::SetUp();
        SetJsonWriteSync(false);
        WriteText(DefaultData("keyboard.Json"), R"({"Device":[{"LightMode":3}],"Extra":7})");
        m_folder = KindFolder(DeviceFamily::Keyboard);
        ASSERT_FALSE(m_folder.empty());
    }
    void TearDown() override {
        SetJsonWriteSync(true);
        ProfileTestEnv::TearDown();
    }

    std::string ListPath() const { return m_folder + "/ProfileList.ini"; }

    // A list of eight profiles with long names, each with its own file; the list is loaded into
    // `list` with the second profile current.
    void Seed(ProfileList& list) {
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder);
        Json::Value doc(Json::objectValue);
        for (int i = 0; i < 8; ++i) {
            Json::Value e(Json::objectValue);
            e["profilename"] = "profile with a long descriptive name number " + std::to_string(i);
            e["profileUUID"] = "2020_01_01_00_00_00_00" + std::to_string(i);
            e["profileislink"] = 0;
            e["profilelinkmame"] = "";
            doc["profilelist"].append(e);
            Json::Value p = LoadJson(DefaultData("keyboard.Json"));
            p["profilename"] = e["profilename"];
            p["profileUUID"] = e["profileUUID"];
            ASSERT_EQ(WriteJson(m_folder + "/" + e["profileUUID"].asString() + ".Json", p), 1);
        }
        doc["profileselect"] = 1;
        ASSERT_EQ(WriteJson(ListPath(), doc), 1);
        list.SetDeviceType(1);
        list.SetFolders(m_folder, DefaultProfilePath(DeviceFamily::Keyboard));
        ASSERT_EQ(list.LoadList(), ProfileResult::Done);
        ASSERT_EQ(list.GetSelectedIndex(), 1);
        for (const auto& [name, bytes] : FolderPicture(m_folder)) {
            if (name == "ProfileList.ini")
                ASSERT_GT(bytes.size(), 2 * kListOnlyLimit);
            else
                ASSERT_LT(bytes.size(), kListOnlyLimit / 2) << name;
        }
    }

    std::string m_folder;
};

TEST_F(FullDiskTest, TheWriterReportsWhyAndLeavesNothingBehind) {
    const std::string path = Temp("keep.Json");
    WriteText(path, "{\"old\":1}");
    const auto before = FolderPicture(m_root);
    Json::Value big(Json::objectValue);
    big["blob"] = std::string(10000, 'x');

    int error = 0;
    const int result = WithFullDisk(4096, [&] {
        const int r = WriteJson(path, big);
        error = errno;
        return r;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(FolderPicture(m_root), before);

    // A file that did not exist yet does not appear, not even empty.
    EXPECT_EQ(WithFullDisk(0, [&] { return WriteJson(Temp("new.Json"), big); }), 0);
    EXPECT_FALSE(std::filesystem::exists(Temp("new.Json")));
    EXPECT_EQ(Entries(m_root.string()), (std::vector<std::string>{"data", "keep.Json", "program"}));
}

TEST_F(FullDiskTest, AProfileSaveThatDoesNotFitKeepsTheFile) {
    const std::string path = m_folder + "/profile.Json";
    WriteText(path, R"({"profilename":"mine","Device":[{"LightMode":1,"Keep":"this"}]})");
    CBasicProfiledata data(DefaultData("keyboard.Json"));
    data.SetProfilePath(path);
    data.LoadFromFile(path);
    Json::Value edited = data.GetProfileValue();
    edited["Blob"] = std::string(8000, 'z');
    data.SetProfileValue(edited);
    const auto before = FolderPicture(m_root);

    EXPECT_EQ(WithFullDisk(1024, [&] { return data.Save(); }), 0);
    EXPECT_EQ(FolderPicture(m_root), before);
    // With room again the same save goes through.
    EXPECT_EQ(data.Save(), 1);
    EXPECT_EQ(LoadJson(path)["Device"][0]["Blob"].asString().size(), 8000u);
}

TEST_F(FullDiskTest, AnUnreadableProfileIsNeverReplacedOnlyMovedAside) {
    const std::string path = m_folder + "/profile.Json";
    const std::string broken = "{\"profilename\":\"mine\", half written by another program";
    WriteText(path, broken);
    (void)TakeUnreadableFileNotices();
    CBasicProfiledata data(DefaultData("keyboard.Json"));
    data.SetProfilePath(path);

    // Even on a full disk: moving a name aside takes no room, and the default waits for room.
    Json::Value loaded = WithFullDisk(0, [&] { return data.LoadFromFile(path); });
    EXPECT_EQ(loaded["LightMode"].asInt(), 3); // the page still gets the default profile
    const std::vector<UnreadableFileNotice> told = TakeUnreadableFileNotices();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(ReadText(told[0].keptAs), broken);
    EXPECT_EQ(data.Save(), 1);
    EXPECT_EQ(LoadJson(path)["Device"][0]["LightMode"].asInt(), 3);
    EXPECT_EQ(ReadText(told[0].keptAs), broken) << "the user's text stays where it was put";
}

struct ListOperation {
    const char* name;
    std::function<ProfileResult(ProfileList&)> run;
    bool profileFileFirst; // writes a profile file before the list: the list-only limit applies
    bool listOnly;         // writes only the list: the list-only limit applies as well
};

TEST_F(FullDiskTest, AProfileListChangeThatCannotBeStoredChangesNothing) {
    const std::string source = Temp("import.json");
    WriteText(source, R"({"profilename":"brought along","profileUUID":"x","Device":[{"LightMode":8}]})");
    const std::string exported = Temp("export.json");
    WriteText(exported, "{\"exported\":\"earlier\"}\n");

    const std::vector<ListOperation> operations = {
        {"select", [](ProfileList& l) { return l.SelectProfile(4); }, false, true},
        {"add", [](ProfileList& l) { return l.AddProfile(); }, true, false},
        {"copy", [](ProfileList& l) { return l.CopyProfile(); }, true, false},
        {"delete", [](ProfileList& l) { return l.DeleteProfile(); }, false, true},
        {"rename", [](ProfileList& l) { return l.RenameProfile("renamed"); }, true, false},
        {"import", [&](ProfileList& l) { return l.ImportProfile(source); }, true, false},
        {"export", [&](ProfileList& l) { return l.ExportProfile(exported); }, false, false},
        {"reset", [](ProfileList& l) { return l.ResetProfile(); }, false, false},
    };
    for (const rlim_t limit : {rlim_t{0}, kListOnlyLimit}) {
        for (const ListOperation& op : operations) {
            if (limit != 0 && !op.profileFileFirst && !op.listOnly)
                continue;
            SCOPED_TRACE(std::string(op.name) + " with files limited to " + std::to_string(limit) + " bytes");
            ProfileList list;
            Seed(list);
            const auto before = FolderPicture(m_root);
            const std::vector<std::string> names = list.Names();
            const std::string current = list.GetSelectedUUID();

            EXPECT_EQ(WithFullDisk(limit, [&] { return op.run(list); }), ProfileResult::WriteFailed);
            EXPECT_EQ(FolderPicture(m_root), before);
            // Memory is what the disk holds: no profile the list file lacks, no lost one.
            EXPECT_EQ(list.Names(), names);
            EXPECT_EQ(list.ListDocument(), LoadJson(ListPath()));
            if (std::string(op.name) != "select") {
                EXPECT_EQ(list.GetSelectedUUID(), current);
            }
            ProfileList again;
            again.SetFolders(m_folder, DefaultProfilePath(DeviceFamily::Keyboard));
            ASSERT_EQ(again.LoadList(), ProfileResult::Done);
            EXPECT_EQ(again.Names(), names);
        }
    }
}

TEST_F(FullDiskTest, TheSelectionFollowsTheUserEvenWhenItCannotBeStored) {
    ProfileList list;
    Seed(list);
    EXPECT_EQ(WithFullDisk(0, [&] { return list.SelectProfile(5); }), ProfileResult::WriteFailed);
    EXPECT_EQ(list.GetSelectedIndex(), 5);
    EXPECT_EQ(list.GetSelectedUUID(), list.UuidAt(5));
    EXPECT_EQ(JsonInt(LoadJson(ListPath()), "profileselect", -1), 1);
    // The next change that can be written stores the list as memory has it.
    EXPECT_EQ(list.SelectProfile(5), ProfileResult::Done);
    EXPECT_EQ(JsonInt(LoadJson(ListPath()), "profileselect", -1), 5);
    EXPECT_EQ(ProfileList::RenameMessageKey(ProfileResult::WriteFailed), kMsgSaveFailed);
}

TEST_F(FullDiskTest, AFirstStartOnAFullDiskListsNothingAndLeavesNothing) {
    // A limit between the sizes of the first profile file and of the first list lets the profile
    // file be written and the list fail.
    Json::Value profile = LoadJson(DefaultData("keyboard.Json"));
    profile["profilename"] = "profile1";
    profile["profileUUID"] = "2020_01_01_00_00_00_000";
    Json::Value listDoc(Json::objectValue);
    listDoc["profilelist"][0]["profilename"] = "profile1";
    listDoc["profilelist"][0]["profileUUID"] = "2020_01_01_00_00_00_000";
    listDoc["profilelist"][0]["profileislink"] = 0;
    listDoc["profilelist"][0]["profilelinkmame"] = "";
    listDoc["profileselect"] = 0;
    const std::size_t profileSize = StyledJsonText(profile).size(), listSize = StyledJsonText(listDoc).size();
    ASSERT_LT(profileSize + 4, listSize);
    for (const rlim_t limit : {rlim_t{0}, rlim_t{(profileSize + listSize) / 2}}) {
        SCOPED_TRACE(limit);
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder);
        ProfileList list;
        list.SetDeviceType(1);
        list.SetFolders(m_folder, DefaultProfilePath(DeviceFamily::Keyboard));
        EXPECT_EQ(WithFullDisk(limit, [&] { return list.LoadList(); }), ProfileResult::WriteFailed);
        EXPECT_EQ(list.Count(), 0);
        EXPECT_EQ(list.GetSelectedIndex(), -1);
        EXPECT_TRUE(Entries(m_folder).empty()) << "a profile file no list names was left";
        // With room again the list is made as usual.
        EXPECT_EQ(list.LoadList(), ProfileResult::Done);
        EXPECT_EQ(list.Names(), std::vector<std::string>{"profile1"});
        EXPECT_EQ(Entries(m_folder).size(), 2u);
    }
}

// ---- a saver killed at random moments ----

#ifdef NK7X_SAVE_LOOP

pid_t StartSaver(const std::filesystem::path& folder, const char* mode) {
    const std::string program = NK7X_SAVE_LOOP;
    const std::string where = folder.string();
    std::vector<char*> argv{const_cast<char*>(program.c_str()), const_cast<char*>(where.c_str()),
                            const_cast<char*>(mode), nullptr};
    pid_t pid = -1;
    if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    return pid;
}

int WaitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

void RunSaverOnce(const std::filesystem::path& folder, const char* mode) {
    const pid_t pid = StartSaver(folder, mode);
    ASSERT_GT(pid, 0);
    const int status = WaitFor(pid);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    ASSERT_EQ(WEXITSTATUS(status), 0) << "the saver failed a write in " << folder;
}

bool IsTemporary(const std::string& name) {
    return name.find(".tmp-") != std::string::npos;
}

using KilledSaverTest = ProfileTestEnv;

TEST_F(KilledSaverTest, EveryFileIsLeftOldOrNewAndWhole) {
    const auto a = m_root / "a", b = m_root / "b", work = m_root / "work";
    RunSaverOnce(a, "a");
    RunSaverOnce(b, "b");
    // One whole run of the saver, timed: a slow build (sanitizers) or a loaded machine starts and
    // writes more slowly, and the kills must still land among the writes.
    const auto started = std::chrono::steady_clock::now();
    RunSaverOnce(work, "a");
    const int onceMs = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started)
            .count());
    const auto first = FolderPicture(a), second = FolderPicture(b);
    // The profile, the list and its two profiles, the macro index and the macro; all but the
    // profile that is not renamed differ between the two contents.
    ASSERT_EQ(first.size(), 6u);
    int differing = 0;
    for (const auto& [name, bytes] : first) {
        ASSERT_TRUE(second.count(name)) << name;
        differing += bytes != second.at(name);
    }
    ASSERT_EQ(differing, 5);
    ASSERT_EQ(FolderPicture(work), first);

    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> delayMs(1, std::max(40, 2 * onceMs));
    auto previous = first;
    int changedRounds = 0;
    int midWriteRounds = 0;
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        // Odd rounds leave out the waits for the disk: more rounds then end before the kill.
        const pid_t pid = StartSaver(work, round % 2 == 0 ? "loop" : "quick");
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs(random)));
        ASSERT_EQ(::kill(pid, SIGKILL), 0);
        const int status = WaitFor(pid);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the saver ended by itself with " << (WIFEXITED(status) ? WEXITSTATUS(status) : -1);

        auto now = FolderPicture(work);
        for (const auto& [name, bytes] : first) {
            const auto it = now.find(name);
            ASSERT_NE(it, now.end()) << name << " is gone";
            EXPECT_TRUE(it->second == bytes || it->second == second.at(name))
                << name << " is neither the old nor the new content (" << it->second.size() << " bytes)";
            Json::Value parsed;
            EXPECT_TRUE(ParseJsonText(it->second, parsed) && parsed.isObject()) << name;
        }
        // Anything else is a temporary the kill interrupted; the user's files never name it.
        bool interrupted = false;
        for (auto it = now.begin(); it != now.end();) {
            if (first.count(it->first)) {
                ++it;
                continue;
            }
            EXPECT_TRUE(IsTemporary(it->first)) << it->first;
            interrupted = true;
            it = now.erase(it);
        }
        // Temporaries of earlier rounds are removed, so each one found here is this round's.
        for (const auto& file : FolderPicture(work))
            if (IsTemporary(file.first))
                std::filesystem::remove(work / file.first);
        midWriteRounds += interrupted;
        if (now != previous)
            ++changedRounds;
        previous = std::move(now);
    }
    RecordProperty("rounds_with_changes", changedRounds);
    RecordProperty("rounds_killed_mid_write", midWriteRounds);
    EXPECT_GT(changedRounds, 0) << "the saver never got a write done before it was killed";

    // What the kills left does not stand in the way of the next save.
    RunSaverOnce(work, "a");
    auto after = FolderPicture(work);
    std::erase_if(after, [](const auto& file) { return IsTemporary(file.first); });
    EXPECT_EQ(after, first);
}

#endif

} // namespace
} // namespace nk7x::test
