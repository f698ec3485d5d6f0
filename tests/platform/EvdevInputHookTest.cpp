// The evdev input hook against a folder of FIFOs standing for device nodes: which nodes are read
// and grabbed, what the sink receives (keys as scan codes, auto-repeat as presses, mouse buttons
// only when recording), the lock keys passed on, the delayed grab while a key is held, devices
// going away, and the grabs released on Uninstall. The ioctls go through a fake device control.
#include "platform/linux/EvdevInputHook.h"

#include "support/Wait.h"

#include <gtest/gtest.h>
#include <linux/input.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace nk7x;
using nk7x::test::WaitUntil;

namespace {

std::string Base(const std::string& path) {
    return fs::path(path).filename().string();
}

class FakeControl final : public IEvdevDeviceControl {
  public:
    std::optional<EvdevDeviceInfo> Identify(int, const std::string& path) override {
        std::lock_guard<std::mutex> lock(m);
        identified.push_back(Base(path));
        auto it = devices.find(Base(path));
        if (it == devices.end())
            return std::nullopt;
        return it->second;
    }
    bool SetGrab(int, const std::string& path, bool grab) override {
        std::lock_guard<std::mutex> lock(m);
        if (grab && refuse.count(Base(path)))
            return false;
        grabs.emplace_back(Base(path), grab);
        return true;
    }
    std::vector<uint16_t> HeldKeys(int, const std::string& path) override {
        std::lock_guard<std::mutex> lock(m);
        return held[Base(path)];
    }

    std::vector<std::pair<std::string, bool>> Grabs() {
        std::lock_guard<std::mutex> lock(m);
        return grabs;
    }
    bool Grabbed(const std::string& name) {
        std::lock_guard<std::mutex> lock(m);
        bool on = false;
        for (const auto& g : grabs)
            if (g.first == name)
                on = g.second;
        return on;
    }

    std::mutex m;
    std::map<std::string, EvdevDeviceInfo> devices;
    std::map<std::string, std::vector<uint16_t>> held;
    std::map<std::string, int> refuse;
    std::vector<std::string> identified;
    std::vector<std::pair<std::string, bool>> grabs;
};

class FakeLockKeys final : public ILockKeyOutput {
  public:
    bool Open(std::string* why) override {
        std::lock_guard<std::mutex> lock(m);
        if (!canOpen) {
            *why = "no virtual keyboard here";
            return false;
        }
        open = true;
        return true;
    }
    void Send(uint16_t keyCode, bool down) override {
        std::lock_guard<std::mutex> lock(m);
        sent.emplace_back(keyCode, down);
    }
    void Close() override {
        std::lock_guard<std::mutex> lock(m);
        open = false;
    }
    std::vector<std::pair<uint16_t, bool>> Sent() {
        std::lock_guard<std::mutex> lock(m);
        return sent;
    }
    bool RelaysPointer() const override { return open && relays; }
    void Relay(uint16_t type, uint16_t code, int32_t value) override {
        std::lock_guard<std::mutex> lock(m);
        relayed.push_back({type, code, value});
    }
    std::vector<std::array<int32_t, 3>> Relayed() {
        std::lock_guard<std::mutex> lock(m);
        return relayed;
    }

    std::mutex m;
    bool canOpen = true;
    bool open = false;
    bool relays = false; // a virtual device with a pointer, as the uinput one
    std::vector<std::pair<uint16_t, bool>> sent;
    std::vector<std::array<int32_t, 3>> relayed;
};

// What the sink received, safe to look at from the test thread.
class Received {
  public:
    InputSink Sink() {
        return [this](const InputEvent& e) {
            std::lock_guard<std::mutex> lock(m_lock);
            m_events.push_back(e);
        };
    }
    std::vector<InputEvent> Events() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_events;
    }
    bool WaitFor(std::size_t count) {
        return WaitUntil([&] { return Events().size() >= count; });
    }

  private:
    std::mutex m_lock;
    std::vector<InputEvent> m_events;
};

class EvdevHookTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::signal(SIGPIPE, SIG_IGN); // a write to a FIFO whose reader is gone must not end the test
        static std::atomic<int> counter{0};
        m_folder =
            testing::TempDir() + "nk7x-evdev-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
        control = std::make_shared<FakeControl>();
        lockKeys = std::make_shared<FakeLockKeys>();
    }
    void TearDown() override {
        for (auto& [name, fd] : m_writers)
            ::close(fd);
        fs::remove_all(m_folder);
    }

    void AddNode(const std::string& name, std::optional<EvdevDeviceInfo> info) {
        ASSERT_EQ(::mkfifo((m_folder + "/" + name).c_str(), 0600), 0) << std::strerror(errno);
        if (info)
            control->devices[name] = *info;
    }
    static EvdevDeviceInfo Keyboard() { return EvdevDeviceInfo{true, false, "test keyboard"}; }
    static EvdevDeviceInfo Mouse() { return EvdevDeviceInfo{false, true, "test mouse"}; }

    EvdevHookOptions Options() { return EvdevHookOptions{m_folder, control, lockKeys}; }

    // The writing end of a node, which the hook must be reading already (else the open fails
    // rather than waiting). Writes then wait as a device node's reader would make them.
    int Writer(const std::string& name) {
        auto it = m_writers.find(name);
        if (it != m_writers.end())
            return it->second;
        const int fd = ::open((m_folder + "/" + name).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        EXPECT_GE(fd, 0) << name << " is not being read: " << std::strerror(errno);
        if (fd >= 0)
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        m_writers[name] = fd;
        return fd;
    }
    void CloseWriter(const std::string& name) {
        ::close(m_writers.at(name));
        m_writers.erase(name);
    }
    void Send(const std::string& name, uint16_t type, uint16_t code, int32_t value) {
        input_event ev{};
        ev.input_event_sec = 12;
        ev.input_event_usec = 345000;
        ev.type = type;
        ev.code = code;
        ev.value = value;
        ASSERT_EQ(::write(Writer(name), &ev, sizeof ev), static_cast<ssize_t>(sizeof ev));
    }
    void Key(const std::string& name, uint16_t code, int32_t value) {
        Send(name, EV_MSC, MSC_SCAN, 0x70004); // what a USB keyboard sends before each key
        Send(name, EV_KEY, code, value);
        Send(name, EV_SYN, SYN_REPORT, 0);
    }

    std::shared_ptr<FakeControl> control;
    std::shared_ptr<FakeLockKeys> lockKeys;
    std::string m_folder;
    std::map<std::string, int> m_writers;
};

} // namespace

TEST_F(EvdevHookTest, NothingToReadIsReportedClearly) {
    EvdevInputHook missing(EvdevHookOptions{m_folder + "/none", control, lockKeys});
    EXPECT_FALSE(missing.Install(HookMode::Record, [](const InputEvent&) {}));
    EXPECT_NE(missing.LastError().find("cannot be listed"), std::string::npos) << missing.LastError();
    EXPECT_FALSE(missing.Installed());

    EvdevInputHook empty(Options());
    EXPECT_FALSE(empty.Install(HookMode::Record, [](const InputEvent&) {}));
    EXPECT_NE(empty.LastError().find("no input devices"), std::string::npos) << empty.LastError();

    // A mouse alone is not enough: without a keyboard the window grab does better.
    AddNode("event0", Mouse());
    AddNode("event1", std::nullopt);
    EvdevInputHook mouseOnly(Options());
    EXPECT_FALSE(mouseOnly.Install(HookMode::Record, [](const InputEvent&) {}));
    EXPECT_NE(mouseOnly.LastError().find("no keyboard"), std::string::npos) << mouseOnly.LastError();
    EXPECT_TRUE(control->Grabs().empty());

    // The kernel's own calls find no input device in a FIFO.
    AddNode("event2", Keyboard());
    EvdevInputHook kernel(EvdevHookOptions{m_folder, nullptr, lockKeys});
    EXPECT_FALSE(kernel.Install(HookMode::Record, [](const InputEvent&) {}));
    EXPECT_NE(kernel.LastError().find("no keyboard"), std::string::npos) << kernel.LastError();
}

