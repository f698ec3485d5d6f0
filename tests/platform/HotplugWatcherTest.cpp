// The hot-plug watcher: the device manager's monitor opens and can be waited on; the emulator's
// folder announces sockets made and deleted (and nothing else), also when the folder is made only
// after the watcher, or only after its parent.
#include "platform/HotplugWatcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace nk7x;
using namespace std::chrono_literals;

namespace {

constexpr auto kPatience = 3000ms; // an announcement is normally there at once

// True when one of the watcher's descriptors has input within `timeout`.
bool Readable(const IHotplugWatcher& w, std::chrono::milliseconds timeout) {
    std::vector<pollfd> fds;
    for (int fd : w.Fds())
        fds.push_back({fd, POLLIN, 0});
    return !fds.empty() && ::poll(fds.data(), fds.size(), static_cast<int>(timeout.count())) > 0;
}

// Waits for input, then drains it: what Drain made of it; false when nothing came.
bool Announced(IHotplugWatcher& w) {
    return Readable(w, kPatience) && w.Drain();
}

// Drains whatever is there and says whether anything was there at all: noise must arrive (so the
// check below is not empty) and must read as no plug.
bool NoiseOnly(IHotplugWatcher& w) {
    return Readable(w, kPatience) && !w.Drain();
}

// A listening socket file, as an emulated interface makes one.
class SocketFile {
  public:
    explicit SocketFile(const fs::path& path) : m_path(path) {
        m_fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
        m_ok = m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
               ::listen(m_fd, 4) == 0;
    }
    ~SocketFile() {
        if (m_fd >= 0)
            ::close(m_fd);
        ::unlink(m_path.c_str());
    }
    bool Ok() const { return m_ok; }

  private:
    fs::path m_path;
    int m_fd = -1;
    bool m_ok = false;
};

class HotplugWatcherTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "nk7x-hotplug-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        m_root = tmpl;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    std::unique_ptr<IHotplugWatcher> FolderOnly(const fs::path& folder) {
        HotplugSources s;
        s.hidraw = false;
        s.emulatorFolder = folder.string();
        std::string why;
        auto w = OpenHotplugWatcher(s, &why);
        EXPECT_TRUE(w->Ready()) << why;
        EXPECT_TRUE(why.empty()) << why;
        return w;
    }

    fs::path m_root;
};

} // namespace

TEST_F(HotplugWatcherTest, TheDeviceMonitorOpensAndCanBeWaitedOn) {
    HotplugSources s; // hidraw alone
    std::string why;
    auto w = OpenHotplugWatcher(s, &why);
    if (!w->Ready())
        GTEST_SKIP() << "no device manager monitor on this machine: " << why;
    ASSERT_EQ(w->Fds().size(), 1u);
    pollfd p{w->Fds()[0], POLLIN, 0};
    ASSERT_GE(::poll(&p, 1, 0), 0);
    EXPECT_EQ(p.revents & (POLLNVAL | POLLERR), 0) << "the monitor's descriptor is not a live socket";
    // Draining an empty monitor returns at once instead of blocking.
    const auto begin = std::chrono::steady_clock::now();
    w->Drain();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1000ms);
    EXPECT_FALSE(w->Retry()) << "nothing was left to watch";
}

TEST_F(HotplugWatcherTest, DefaultSourcesFollowTheEmulatorFolderVariable) {
    ::setenv("NK7X_SIM_DIR", m_root.c_str(), 1);
    HotplugSources s = DefaultHotplugSources();
    EXPECT_TRUE(s.hidraw);
    EXPECT_EQ(s.emulatorFolder, m_root.string());
    ::setenv("NK7X_SIM_DIR", "", 1);
    EXPECT_TRUE(DefaultHotplugSources().emulatorFolder.empty());
    ::unsetenv("NK7X_SIM_DIR");
    EXPECT_TRUE(DefaultHotplugSources().emulatorFolder.empty());
}

TEST_F(HotplugWatcherTest, SocketsMadeAndDeletedAreAnnouncedAndOtherFilesAreNot) {
    auto w = FolderOnly(m_root);
    ASSERT_EQ(w->Fds().size(), 1u);
    EXPECT_FALSE(Readable(*w, 0ms)) << "nothing happened yet";

    // The files an emulated interface writes beside its socket come first and are not a plug.
    std::ofstream(m_root / "kbd1-mi01.info") << "vendor=0x0c45\n";
    EXPECT_TRUE(NoiseOnly(*w));

    {
        SocketFile sock(m_root / "kbd1-mi01.sock");
        ASSERT_TRUE(sock.Ok());
        EXPECT_TRUE(Announced(*w)) << "a socket made";
        EXPECT_FALSE(Readable(*w, 0ms)) << "drained";
    }
    EXPECT_TRUE(Announced(*w)) << "a socket deleted";

    fs::remove(m_root / "kbd1-mi01.info");
    EXPECT_TRUE(NoiseOnly(*w));

    // A socket moved into place counts as made, moved away as deleted.
    {
        SocketFile sock(m_root / "staging");
        ASSERT_TRUE(sock.Ok());
        EXPECT_TRUE(NoiseOnly(*w));
        fs::rename(m_root / "staging", m_root / "kbd2-mi01.sock");
        EXPECT_TRUE(Announced(*w));
        fs::rename(m_root / "kbd2-mi01.sock", m_root / "staging");
        EXPECT_TRUE(Announced(*w));
    }
    EXPECT_TRUE(NoiseOnly(*w)); // "staging" deleted
    EXPECT_FALSE(w->Retry()) << "the folder is watched already";
}

TEST_F(HotplugWatcherTest, AFolderMadeLaterIsWatchedFromItsParentAndAgainAfterItWasRemoved) {
    const fs::path folder = m_root / "sim";
    auto w = FolderOnly(folder);

    // Other files in the parent are not the folder.
    std::ofstream(m_root / "unrelated") << "x";
    EXPECT_TRUE(NoiseOnly(*w));

    ASSERT_TRUE(fs::create_directory(folder));
    EXPECT_TRUE(Announced(*w)) << "the folder appeared, maybe with sockets in it";
    {
        SocketFile sock(folder / "kbd1-mi01.sock");
        ASSERT_TRUE(sock.Ok());
        EXPECT_TRUE(Announced(*w));
    }
    EXPECT_TRUE(Announced(*w));

    // Removed: whatever was in it has gone. Made again: watched again.
    fs::remove(folder);
    EXPECT_TRUE(Announced(*w));
    ASSERT_TRUE(fs::create_directory(folder));
    EXPECT_TRUE(Announced(*w));
    SocketFile sock(folder / "kbd1-mi01.sock");
    ASSERT_TRUE(sock.Ok());
    EXPECT_TRUE(Announced(*w));
}

TEST_F(HotplugWatcherTest, AFolderWhoseParentIsMissingTooIsPickedUpByRetry) {
    const fs::path folder = m_root / "a" / "sim";
    auto w = FolderOnly(folder);
    EXPECT_FALSE(w->Retry()) << "still missing";
    ASSERT_TRUE(fs::create_directories(folder));
    EXPECT_FALSE(Readable(*w, 0ms)) << "nothing watched the grandparent";
    EXPECT_TRUE(w->Retry()) << "the folder is there now";
    EXPECT_FALSE(w->Retry());
    SocketFile sock(folder / "kbd1-mi01.sock");
    ASSERT_TRUE(sock.Ok());
    EXPECT_TRUE(Announced(*w));
}
