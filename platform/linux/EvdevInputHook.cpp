#include "platform/linux/EvdevInputHook.h"

#include "platform/DebugLog.h"
#include "platform/input/ScanCodes.h"

#include <linux/input.h>
#include <linux/uinput.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace nk7x {

std::string DefaultInputFolder() {
    const char* folder = std::getenv("NK7X_INPUT_DIR");
    return folder && *folder ? std::string(folder) : std::string("/dev/input");
}

namespace {

constexpr std::size_t kBits = sizeof(unsigned long) * 8;

bool TestBit(const std::vector<unsigned long>& bits, unsigned bit) {
    return bit / kBits < bits.size() && ((bits[bit / kBits] >> (bit % kBits)) & 1UL) != 0;
}

class KernelEvdevControl final : public IEvdevDeviceControl {
  public:
    std::optional<EvdevDeviceInfo> Identify(int fd, const std::string&) override {
        std::vector<unsigned long> types(EV_MAX / kBits + 1, 0);
        if (::ioctl(fd, EVIOCGBIT(0, types.size() * sizeof(unsigned long)), types.data()) < 0 ||
            !TestBit(types, EV_KEY))
            return std::nullopt;
        std::vector<unsigned long> keys(KEY_MAX / kBits + 1, 0);
        if (::ioctl(fd, EVIOCGBIT(EV_KEY, keys.size() * sizeof(unsigned long)), keys.data()) < 0)
            return std::nullopt;
        EvdevDeviceInfo info;
        // Typing keys make a keyboard; a node with only media or power keys is left alone.
        for (unsigned k = KEY_ESC; k <= KEY_KPDOT && !info.keyboard; ++k)
            info.keyboard = TestBit(keys, k);
        info.mouseButtons = TestBit(keys, BTN_LEFT);
        char name[256] = {};
        if (::ioctl(fd, EVIOCGNAME(sizeof name - 1), name) >= 0)
            info.name = name;
        // Event times on the clock the rest of the program measures with.
        int clock = CLOCK_MONOTONIC;
        (void)::ioctl(fd, EVIOCSCLOCKID, &clock);
        return info;
    }

    bool SetGrab(int fd, const std::string&, bool grab) override {
        return ::ioctl(fd, EVIOCGRAB, grab ? 1 : 0) == 0;
    }

    std::vector<uint16_t> HeldKeys(int fd, const std::string&) override {
        std::vector<unsigned long> state(KEY_MAX / kBits + 1, 0);
        std::vector<uint16_t> held;
        if (::ioctl(fd, EVIOCGKEY(state.size() * sizeof(unsigned long)), state.data()) < 0)
            return held;
        for (unsigned k = 1; k < BTN_MISC; ++k)
            if (TestBit(state, k))
                held.push_back(static_cast<uint16_t>(k));
        return held;
    }
};

class UinputLockKeys final : public ILockKeyOutput {
  public:
    explicit UinputLockKeys(std::string path) : m_path(std::move(path)) {}
    ~UinputLockKeys() override { Close(); }
    UinputLockKeys(const UinputLockKeys&) = delete;
    UinputLockKeys& operator=(const UinputLockKeys&) = delete;

    bool Open(std::string* why) override {
        Close();
        m_fd = ::open(m_path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0) {
            if (why)
                *why = m_path + " cannot be opened: " + std::strerror(errno);
            return false;
        }
        uinput_setup setup{};
        setup.id.bustype = BUS_VIRTUAL;
        std::strncpy(setup.name, kLockKeysDeviceName, UINPUT_MAX_NAME_SIZE - 1);
        bool ok = ::ioctl(m_fd, UI_SET_EVBIT, EV_KEY) == 0 && ::ioctl(m_fd, UI_SET_EVBIT, EV_SYN) == 0 &&
                  ::ioctl(m_fd, UI_SET_KEYBIT, KEY_CAPSLOCK) == 0 &&
                  ::ioctl(m_fd, UI_SET_KEYBIT, KEY_NUMLOCK) == 0 &&
                  ::ioctl(m_fd, UI_SET_KEYBIT, KEY_SCROLLLOCK) == 0;
        // The pointer of a grabbed keyboard-and-mouse goes on through the same device.
        ok = ok && ::ioctl(m_fd, UI_SET_EVBIT, EV_REL) == 0;
        for (int code : {REL_X, REL_Y, REL_WHEEL, REL_HWHEEL, REL_WHEEL_HI_RES, REL_HWHEEL_HI_RES})
            ok = ok && ::ioctl(m_fd, UI_SET_RELBIT, code) == 0;
        for (int code = BTN_LEFT; code <= BTN_TASK && ok; ++code)
            ok = ::ioctl(m_fd, UI_SET_KEYBIT, code) == 0;
        ok = ok && ::ioctl(m_fd, UI_DEV_SETUP, &setup) == 0 && ::ioctl(m_fd, UI_DEV_CREATE) == 0;
        if (!ok) {
            if (why)
                *why = m_path + " does not make a virtual keyboard: " + std::strerror(errno);
            ::close(m_fd);
            m_fd = -1;
            return false;
        }
        return true;
    }

