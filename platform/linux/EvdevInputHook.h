// The input hook on Linux through evdev: reads every keyboard and mouse under /dev/input, grabs
// the keyboards while installed so that keys reach no other program, and passes Caps Lock, Num
// Lock and Scroll Lock on through a virtual uinput device so they still switch. A keyboard that is
// also a mouse is grabbed too, its pointer (movement, wheel, buttons) passed on the same way. Needs read
// access to the input devices; without it Install fails and the caller uses the window grab.
#pragma once

#include "platform/input/InputHook.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace nk7x {

// What an input device node offers.
struct EvdevDeviceInfo {
    bool keyboard = false;     // has typing keys: grabbed while installed
    bool mouseButtons = false; // has a left button: read; grabbed only when also a keyboard, its
                               // pointer then passed on so that the window still gets clicks
    std::string name;
};

// The device control calls beside reading (ioctls), so that tests can use FIFOs as device nodes.
// Called from the installing thread and from the hook's reader thread, never at once.
class IEvdevDeviceControl {
  public:
    virtual ~IEvdevDeviceControl() = default;
    // What the open node is; nothing when it is no input device or offers nothing of interest.
    virtual std::optional<EvdevDeviceInfo> Identify(int fd, const std::string& path) = 0;
    // Takes (true) or releases (false) the device for this program alone; false on failure.
    virtual bool SetGrab(int fd, const std::string& path, bool grab) = 0;
    // The keys (KEY_* codes) held down on the device now.
    virtual std::vector<uint16_t> HeldKeys(int fd, const std::string& path) = 0;
};

// Where the lock keys, and the pointer of a grabbed keyboard-and-mouse, go while the devices are
// grabbed. Send and Relay are called on the reader thread.
class ILockKeyOutput {
  public:
    virtual ~ILockKeyOutput() = default;
    // False (with the reason in `why`) when the output cannot be made.
    virtual bool Open(std::string* why) = 0;
    virtual void Send(uint16_t keyCode, bool down) = 0;
    virtual void Close() = 0;
    // Whether the open output also carries a pointer: movement, wheels and mouse buttons.
    virtual bool RelaysPointer() const { return false; }
    // One pointer event (EV_REL, a mouse button, or the EV_SYN that ends a report) as it came.
    virtual void Relay(uint16_t type, uint16_t code, int32_t value) {
        (void)type;
        (void)code;
        (void)value;
    }
};

// The name of the virtual device the lock keys are sent through; the hook never reads it.
inline constexpr const char* kLockKeysDeviceName = "nk7x lock keys";

std::unique_ptr<IEvdevDeviceControl> MakeKernelEvdevControl();
std::unique_ptr<ILockKeyOutput> MakeUinputLockKeys(std::string uinputPath = "/dev/uinput");

// The folder of the input nodes: NK7X_INPUT_DIR when set (the test suite points it away from the
// machine's real keyboards), else "/dev/input".
std::string DefaultInputFolder();

struct EvdevHookOptions {
    std::string deviceFolder = DefaultInputFolder(); // nodes named event* are read
    std::shared_ptr<IEvdevDeviceControl> control;    // null: the kernel's ioctls
    std::shared_ptr<ILockKeyOutput> lockKeys;        // null: a uinput device through /dev/uinput
};

class EvdevInputHook final : public IInputHook {
  public:
    explicit EvdevInputHook(EvdevHookOptions options = {});
    ~EvdevInputHook() override;
    EvdevInputHook(const EvdevInputHook&) = delete;
    EvdevInputHook& operator=(const EvdevInputHook&) = delete;

    // Opens the devices, grabs the keyboards (a keyboard with a key held down is grabbed once its
    // keys are all up, so the desktop never misses a release) and starts the reader thread. False
    // when no keyboard can be read. Not to be called from the sink.
    bool Install(HookMode mode, InputSink sink) override;
    // Stops the reader thread, releases the grabs and closes everything. Not to be called from the sink.
    void Uninstall() override;

    bool Installed() const override { return m_thread.joinable(); }
    HookMode Mode() const override { return m_mode; }
    std::string Name() const override { return "all keyboards and mice (evdev)"; }
    std::string LastError() const override { return m_lastError; }
    std::string Limitations() const override;

  private:
    struct Device {
        int fd = -1;
        std::string path;
        EvdevDeviceInfo info;
        bool grabbed = false;
        bool relayPointer = false;          // a grabbed keyboard-and-mouse: its pointer goes on
        bool grabPending = false;           // a key was held at install: grab once all are up
        std::vector<uint16_t> held;         // keys held, tracked only while grabPending
        std::vector<unsigned char> partial; // the start of an event not read whole yet
    };

    void Run();
    // Reads what the device has; false when it has gone.
    bool ReadDevice(Device& device);
    void HandleEvent(Device& device, uint16_t type, uint16_t code, int32_t value, int64_t timeMs);
    void TrackHeld(Device& device, uint16_t code, bool down);
    void AddLimitation(const std::string& line);
    void CloseAll();

    EvdevHookOptions m_options;
    HookMode m_mode = HookMode::Record;
    InputSink m_sink;
    std::vector<Device> m_devices; // the reader thread's while it runs
    bool m_lockKeysOpen = false;
    int m_stopFd = -1;
    std::thread m_thread;
    std::string m_lastError;
    mutable std::mutex m_limitationsLock;
    std::string m_limitations;
};

} // namespace nk7x
