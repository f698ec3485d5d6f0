// The stored update server address: what is accepted, what is refused, and that a refusal writes
// nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "platform/SettingsStore.h"
#include "update/UpdateServer.h"

using namespace nk7x;

namespace {

class UpdateServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() / ("nk7x-server-" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::string Path() const { return (m_dir / "settings.ini").string(); }

    std::filesystem::path m_dir;
};

} // namespace

TEST_F(UpdateServerTest, AddressesAreCheckedBeforeTheyAreStored) {
    for (const char* good :
         {"", "http://host/api/", "https://updates.example:8443/api", "http://127.0.0.1:9/"})
        EXPECT_TRUE(UsableUpdateServer(good)) << good;
    for (const char* bad : {"ftp://host/", "host/api/", "http://", "https:///api", "http://ho st/",
                            "http://a/\tb", "file:///etc/passwd", "javascript:alert(1)"})
        EXPECT_FALSE(UsableUpdateServer(bad)) << bad;

    SettingsStore store(Path());
    EXPECT_EQ(ReadUpdateServer(store), "");
    EXPECT_FALSE(WriteUpdateServer(store, "ftp://host/"));
    EXPECT_EQ(store.WriteCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(Path()));

    ASSERT_TRUE(WriteUpdateServer(store, "  http://host/api/ "));
    EXPECT_EQ(ReadUpdateServer(SettingsStore(Path())), "http://host/api/");
    // Clearing keeps the key and other values; it only empties the address.
    ASSERT_TRUE(store.WriteDword(SettingsStore::ProductKey(), "LANGUAGE", 1033));
    ASSERT_TRUE(WriteUpdateServer(store, ""));
    EXPECT_EQ(ReadUpdateServer(store), "");
    EXPECT_EQ(store.ReadDword(SettingsStore::ProductKey(), "LANGUAGE"), 1033u);
}

TEST_F(UpdateServerTest, TextValuesRefuseLineBreaksAndSurviveOtherWrites) {
    SettingsStore store(Path());
    const std::string key = SettingsStore::ProductKey();
    EXPECT_FALSE(store.WriteString(key, "A", "x")) << "the key does not exist yet";
    ASSERT_TRUE(store.CreateKey(key));
    EXPECT_FALSE(store.WriteString(key, "A", "one\ntwo"));
    EXPECT_FALSE(store.WriteString(key, "A=B", "x"));
    EXPECT_FALSE(store.WriteString(key, "", "x"));
    ASSERT_TRUE(store.WriteString(key, "A", "C:/a b/=c"));
    ASSERT_TRUE(store.WriteDword(key, "N", 7));
    EXPECT_EQ(store.ReadString(key, "A"), "C:/a b/=c");
    EXPECT_EQ(store.ReadString(key, "N"), "7");
    EXPECT_FALSE(store.ReadDword(key, "A").has_value());
    EXPECT_FALSE(store.ReadString(key, "missing").has_value());
    EXPECT_FALSE(store.ReadString("other", "A").has_value());
}
