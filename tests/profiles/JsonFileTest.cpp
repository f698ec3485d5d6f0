#include "ProfileTestEnv.h"

#include "platform/DebugLog.h"
#include "profiles/json/JsonFile.h"
#include <cerrno>
#include <filesystem>

#include <csignal>
#include <regex>

#include "support/TestSupport.h"
#include <sys/resource.h>

#include <sys/stat.h>
#include <unistd.h>

namespace nk7x::test {
namespace {

class JsonFileTest : public ProfileTestEnv {};

TEST_F(JsonFileTest, ReadsWholeRegularFilesOnly) {
    const std::string path = Temp("a.json");
    const std::string text = std::string("{ \"k\" : \"\xe4\xb8\xad\" }\n") + std::string(1, '\0') + "tail";
    WriteText(path, text);
    EXPECT_EQ(ReadJsonText(path), text); // raw bytes, embedded NUL included

    EXPECT_EQ(ReadJsonText(Temp("missing.json")), "");
    EXPECT_EQ(ReadJsonText(m_root.string()), ""); // a folder
    ASSERT_EQ(::mkfifo(Temp("fifo").c_str(), 0600), 0);
    EXPECT_EQ(ReadJsonText(Temp("fifo")), ""); // must not block waiting for a writer
}

TEST_F(JsonFileTest, WritesTheReadLineOnEveryCall) {
    DebugCapture capture;
    const std::string path = Temp("b.json");
    WriteText(path, "{}");
    ReadJsonText(path);
    ReadJsonText(Temp("missing.json"));
    auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "readjsonFile 错误吗：：0");
    EXPECT_EQ(lines[1], "readjsonFile 错误吗：：" + std::to_string(ENOENT));

    capture.Clear();
    EXPECT_TRUE(LoadJson(Temp("missing.json")).isNull());
    lines = capture.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], Temp("missing.json")); // an empty read names the file
}

TEST_F(JsonFileTest, ParsesWithCommentsAndGivesNullForAnythingElse) {
    const std::string path = Temp("c.json");
    WriteText(path, "// profile\n{ \"a\" : 1, /* inline */ \"b\" : [ true ] }\n");
    Json::Value v = LoadJson(path);
    ASSERT_TRUE(v.isObject());
    EXPECT_EQ(v["a"].asInt(), 1);
    EXPECT_TRUE(v["b"][0].asBool());

    for (const std::string bad : {"", "{", "{\"a\":}", "\xff\xfe{}", "[1,2"}) {
        WriteText(path, bad);
        EXPECT_TRUE(LoadJson(path).isNull()) << bad;
    }
    // Nesting far beyond any profile is refused instead of running the parser off the stack.
    WriteText(path, std::string(100000, '[') + std::string(100000, ']'));
    EXPECT_TRUE(LoadJson(path).isNull());
    // A non-object root is still a document; the profile readers judge its shape.
    WriteText(path, "[1, 2]");
    EXPECT_TRUE(LoadJson(path).isArray());
}

TEST_F(JsonFileTest, StyledFormHasThreeSpaceIndentOneMemberPerLineAndAnExtraLineEnd) {
    Json::Value v(Json::objectValue);
    v["Device"][0]["LightInfo"]["Red"] = 255;
    v["Device"][0]["LightInfo"]["Blue"] = 0;
    v["profilename"] = "profile1";
    const std::string expected = "{\n"
                                 "   \"Device\" : [\n"
                                 "      {\n"
                                 "         \"LightInfo\" : {\n"
                                 "            \"Blue\" : 0,\n"
                                 "            \"Red\" : 255\n"
                                 "         }\n"
                                 "      }\n"
                                 "   ],\n"
                                 "   \"profilename\" : \"profile1\"\n"
                                 "}\n"
                                 "\n";
    EXPECT_EQ(StyledJsonText(v), expected);
    const std::string path = Temp("styled.json");
    ASSERT_EQ(WriteJson(path, v), 1);
    EXPECT_EQ(ReadText(path), expected);
    EXPECT_EQ(LoadJson(path), v); // and it reads back as written
}

TEST_F(JsonFileTest, ReplaceLeavesNoTemporaryAndKeepsPermissionsAndLinks) {
    const std::string path = Temp("p.Json");
    WriteText(path, "{\"old\":1}");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    Json::Value v;
    v["new"] = 2;
    ASSERT_EQ(WriteJson(path, v), 1);
    EXPECT_EQ(LoadJson(path), v);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // A profile reached through a symbolic link: the link stays, its target is replaced.
    const std::string link = Temp("link.Json");
    ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
    v["new"] = 3;
    ASSERT_EQ(WriteJson(link, v), 1);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(LoadJson(path)["new"].asInt(), 3);

    std::vector<std::string> expected{"data", "link.Json", "p.Json", "program"};
    EXPECT_EQ(Entries(m_root.string()), expected);
}