    void Send(uint16_t keyCode, bool down) override {
        if (m_fd < 0)
            return;
        input_event events[2] = {};
        events[0].type = EV_KEY;
        events[0].code = keyCode;
        events[0].value = down ? 1 : 0;
        events[1].type = EV_SYN;
        events[1].code = SYN_REPORT;
        (void)!::write(m_fd, events, sizeof events);
    }

    bool RelaysPointer() const override { return m_fd >= 0; }

    void Relay(uint16_t type, uint16_t code, int32_t value) override {
        if (m_fd < 0)
            return;
        input_event event{};
        event.type = type;
        event.code = code;
        event.value = value;
        (void)!::write(m_fd, &event, sizeof event);
    }

    void Close() override {
        if (m_fd < 0)
            return;
        (void)::ioctl(m_fd, UI_DEV_DESTROY);
        ::close(m_fd);
        m_fd = -1;
    }

  private:
    std::string m_path;
    int m_fd = -1;
};

bool IsLockKey(uint16_t code) {
    return code == KEY_CAPSLOCK || code == KEY_NUMLOCK || code == KEY_SCROLLLOCK;
}

// Keyboard keys, as opposed to the buttons of mice, joysticks and pens.
bool IsKeyboardKey(uint16_t code) {
    return (code > 0 && code < BTN_MISC) || (code >= KEY_OK && code < BTN_DPAD_UP);
}

// What a pointer sends: movement and wheels, mouse buttons, and the report's end.
bool IsPointerEvent(uint16_t type, uint16_t code) {
    return type == EV_REL || type == EV_SYN || (type == EV_KEY && code >= BTN_MOUSE && code <= BTN_TASK);
}

std::optional<MouseButtonId> MouseButtonOf(uint16_t code) {
    switch (code) {
    case BTN_LEFT:
        return MouseButtonId::Left;
    case BTN_RIGHT:
        return MouseButtonId::Right;
    case BTN_MIDDLE:
        return MouseButtonId::Middle;
    case BTN_SIDE:
    case BTN_BACK:
        return MouseButtonId::Back;
    case BTN_EXTRA:
    case BTN_FORWARD:
        return MouseButtonId::Forward;
    default:
        return std::nullopt;
    }
}

bool StartsWith(const char* name, const char* prefix) {
    return std::strncmp(name, prefix, std::strlen(prefix)) == 0;
}

std::string JoinLines(const std::string& a, const std::string& b) {
    return a.empty() ? b : a + "\n" + b;
}

} // namespace

std::unique_ptr<IEvdevDeviceControl> MakeKernelEvdevControl() {
    return std::make_unique<KernelEvdevControl>();
}

std::unique_ptr<ILockKeyOutput> MakeUinputLockKeys(std::string uinputPath) {
    return std::make_unique<UinputLockKeys>(std::move(uinputPath));
}

EvdevInputHook::EvdevInputHook(EvdevHookOptions options) : m_options(std::move(options)) {
    if (!m_options.control)
        m_options.control = MakeKernelEvdevControl();
    if (!m_options.lockKeys)
        m_options.lockKeys = MakeUinputLockKeys();
}

EvdevInputHook::~EvdevInputHook() {
    Uninstall();
}

std::string EvdevInputHook::Limitations() const {
    std::lock_guard<std::mutex> lock(m_limitationsLock);
    return m_limitations;
}

void EvdevInputHook::AddLimitation(const std::string& line) {
    DebugLog(line);
    std::lock_guard<std::mutex> lock(m_limitationsLock);
    m_limitations = JoinLines(m_limitations, line);
}