TEST_F(EvdevHookTest, KeysAndButtonsReachTheSinkAndGrabsEndWithUninstall) {
    AddNode("event0", Keyboard());
    AddNode("event1", Mouse());
    AddNode("event2", std::nullopt); // no input device
    AddNode("mouse0", Mouse());      // not an event node: never opened
    Received got;
    EvdevInputHook hook(Options());
    ASSERT_TRUE(hook.Install(HookMode::Record, got.Sink())) << hook.LastError();
    EXPECT_TRUE(hook.Installed());
    EXPECT_EQ(hook.Mode(), HookMode::Record);
    EXPECT_EQ(hook.Limitations(), "");
    EXPECT_TRUE(control->Grabbed("event0"));
    EXPECT_FALSE(control->Grabbed("event1")); // the window must still get clicks
    EXPECT_EQ(std::count(control->identified.begin(), control->identified.end(), "mouse0"), 0);

    Key("event0", KEY_A, 1);
    Key("event0", KEY_A, 2); // the kernel's auto-repeat
    Key("event0", KEY_A, 0);
    Key("event0", KEY_RIGHTCTRL, 1);
    Key("event0", KEY_VOLUMEUP, 1);
    ASSERT_TRUE(got.WaitFor(5));
    std::vector<InputEvent> e = got.Events();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(e[i].kind, InputEventKind::Key);
        EXPECT_EQ(e[i].scanCode, 0x1E);
        EXPECT_FALSE(e[i].extended);
        EXPECT_EQ(e[i].keyCode, KEY_A);
    }
    EXPECT_TRUE(e[0].down);
    EXPECT_TRUE(e[1].down);
    EXPECT_FALSE(e[2].down);
    EXPECT_EQ(e[0].timeMs, 12345);
    EXPECT_EQ(e[3].scanCode, 0x1D);
    EXPECT_TRUE(e[3].extended);
    EXPECT_EQ(e[4].scanCode, 0x30);
    EXPECT_TRUE(e[4].extended);

    Send("event1", EV_KEY, BTN_LEFT, 1);
    Send("event1", EV_REL, REL_X, 5);
    Send("event1", EV_KEY, BTN_LEFT, 0);
    Send("event1", EV_KEY, BTN_SIDE, 1);
    Send("event1", EV_KEY, BTN_EXTRA, 1);
    Send("event1", EV_KEY, BTN_MIDDLE, 1);
    Send("event1", EV_KEY, BTN_RIGHT, 0);
    ASSERT_TRUE(got.WaitFor(11));
    e = got.Events();
    ASSERT_EQ(e.size(), 11u);
    const std::pair<MouseButtonId, bool> want[] = {
        {MouseButtonId::Left, true},    {MouseButtonId::Left, false},  {MouseButtonId::Back, true},
        {MouseButtonId::Forward, true}, {MouseButtonId::Middle, true}, {MouseButtonId::Right, false}};
    for (std::size_t i = 0; i < std::size(want); ++i) {
        EXPECT_EQ(e[5 + i].kind, InputEventKind::MouseButton);
        EXPECT_EQ(e[5 + i].button, want[i].first) << i;
        EXPECT_EQ(e[5 + i].down, want[i].second) << i;
        EXPECT_FALSE(e[5 + i].hasPosition);
    }

    hook.Uninstall();
    EXPECT_FALSE(hook.Installed());
    EXPECT_FALSE(control->Grabbed("event0"));
    const auto grabs = control->Grabs();
    ASSERT_EQ(grabs.size(), 2u);
    EXPECT_EQ(grabs[1], std::make_pair(std::string("event0"), false));
    EXPECT_FALSE(lockKeys->open);
}

TEST_F(EvdevHookTest, KeyPickingSkipsButtonsAndAComboDeviceIsNotGrabbed) {
    AddNode("event0", Keyboard());
    AddNode("event1", EvdevDeviceInfo{true, true, "keyboard with touchpad"});
    Received got;
    EvdevInputHook hook(Options());
    ASSERT_TRUE(hook.Install(HookMode::KeyPick, got.Sink()));
    EXPECT_TRUE(control->Grabbed("event0"));
    EXPECT_FALSE(control->Grabbed("event1"));
    EXPECT_NE(hook.Limitations().find("keyboard with touchpad"), std::string::npos) << hook.Limitations();

    Send("event1", EV_KEY, BTN_LEFT, 1);
    Key("event1", KEY_B, 1);
    ASSERT_TRUE(got.WaitFor(1));
    const std::vector<InputEvent> e = got.Events();
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].kind, InputEventKind::Key);
    EXPECT_EQ(e[0].scanCode, 0x30);
}