TEST_F(JsonFileTest, FailedWriteLeavesTheOldFileIntact) {
    const std::string path = Temp("keep.Json");
    const std::string old = "{\"profilename\":\"mine\"}";
    WriteText(path, old);
    Json::Value big(Json::objectValue);
    big["blob"] = std::string(64 * 1024, 'x');

    // A file-size limit makes the write fail midway, as a full disk would.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &previous), 0);
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const int result = WriteJson(path, big);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    ::sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadText(path), old);
    std::vector<std::string> expected{"data", "keep.Json", "program"};
    EXPECT_EQ(Entries(m_root.string()), expected); // the temporary is gone
}

TEST_F(JsonFileTest, FailsWithoutTouchingAnythingWhereNoFileCanBeMade) {
    Json::Value v(1);
    EXPECT_EQ(WriteJson("", v), 0);
    EXPECT_EQ(WriteJson(Temp("no/such/folder/x.Json"), v), 0);
    EXPECT_EQ(WriteJson(m_root.string(), v), 0); // a folder is never replaced
    EXPECT_TRUE(std::filesystem::is_directory(m_root));
}

TEST_F(JsonFileTest, ReadOnlyFolderKeepsTheOldFile) {
    Json::Value v(1);
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root";
    const std::string folder = Temp("ro");
    std::filesystem::create_directories(folder);
    WriteText(folder + "/x.Json", "{}");
    ASSERT_EQ(::chmod(folder.c_str(), 0500), 0);
    EXPECT_EQ(WriteJson(folder + "/x.Json", v), 0);
    EXPECT_EQ(ReadText(folder + "/x.Json"), "{}");
}

TEST(TimeStampName, FormatsTheLocalTimeWithMilliseconds) {
    EXPECT_EQ(FormatTimeStampName(2021, 3, 7, 9, 5, 1, 42), "2021_03_07_09_05_01_042");
    EXPECT_EQ(FormatTimeStampName(1999, 12, 31, 23, 59, 59, 999), "1999_12_31_23_59_59_999");

    std::time_t before = std::time(nullptr);
    const std::string name = MakeTimeStampName();
    std::smatch m;
    ASSERT_TRUE(
        std::regex_match(name, m, std::regex(R"((\d{4})_(\d\d)_(\d\d)_(\d\d)_(\d\d)_(\d\d)_(\d{3}))")))
        << name;
    std::tm local{};
    localtime_r(&before, &local);
    EXPECT_EQ(std::stoi(m[1]), local.tm_year + 1900);
    EXPECT_EQ(std::stoi(m[2]), local.tm_mon + 1);
}

} // namespace
} // namespace nk7x::test

namespace nk7x::test {

// What a write never does: put a file in place of a FIFO or a device node, or write through a link
// to one; and what the program never writes: a file larger than it would read back.
TEST(JsonFileLimits, NoWriteReplacesWhatIsNotARegularFileOrWhatCouldNotBeReadBack) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("nk7x-jsonlimits-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string fifo = (dir / "pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string link = (dir / "profile.Json").string();
    std::filesystem::create_symlink(fifo, link);
    Json::Value doc(Json::objectValue);
    doc["a"] = 1;
    errno = 0;
    EXPECT_EQ(WriteJson(link, doc), 0);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(WriteJson(fifo, doc), 0);
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the FIFO is still a FIFO";
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(WriteJson("/dev/null", doc), 0);
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));

    // A link to a regular file is followed: the link stays, the file gets the text.
    const std::string real = (dir / "real.Json").string();
    ASSERT_EQ(WriteJson(real, doc), 1);
    const std::string toReal = (dir / "link.Json").string();
    std::filesystem::create_symlink(real, toReal);
    doc["a"] = 2;
    ASSERT_EQ(WriteJson(toReal, doc), 1);
    EXPECT_EQ(LoadJson(real)["a"].asInt(), 2);
    ASSERT_EQ(::lstat(toReal.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    // Larger than what is read back: refused, the old file stays.
    Json::Value big(Json::objectValue);
    big["blob"] = std::string(kMaxJsonFileSize, 'x');
    errno = 0;
    EXPECT_EQ(WriteJson(real, big), 0);
    EXPECT_EQ(errno, EFBIG);
    EXPECT_EQ(LoadJson(real)["a"].asInt(), 2);
    std::filesystem::remove_all(dir);
}

} // namespace nk7x::test