bool EvdevInputHook::Install(HookMode mode, InputSink sink) {
    Uninstall();
    m_lastError.clear();
    {
        std::lock_guard<std::mutex> lock(m_limitationsLock);
        m_limitations.clear();
    }
    const std::string& folder = m_options.deviceFolder;

    // Sorted, so that devices are opened (and events of equal time delivered) in a stable order.
    std::vector<std::string> nodes;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        m_lastError = "the input devices in " + folder + " cannot be listed: " + std::strerror(errno);
        DebugLog(m_lastError);
        return false;
    }
    while (const dirent* entry = ::readdir(dir))
        if (StartsWith(entry->d_name, "event"))
            nodes.push_back(folder + "/" + entry->d_name);
    ::closedir(dir);
    std::sort(nodes.begin(), nodes.end());

    int denied = 0;
    bool anyKeyboard = false;
    bool anyMouse = false;
    for (const std::string& path : nodes) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            if (errno == EACCES || errno == EPERM)
                ++denied;
            continue;
        }
        std::optional<EvdevDeviceInfo> info = m_options.control->Identify(fd, path);
        if (!info || (!info->keyboard && !info->mouseButtons) || info->name == kLockKeysDeviceName) {
            ::close(fd);
            continue;
        }
        Device device;
        device.fd = fd;
        device.path = path;
        device.info = std::move(*info);
        anyKeyboard |= device.info.keyboard;
        anyMouse |= device.info.mouseButtons;
        m_devices.push_back(std::move(device));
    }

    if (!anyKeyboard) {
        if (nodes.empty())
            m_lastError = "there are no input devices in " + folder;
        else if (denied > 0 && m_devices.empty())
            m_lastError =
                "no access to the input devices in " + folder + " (" + std::to_string(denied) +
                " refused): the user needs read access to them, e.g. as a member of the \"input\" group";
        else
            m_lastError = "no keyboard among the input devices that can be read in " + folder;
        DebugLog(m_lastError);
        CloseAll();
        return false;
    }

    m_stopFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_stopFd < 0) {
        m_lastError = std::string("the reader cannot be started: ") + std::strerror(errno);
        CloseAll();
        return false;
    }

    // With the keyboards taken, the lock keys would no longer switch: they are passed on through a
    // virtual device. Without one they are still recorded but do not switch until Uninstall.
    bool anyKeyboardToTake = false;
    for (const Device& device : m_devices)
        anyKeyboardToTake |= device.info.keyboard;
    std::string outputWhy;
    if (anyKeyboardToTake)
        m_lockKeysOpen = m_options.lockKeys->Open(&outputWhy);
    const bool relay = m_lockKeysOpen && m_options.lockKeys->RelaysPointer();

    // Keyboards are taken for this program alone. One with a key down now is taken when all its
    // keys are up: taken earlier, the desktop would never see that key released and repeat it.
    // A keyboard that is a mouse as well is taken only when its pointer can be passed on, so that
    // the window still gets its movement and clicks; otherwise its keys reach other programs too.
    bool anyGrabbed = false;
    for (Device& device : m_devices) {
        if (!device.info.keyboard)
            continue;
        if (device.info.mouseButtons) {
            if (!relay) {
                AddLimitation(device.info.name + " (" + device.path +
                              ") is a keyboard and mouse in one: its keys also reach other programs");
                continue;
            }
            device.relayPointer = true;
        }
        device.held = m_options.control->HeldKeys(device.fd, device.path);
        if (!device.held.empty()) {
            device.grabPending = true;
            anyGrabbed = true;
        } else if (m_options.control->SetGrab(device.fd, device.path, true)) {
            device.grabbed = true;
            anyGrabbed = true;
        } else {
            AddLimitation(device.info.name + " (" + device.path +
                          ") is held by another program: its keys also reach other programs");
        }
    }

    if (anyGrabbed && !m_lockKeysOpen)
        AddLimitation("Caps Lock, Num Lock and Scroll Lock are recorded but do not switch while recording (" +
                      outputWhy + ")");
    if (!anyGrabbed && m_lockKeysOpen) {
        m_options.lockKeys->Close();
        m_lockKeysOpen = false;
    }
    if (!anyMouse && HookModeWantsMouse(mode))
        AddLimitation("no mouse can be read in " + folder + ": mouse buttons are not recorded");

    m_mode = mode;
    m_sink = std::move(sink);
    m_thread = std::thread([this] { Run(); });
    return true;
}

void EvdevInputHook::Uninstall() {
    if (m_thread.joinable()) {
        const uint64_t one = 1;
        (void)!::write(m_stopFd, &one, sizeof one);
        m_thread.join();
    }
    CloseAll();
    m_sink = nullptr;
}