// Where the virtual device carries a pointer, a keyboard that is also a mouse is taken like any
// keyboard: its keys reach no other program, and its movement, wheel and clicks go on through the
// virtual device so that the pointer still works (the stop button can be clicked).
TEST_F(EvdevHookTest, AComboDeviceIsGrabbedAndItsPointerPassedOnWhereItCanBe) {
    lockKeys->relays = true;
    AddNode("event0", Keyboard());
    AddNode("event1", EvdevDeviceInfo{true, true, "keyboard with touchpad"});
    Received got;
    EvdevInputHook hook(Options());
    ASSERT_TRUE(hook.Install(HookMode::Record, got.Sink()));
    EXPECT_TRUE(control->Grabbed("event0"));
    EXPECT_TRUE(control->Grabbed("event1"));
    EXPECT_EQ(hook.Limitations().find("keyboard with touchpad"), std::string::npos) << hook.Limitations();

    Send("event1", EV_REL, REL_X, 5);
    Send("event1", EV_SYN, SYN_REPORT, 0);
    Send("event1", EV_KEY, BTN_LEFT, 1);
    Send("event1", EV_SYN, SYN_REPORT, 0);
    Key("event1", KEY_B, 1);
    ASSERT_TRUE(got.WaitFor(2));
    ASSERT_TRUE(WaitUntil([&] { return lockKeys->Relayed().size() >= 5; })); // the key's report end too
    const std::vector<std::array<int32_t, 3>> relayed = lockKeys->Relayed();
    const std::vector<std::array<int32_t, 3>> want = {
        {EV_REL, REL_X, 5},
        {EV_SYN, SYN_REPORT, 0},
        {EV_KEY, BTN_LEFT, 1},
        {EV_SYN, SYN_REPORT, 0},
        {EV_SYN, SYN_REPORT, 0}}; // the key's report end goes too; the key itself does not
    EXPECT_EQ(relayed, want);
    const std::vector<InputEvent> e = got.Events();
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].kind, InputEventKind::MouseButton);
    EXPECT_EQ(e[1].scanCode, 0x30);
    hook.Uninstall();
    EXPECT_FALSE(control->Grabbed("event1"));
}

TEST_F(EvdevHookTest, LockKeysOfGrabbedKeyboardsArePassedOn) {
    AddNode("event0", Keyboard());
    AddNode("event1", EvdevDeviceInfo{true, true, "combo"});
    Received got;
    EvdevInputHook hook(Options());
    ASSERT_TRUE(hook.Install(HookMode::Record, got.Sink()));
    EXPECT_TRUE(lockKeys->open);
    Key("event0", KEY_CAPSLOCK, 1);
    Key("event0", KEY_CAPSLOCK, 2);
    Key("event0", KEY_CAPSLOCK, 0);
    Key("event0", KEY_NUMLOCK, 1);
    Key("event0", KEY_A, 1);
    ASSERT_TRUE(got.WaitFor(5));
    // The combo device is not grabbed: its lock key reaches the desktop by itself.
    Key("event1", KEY_SCROLLLOCK, 1);
    ASSERT_TRUE(got.WaitFor(6));
    const std::vector<std::pair<uint16_t, bool>> want = {
        {KEY_CAPSLOCK, true}, {KEY_CAPSLOCK, false}, {KEY_NUMLOCK, true}};
    EXPECT_EQ(lockKeys->Sent(), want);
    // And they are recorded like any key.
    const std::vector<InputEvent> e = got.Events();
    EXPECT_EQ(e[0].scanCode, 0x3A);
    EXPECT_EQ(e[3].scanCode, 0x45);
    EXPECT_TRUE(e[3].extended);
    EXPECT_EQ(e[5].scanCode, 0x46);
    hook.Uninstall();
    EXPECT_FALSE(lockKeys->open);
}

TEST_F(EvdevHookTest, WithoutAVirtualKeyboardLockKeysAreRecordedAndTheLimitSaid) {
    AddNode("event0", Keyboard());
    AddNode("event1", Mouse());
    Received got;
    // The real uinput output, at a path that does not exist.
    EvdevInputHook hook(EvdevHookOptions{m_folder, control, MakeUinputLockKeys(m_folder + "/uinput")});
    ASSERT_TRUE(hook.Install(HookMode::Record, got.Sink()));
    const std::string limits = hook.Limitations();
    EXPECT_NE(limits.find("Caps Lock"), std::string::npos) << limits;
    EXPECT_NE(limits.find(m_folder + "/uinput"), std::string::npos) << limits;
    EXPECT_TRUE(control->Grabbed("event0")); // other keys are still kept from other programs
    Key("event0", KEY_CAPSLOCK, 1);
    ASSERT_TRUE(got.WaitFor(1));
    EXPECT_EQ(got.Events()[0].scanCode, 0x3A);
}

