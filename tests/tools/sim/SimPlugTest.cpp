// Plugging the emulated keyboard in and out: its files, its descriptor, its connections.
#include <sys/socket.h>
#include <sys/un.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "tests/tools/sim/SimTestSupport.h"
#include "tools/sim/KeyboardDescriptor.h"

namespace nk7x::test {
namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(SimPlug, FilesAppearOnStartAndAllGoOnStop) {
    TempFolder folder;
    SimOptions o;
    o.folder = folder.Path();
    o.name = "kbdA";
    SimDevice device(o);
    EXPECT_TRUE(folder.Entries().empty());
    ASSERT_EQ(device.Start(), 1) << device.LastError();
    EXPECT_TRUE(device.IsPlugged());

    std::vector<std::string> names = folder.Entries();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{"kbdA-mi01.info", "kbdA-mi01.rdesc", "kbdA-mi01.sock", "kbdA.ctl"}));
    EXPECT_EQ(device.SocketPath(), folder.Path() + "/kbdA-mi01.sock");
    EXPECT_EQ(device.CommandPath(), "sim#vid_0c45&pid_0820&mi_01&col04#" + folder.Path() + "/kbdA-mi01.sock");
    EXPECT_EQ(device.NotificationPath(),
              "sim#vid_0c45&pid_0820&mi_01&col03#" + folder.Path() + "/kbdA-mi01.sock");

    std::map<std::string, std::string> info;
    std::istringstream lines(ReadText(device.InfoPath()));
    for (std::string line; std::getline(lines, line);) {
        const size_t eq = line.find('=');
        ASSERT_NE(eq, std::string::npos) << line;
        info[line.substr(0, eq)] = line.substr(eq + 1);
    }
    EXPECT_EQ(info["vendor"], "0x0c45");
    EXPECT_EQ(info["product"], "0x0820");
    EXPECT_EQ(info["version"], "0x0100");
    EXPECT_EQ(info["interface"], "1");
    EXPECT_FALSE(info["name"].empty());

    const std::string rdesc = ReadText(device.DescriptorPath());
    EXPECT_EQ(Bytes(rdesc.begin(), rdesc.end()), KeyboardInterfaceDescriptor());

    device.Stop();
    EXPECT_FALSE(device.IsPlugged());
    EXPECT_TRUE(folder.Entries().empty());
    device.Stop(); // twice is harmless
}

TEST(SimPlug, StopClosesConnectionsSoAWaitingReadEndsAtOnce) {
    TempFolder folder;
    SimOptions o;
    o.folder = folder.Path();
    SimDevice device(o);
    ASSERT_EQ(device.Start(), 1) << device.LastError();
    RawClient client(device.SocketPath());
    ASSERT_TRUE(client.IsConnected());
    ASSERT_TRUE(client.Exchange(Request(1)).has_value()); // the connection is served

    bool eof = false;
    std::atomic<int> readerId{0};
    std::thread reader([&] {
        readerId = CurrentThreadId();
        client.Receive(30000, &eof);
    });
    EXPECT_TRUE(WaitUntilBlocked(readerId)) << "the read never started waiting";
    const auto start = std::chrono::steady_clock::now();
    device.Stop();
    reader.join();
    EXPECT_TRUE(eof);
    // Well short of the read's own 30 s time-out.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3000));
    EXPECT_FALSE(RawClient(device.SocketPath()).IsConnected());
}

TEST(SimPlug, ASecondDeviceOfTheSameNameIsRefusedButLeftoversAreReplaced) {
    TempFolder folder;
    SimOptions o;
    o.folder = folder.Path();
    SimDevice first(o);
    ASSERT_EQ(first.Start(), 1);
    SimDevice second(o);
    EXPECT_EQ(second.Start(), 0);
    EXPECT_NE(second.LastError().find("already running"), std::string::npos) << second.LastError();
    EXPECT_TRUE(first.IsPlugged());
    EXPECT_TRUE(RawClient(first.SocketPath()).IsConnected());
    first.Stop();

    // A socket file nobody listens on (an emulator that was killed) is taken over.
    {
        const int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strcpy(addr.sun_path, first.SocketPath().c_str());
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        close(fd);
    }
    ASSERT_TRUE(FileExists(first.SocketPath()));
    SimDevice third(o);
    EXPECT_EQ(third.Start(), 1) << third.LastError();
    EXPECT_TRUE(RawClient(third.SocketPath()).IsConnected());
}

TEST(SimPlug, UnusableFolderAndNamesAreRefusedWithAReason) {
    TempFolder folder;
    const std::string plainFile = folder.Path() + "/not-a-folder";
    std::ofstream(plainFile) << "x";
    SimOptions o;
    o.folder = plainFile;
    SimDevice inFile(o);
    EXPECT_EQ(inFile.Start(), 0);
    EXPECT_FALSE(inFile.LastError().empty());

    for (const char* bad : {"", "../escape", "a/b", ".hidden"}) {
        SimOptions n;
        n.folder = folder.Path();
        n.name = bad;
        SimDevice device(n);
        EXPECT_EQ(device.Start(), 0) << bad;
        EXPECT_NE(device.LastError().find("name"), std::string::npos) << device.LastError();
    }
    for (int keys : {0, 256}) {
        SimOptions k;
        k.folder = folder.Path();
        k.keyCount = keys;
        SimDevice device(k);
        EXPECT_EQ(device.Start(), 0) << keys;
    }
    SimOptions f;
    f.folder = folder.Path();
    f.faults = "sideways";
    SimDevice badFaults(f);
    EXPECT_EQ(badFaults.Start(), 0);
    EXPECT_NE(badFaults.LastError().find("fault"), std::string::npos);
    // Nothing of the refused devices is left behind except the plain file.
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"not-a-folder"});
}