void EvdevInputHook::CloseAll() {
    for (Device& device : m_devices) {
        if (device.fd < 0)
            continue;
        if (device.grabbed)
            m_options.control->SetGrab(device.fd, device.path, false);
        ::close(device.fd);
    }
    m_devices.clear();
    if (m_lockKeysOpen)
        m_options.lockKeys->Close();
    m_lockKeysOpen = false;
    if (m_stopFd >= 0)
        ::close(m_stopFd);
    m_stopFd = -1;
}

void EvdevInputHook::Run() {
    std::vector<pollfd> fds;
    std::vector<Device*> owners;
    for (;;) {
        fds.clear();
        owners.clear();
        fds.push_back(pollfd{m_stopFd, POLLIN, 0});
        for (Device& device : m_devices) {
            if (device.fd < 0)
                continue;
            fds.push_back(pollfd{device.fd, POLLIN, 0});
            owners.push_back(&device);
        }
        const int n = ::poll(fds.data(), fds.size(), -1);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            DebugLog(std::string("input hook: poll failed: ") + std::strerror(errno));
            return;
        }
        if (fds[0].revents != 0)
            return;
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].revents == 0)
                continue;
            Device& device = *owners[i - 1];
            if (!ReadDevice(device)) {
                // Unplugged (or, for a test's FIFO, its writer gone): closing also ends a grab.
                DebugLog("input hook: " + device.path + " has gone");
                ::close(device.fd);
                device.fd = -1;
                device.grabbed = false;
            }
        }
    }
}

bool EvdevInputHook::ReadDevice(Device& device) {
    unsigned char buffer[64 * sizeof(input_event)];
    for (;;) {
        std::size_t have = device.partial.size();
        if (have > 0)
            std::memcpy(buffer, device.partial.data(), have);
        const ssize_t n = ::read(device.fd, buffer + have, sizeof buffer - have);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
        if (n == 0)
            return false;
        have += static_cast<std::size_t>(n);
        std::size_t at = 0;
        for (; at + sizeof(input_event) <= have; at += sizeof(input_event)) {
            input_event ev;
            std::memcpy(&ev, buffer + at, sizeof ev);
            const int64_t ms = static_cast<int64_t>(ev.input_event_sec) * 1000 + ev.input_event_usec / 1000;
            HandleEvent(device, ev.type, ev.code, ev.value, ms);
        }
        device.partial.assign(buffer + at, buffer + have);
    }
}

void EvdevInputHook::HandleEvent(Device& device, uint16_t type, uint16_t code, int32_t value,
                                 int64_t timeMs) {
    // A grabbed keyboard-and-mouse: its pointer goes on to the desktop as it came.
    if (device.grabbed && device.relayPointer && m_lockKeysOpen && IsPointerEvent(type, code))
        m_options.lockKeys->Relay(type, code, value);
    if (type != EV_KEY)
        return;
    if (const std::optional<MouseButtonId> button = MouseButtonOf(code)) {
        if (!HookModeWantsMouse(m_mode))
            return;
        InputEvent event = MouseInputEvent(*button, value != 0);
        event.timeMs = timeMs;
        m_sink(event);
        return;
    }
    if (!IsKeyboardKey(code))
        return;
    // The lock keys of a taken keyboard go on to the desktop, once per press and release.
    if (device.grabbed && m_lockKeysOpen && IsLockKey(code) && (value == 0 || value == 1))
        m_options.lockKeys->Send(code, value == 1);
    // Auto-repeat (2) is a press: the recorder's own filter drops it, as on the desktop.
    const bool down = value != 0;
    const std::optional<ScanCode> scan = ScanCodeFromKeyCode(code);
    InputEvent event =
        scan ? KeyInputEvent(scan->code, scan->extended, down, code) : KeyInputEvent(0, false, down, code);
    event.timeMs = timeMs;
    // The grab comes first, so that the sink never sees an event the grab was due before.
    if (device.grabPending)
        TrackHeld(device, code, down);
    m_sink(event);
}

void EvdevInputHook::TrackHeld(Device& device, uint16_t code, bool down) {
    auto it = std::find(device.held.begin(), device.held.end(), code);
    if (down && it == device.held.end())
        device.held.push_back(code);
    else if (!down && it != device.held.end())
        device.held.erase(it);
    if (!device.held.empty())
        return;
    device.grabPending = false;
    if (m_options.control->SetGrab(device.fd, device.path, true))
        device.grabbed = true;
    else
        AddLimitation(device.info.name + " (" + device.path +
                      ") is held by another program: its keys also reach other programs");
}

} // namespace nk7x