TEST_F(EvdevHookTest, KeyboardHeldAtInstallIsGrabbedOnceAllKeysAreUp) {
    AddNode("event0", Keyboard());
    control->held["event0"] = {KEY_ENTER};
    Received got;
    EvdevInputHook hook(Options());
    ASSERT_TRUE(hook.Install(HookMode::KeyPick, got.Sink()));
    EXPECT_TRUE(control->Grabs().empty());
    Key("event0", KEY_A, 1);
    Key("event0", KEY_ENTER, 0);
    ASSERT_TRUE(got.WaitFor(2));
    EXPECT_TRUE(control->Grabs().empty()); // A is still down
    Key("event0", KEY_A, 0);
    ASSERT_TRUE(got.WaitFor(3));
    EXPECT_TRUE(control->Grabbed("event0"));
    hook.Uninstall();
    EXPECT_FALSE(control->Grabbed("event0"));
}

TEST_F(EvdevHookTest, GrabRefusedIsSaidAndKeysStillArrive) {
    AddNode("event0", Keyboard());
    control->refuse["event0"] = 1;
    Received got;
    EvdevInputHook hook(Options());
    ASSERT_TRUE(hook.Install(HookMode::Record, got.Sink()));
    EXPECT_NE(hook.Limitations().find("held by another program"), std::string::npos) << hook.Limitations();
    EXPECT_NE(hook.Limitations().find("no mouse"), std::string::npos) << hook.Limitations();
    EXPECT_FALSE(lockKeys->open); // nothing grabbed: the lock keys switch by themselves
    Key("event0", KEY_Z, 1);
    ASSERT_TRUE(got.WaitFor(1));
    EXPECT_EQ(got.Events()[0].scanCode, 0x2C);
}

TEST_F(EvdevHookTest, SplitEventsJoinAndAGoneDeviceLeavesTheOthersRunning) {
    AddNode("event0", Keyboard());
    AddNode("event1", Mouse());
    Received got;
    EvdevInputHook hook(Options());
    ASSERT_TRUE(hook.Install(HookMode::Record, got.Sink()));

    // Half an event, read by the hook before the rest is written.
    input_event ev{};
    ev.type = EV_KEY;
    ev.code = KEY_Q;
    ev.value = 1;
    const char* bytes = reinterpret_cast<const char*>(&ev);
    const std::size_t half = sizeof ev / 2;
    const int fd = Writer("event0");
    ASSERT_EQ(::write(fd, bytes, half), static_cast<ssize_t>(half));
    ASSERT_TRUE(WaitUntil([&] {
        int pending = -1;
        return ::ioctl(fd, FIONREAD, &pending) == 0 && pending == 0;
    }));
    EXPECT_TRUE(got.Events().empty());
    ASSERT_EQ(::write(fd, bytes + half, sizeof ev - half), static_cast<ssize_t>(sizeof ev - half));
    Key("event0", KEY_F1, 1);
    ASSERT_TRUE(got.WaitFor(2));
    EXPECT_EQ(got.Events()[0].scanCode, 0x10);
    EXPECT_EQ(got.Events()[1].scanCode, 0x3B);

    // The mouse is unplugged; the keyboard goes on.
    Send("event1", EV_KEY, BTN_LEFT, 1);
    ASSERT_TRUE(got.WaitFor(3));
    CloseWriter("event1");
    Key("event0", KEY_W, 1);
    ASSERT_TRUE(got.WaitFor(4));
    EXPECT_EQ(got.Events()[3].scanCode, 0x11);
    hook.Uninstall();
    EXPECT_FALSE(control->Grabbed("event0"));
}

TEST_F(EvdevHookTest, InstallAgainReplacesTheSink) {
    AddNode("event0", Keyboard());
    Received first;
    Received second;
    EvdevInputHook hook(Options());
    ASSERT_TRUE(hook.Install(HookMode::KeyPick, first.Sink()));
    Key("event0", KEY_A, 1);
    ASSERT_TRUE(first.WaitFor(1));
    ASSERT_TRUE(hook.Install(HookMode::RecordAfter, second.Sink()));
    EXPECT_EQ(hook.Mode(), HookMode::RecordAfter);
    // The grab was released and taken again.
    const auto grabs = control->Grabs();
    ASSERT_EQ(grabs.size(), 3u);
    EXPECT_FALSE(grabs[1].second);
    EXPECT_TRUE(grabs[2].second);
    // The writer stays open, so the node is the same pipe for the new reader.
    Key("event0", KEY_B, 1);
    ASSERT_TRUE(second.WaitFor(1));
    EXPECT_EQ(second.Events()[0].scanCode, 0x30);
    EXPECT_EQ(first.Events().size(), 1u);
}