TEST(SimPlug, MissingFolderIsCreatedPrivate) {
    TempFolder folder;
    SimOptions o;
    o.folder = folder.Path() + "/run/nk7x-sim";
    SimDevice device(o);
    ASSERT_EQ(device.Start(), 1) << device.LastError();
    struct stat st {};
    ASSERT_EQ(stat(o.folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(SimPlug, UnplugKeepsControlAndMemoryAndStartPlugsBackIn) {
    TempFolder folder;
    SimOptions o;
    o.folder = folder.Path();
    SimDevice device(o);
    ASSERT_EQ(device.Start(), 1);
    {
        RawClient c(device.SocketPath());
        auto r = c.Exchange(Request(6, {0x00, 0x07}, 0));
        ASSERT_TRUE(r);
        EXPECT_TRUE(IsSuccessStatus((*r)[7]));
    }
    device.Unplug();
    EXPECT_FALSE(device.IsPlugged());
    EXPECT_FALSE(FileExists(device.SocketPath()));
    EXPECT_FALSE(FileExists(device.InfoPath()));
    EXPECT_FALSE(FileExists(device.DescriptorPath()));
    EXPECT_TRUE(FileExists(device.ControlPath()));

    ASSERT_EQ(device.Start(), 1) << device.LastError();
    RawClient c(device.SocketPath());
    auto r = c.Exchange(ReadRequest(5, 2, 0));
    ASSERT_TRUE(r);
    EXPECT_EQ((*r)[8], 0x00);
    EXPECT_EQ((*r)[9], 0x07); // written before the replug
}

// A small walk over the descriptor items: top-level collections with their report ids and the
// input and output bit totals per report id.
struct WalkedCollection {
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    std::map<uint8_t, unsigned> inputBits, outputBits;
};

std::vector<WalkedCollection> Walk(const Bytes& d) {
    std::vector<WalkedCollection> out;
    uint16_t page = 0;
    uint16_t usage = 0;
    unsigned size = 0, count = 0;
    uint8_t reportId = 0;
    int depth = 0;
    for (size_t i = 0; i < d.size();) {
        const uint8_t prefix = d[i];
        const size_t n = (prefix & 3) == 3 ? 4 : (prefix & 3);
        uint32_t v = 0;
        for (size_t k = 0; k < n && i + 1 + k < d.size(); ++k)
            v |= uint32_t(d[i + 1 + k]) << (8 * k);
        switch (prefix & 0xFC) {
        case 0x04:
            page = static_cast<uint16_t>(v);
            break;
        case 0x08:
            usage = static_cast<uint16_t>(v);
            break;
        case 0x74:
            size = v;
            break;
        case 0x94:
            count = v;
            break;
        case 0x84:
            reportId = static_cast<uint8_t>(v);
            break;
        case 0xA0:
            if (depth++ == 0)
                out.push_back({page, usage, {}, {}});
            break;
        case 0xC0:
            --depth;
            break;
        case 0x80:
            out.back().inputBits[reportId] += size * count;
            break;
        case 0x90:
            out.back().outputBits[reportId] += size * count;
            break;
        default:
            break;
        }
        i += 1 + n;
    }
    return out;
}

TEST(SimPlug, DescriptorHasTheFourCollectionsInOrder) {
    const std::vector<WalkedCollection> c = Walk(KeyboardInterfaceDescriptor());
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[0].usagePage, 0x01);
    EXPECT_EQ(c[0].usage, 0x80);
    EXPECT_EQ(c[0].inputBits.count(1), 1u);
    EXPECT_EQ(c[1].usagePage, 0x01);
    EXPECT_EQ(c[1].usage, 0x06);
    EXPECT_EQ(c[1].inputBits.count(2), 1u);
    EXPECT_EQ(c[2].usagePage, 0x0C);
    EXPECT_EQ(c[2].usage, 0x01);
    EXPECT_EQ(c[2].inputBits.at(3), 16u); // report 3 = id + 16-bit usage
    EXPECT_EQ(c[3].usagePage, 0xFF1C);
    EXPECT_EQ(c[3].usage, 0x92);
    EXPECT_EQ(c[3].inputBits.at(4), 63u * 8);
    EXPECT_EQ(c[3].outputBits.at(4), 63u * 8);
    for (const auto& col : c)
        for (const auto& [id, bits] : col.inputBits)
            EXPECT_EQ(bits % 8, 0u) << "report " << int(id) << " is not whole bytes";
}

} // namespace
} // namespace nk7x::test
