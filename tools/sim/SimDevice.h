// SimDevice: one emulated keyboard, mouse, mouse receiver, mouse pad or headset on the device side of
// the vendor protocol.
// It plugs in by creating its interface files and socket in a folder (docs/EMULATOR.md), serves every
// connection on its own thread, holds real device memory, injects faults on request and records what
// it received.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/KindDescriptors.h"
#include "tools/sim/SimFault.h"

namespace nk7x {

// Receiver: the wireless receiver with the mouse behind it; it answers for the mouse, and not at all
// while the mouse sleeps. Pad: the lighted mouse pad (15 LEDs the host streams, one settings record).
// Headset: 13 LEDs in two banks, set by output reports of their own, and the pad's settings record.
enum class SimKind { Keyboard, Mouse, Receiver, Pad, Headset };

// "keyboard", "mouse", "receiver", "pad", "headset".
const char* SimKindName(SimKind kind);
// Reads one of those names; false for any other text.
bool ParseSimKind(std::string_view text, SimKind& kind);

// Reply status bytes (reply byte 7). Success is neither 0xFF nor 0xFE.
inline constexpr uint8_t kSimStatusOk = 0x01;
inline constexpr uint8_t kSimStatusRefused = 0xFF;  // unknown command, or an address outside the area
inline constexpr uint8_t kSimStatusBadFrame = 0xFE; // checksum wrong or length byte above 56

// Device memory sizes.
inline constexpr size_t kSimFrameBytes = 64;
inline constexpr size_t kSimFramePayload = 56;
inline constexpr size_t kSimDeviceInfoBytes = 34;
inline constexpr size_t kSimParameterBytes = 4096;
inline constexpr size_t kSimSettingsStride = 25; // the keyboard's settings record n starts at n x 25
inline constexpr size_t kSimSettingsRecordBytes = 26;
inline constexpr size_t kSimLightingPageBytes = 512;
inline constexpr size_t kSimLiveLightingBytes = 512;
inline constexpr size_t kSimStatusBlockBytes = 6;
inline constexpr size_t kSimShootAreaBytes = 4096; // room for four full patterns (2920 bytes)
inline constexpr size_t kSimMacroUnit = 128;
inline constexpr size_t kSimHeadsetLedCount = 13;

// The LED colours the headset's output reports set, per bank: LED i at [3i], [3i+1], [3i+2] (R, G, B).
struct SimHeadsetFrame {
    std::array<uint8_t, 3 * kSimHeadsetLedCount> bank22{};
    std::array<uint8_t, 3 * kSimHeadsetLedCount> bank44{};
    uint64_t reports = 0; // output reports taken
    uint64_t refused = 0; // output reports with an unknown bank or code
};

// A default SimOptions is the keyboard. With another kind, the fields left at the keyboard's values
// (name kbd1, ids 0C45:0820) take that kind's: mouse1 and 320F:5001 for the mouse, rcv1 and 320F:5002
// for the receiver, pad1 and 320F:1004 for the mouse pad, headset1 and 0C45:6533 for the headset.
// SimDevice::Options() shows the values in use.
struct SimOptions {
    std::string folder;        // where the files appear; empty = DefaultSimFolder()
    std::string name = "kbd1"; // NAME of NAME-mi01.sock and NAME.ctl
    SimKind kind = SimKind::Keyboard;
    uint16_t vendorId = Describe(DeviceFamily::Keyboard).vendorId;
    uint16_t productId = Describe(DeviceFamily::Keyboard).productId;
    uint16_t version = 0x0100;
    int keyCount = 126;         // keyboard's K: information byte 5, key table 3 x K, LED table K (1..255)
    int buttonCount = 10;       // mouse's K: information byte 5, button table 3 x K (1..255)
    uint8_t macroCapacity = 32; // device information byte 6: macro area of x 128 bytes (pad, headset: 0)
    int lightingPages = 8;      // keyboard's custom colour pages of 512 bytes (command 11); a mouse has none
    uint8_t dpiStep = 50;       // mouse information byte 11: DPI per step
    uint16_t maxDpiSteps = 320; // mouse information bytes 12-13: largest DPI step count
    uint16_t minDpi = 100;      // mouse information bytes 14-15: smallest DPI the page accepts
    int replyDelayMs = 0;       // every reply goes out this late (0..60000), as through a slow radio
    std::string faults;         // fault list in the text form of ParseSimFaults, armed by Start()
    bool verifyChecksum = true; // refuse frames with a wrong checksum (status 0xFE)
    size_t frameLogLimit = 10000; // newest frames kept in the log; older ones are dropped
    // Whether NAME.devices.json (rows for the program's supported-device tables) is written while
    // plugged in. Nothing: written for the mouse, the receiver, the pad and the headset, whose rows the
    // program does not have built in, not for the keyboard.
    std::optional<bool> deviceRows;
    // What the rows file tells the program the device is: a kind number and a family name; nothing
    // and empty: the emulated kind's own (a kind added to the program answers with the protocol of
    // an emulated kind, SimOptionsFor).
    std::optional<uint16_t> rowsKind;
    std::string rowsFamily;
    std::string productName; // the product string it reports; empty: the emulated kind's
    // Plugs in on a real USB bus through the kernel's gadget framework instead of the socket folder
    // (root, configfs and a device controller such as dummy_hcd's): the host then finds the device
    // through usbhid and hidraw. Interface 1 holds the device's collections (interface 0 is a
    // placeholder: the kernel allows four HID gadget interfaces at once, so four devices); the headset's
    // interface 1 has no OUT endpoint, so its output reports arrive by SET_REPORT. The rows file and the
    // control socket stay in the folder.
    bool usbGadget = false;
};

// One message the device received on its command interface.
struct SimFrameRecord {
    uint64_t sequence = 0; // 1, 2, ... over the device's life (not reset by ClearFrameLog)
    int connection = 0;    // connection number, 1-based in accept order
    std::array<uint8_t, kSimFrameBytes> raw{}; // the message as received (zero past `size`)
    size_t size = 0;                           // bytes received
    bool wellFormed = false;                   // 64 bytes with report id 4
    // On a USB bus: the message came with SET_REPORT on the control pipe (the interface has no OUT
    // endpoint), not over the interrupt OUT endpoint. Always false on the socket.
    bool controlPipe = false;
    bool lightingReport = false; // a headset's LED output report (17 bytes, id 0xFF)
    uint8_t command = 0;         // byte 3
    uint8_t length = 0;          // byte 4
    uint16_t offset = 0;         // bytes 5-6
    bool checksumValid = false;
    bool answered = false; // a reply went out (false: no-reply or unplug fault, malformed message)
    uint8_t status = 0;    // reply byte 7 when answered

    std::vector<uint8_t> Payload() const; // bytes 8.. of the request, `length` of them (at most 56)
};

struct SimCounters {
    uint64_t messagesReceived = 0;  // every message on the command socket
    uint64_t framesReceived = 0;    // well-formed command frames
    uint64_t malformedMessages = 0; // wrong size or report id: ignored, not answered
    uint64_t lightingReports = 0;   // a headset's LED output reports (never answered)
    uint64_t checksumErrors = 0;
    uint64_t repliesSent = 0; // replies sent, counted once per frame (not per connection)
    uint64_t staleRepliesSent = 0;
    uint64_t refusedFrames = 0;     // answered with 0xFF or 0xFE
    uint64_t liveFrames = 0;        // command 18 frames taken
    uint64_t notificationsSent = 0; // SendNotification calls that reached at least one connection
    uint64_t droppedReports = 0;    // input reports a full connection could not take
    uint64_t connectionsAccepted = 0;
    uint64_t unplugs = 0;
    uint64_t framesWhileAsleep = 0;         // taken by a receiver whose mouse sleeps and left unanswered
    std::array<uint64_t, 256> perCommand{}; // well-formed frames by command code
};

// $NK7X_SIM_DIR, else $XDG_RUNTIME_DIR/nk7x-sim, else /tmp/nk7x-sim-$UID.
std::string DefaultSimFolder();
// The USB serial number of a device plugged in as a gadget: "NK7X-" + its name, so that a test
// finds the host's side of it among other devices.
std::string SimUsbSerial(const std::string& name);
// Creates the folder (mode 0700) when missing; false with a message when it is not usable.
bool EnsureSimFolder(const std::string& folder, std::string* error = nullptr);

class SimDevice {
  public:
    explicit SimDevice(SimOptions options = {});
    ~SimDevice(); // unplugs
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    // Plugs in: writes NAME.devices.json (when rows are on), NAME-mi01.info and NAME-mi01.rdesc, then
    // creates NAME-mi01.sock and NAME.ctl and starts serving. 1 on success (also when already plugged), 0
    // with LastError() set. The device memory survives Stop()/Start(), as a real device's does across a
    // replug.
    int Start();
    // Unplugs: removes the socket, closes every connection (a waiting read fails at once), then
    // removes the other files, the rows file last. Nothing is left in the folder. Safe to call twice.
    void Stop();
    // Unplugs as Stop() does, but the control socket and the server stay, so that Start() (or the
    // control request "plug") plugs the same device in again. An unplug fault does the same.
    void Unplug();
    bool IsPlugged() const; // false after Stop(), Unplug() and an unplug fault
    std::string LastError() const;

    const SimOptions& Options() const; // as in use: the kind's defaults filled in
    std::string Folder() const;
    std::string SocketPath() const;     // NAME-mi01.sock
    std::string InfoPath() const;       // NAME-mi01.info
    std::string DescriptorPath() const; // NAME-mi01.rdesc
    std::string ControlPath() const;    // NAME.ctl
    std::string DeviceRowsPath() const; // NAME.devices.json
    // On a USB bus: the device controller it is attached to ("dummy_udc.0"); empty otherwise.
    std::string UsbController() const;
    // The transport path of top-level collection `collection` (1..4) of interface 1:
    // "sim#vid_0c45&pid_0820&mi_01&colNN#" + SocketPath().
    std::string CollectionPath(int collection) const;
    std::string CommandPath() const { return CollectionPath(4); }
    std::string NotificationPath() const { return CollectionPath(3); }

    // Faults act on the frames that arrive after they are added, in the order they were added.
    void AddFault(const SimFault& fault);
    int AddFaults(std::string_view faultList, std::string* error = nullptr); // 1, or 0 when malformed
    void ClearFaults();
    std::vector<SimFault> Faults() const; // those still armed

    // A consumer-control input report (report id 3, `code` little-endian) to every connection,
    // then the release report (code 0). Returns the number of connections reached.
    int SendNotification(uint16_t code);

    // Instrumentation; every accessor takes the device lock and returns a copy.
    std::vector<SimFrameRecord> FrameLog() const;
    void ClearFrameLog();
    SimCounters Counters() const;
    int ConnectionCount() const;
    // Waits until framesReceived reaches `total`; false on time-out.
    bool WaitForFrames(uint64_t total, int timeoutMs) const;

    // Device memory.
    std::vector<uint8_t> DeviceInfo() const; // 34 bytes
    std::vector<uint8_t> Parameters() const; // kSimParameterBytes
    std::vector<uint8_t>
    KeyTable() const; // 3 x K, device position order (mouse: buttons; pad, headset: empty)
    std::vector<uint8_t> LedTable() const; // K, LED index per position (0xFF: no LED); keyboard only
    std::vector<uint8_t> LightingPage(int page) const; // 512 bytes; empty for a page it lacks
    std::vector<uint8_t> LiveLighting() const;         // last colours streamed with command 18 (512)
    std::vector<uint8_t> MacroArea() const;            // capacity x 128
    std::vector<uint8_t> ShootArea() const;            // kSimShootAreaBytes
    std::vector<uint8_t> StatusBlock() const;          // 6 bytes, read with command 26
    // The colours the headset's LED output reports set (cleared on unplug); all zero on other kinds.
    SimHeadsetFrame HeadsetLeds() const;
    bool IsLiveLighting() const; // set by command 28
    bool InConfig() const;       // between commands 1 and 2
    // Settings record n as a read takes it (keyboard, pad, headset: 26 bytes at n x 25; mouse: 71 at n x
    // 128); empty when it does not fit the parameter area.
    std::vector<uint8_t> SettingsRecord(int n) const;

    // Changes made on the keyboard itself (its own keys), outside the protocol.
    bool SetParameters(size_t offset, const std::vector<uint8_t>& bytes); // false outside the area
    bool SetKeyEntry(int position, uint8_t type, uint8_t b1, uint8_t b2);
    void SetStatusBlock(const std::array<uint8_t, kSimStatusBlockBytes>& block);
    // Status block bytes 0 (battery %, 0..100), 1 (0 powered, 1 charging, 2 on battery) and, when
    // `phone` >= 0, 5 (phone type); the others stay. False, and nothing changes, outside those ranges.
    bool SetPowerStatus(int battery, int power, int phone = -1);
    void ResetToFactory();

    // The mouse behind a receiver falls asleep or wakes up. While it sleeps the receiver answers
    // Probe (0xAA) with data byte 0 = 0 ("the mouse does not answer") and leaves every other frame
    // unanswered and unapplied, so the host's time-out runs out. The state outlasts an unplug of the
    // receiver. False for a keyboard or a mouse by cable, which never sleep.
    bool SetMouseAsleep(bool asleep);
    bool IsMouseAsleep() const;

    // One control request in the text form of NAME.ctl (also served on the socket); see --help.
    // The answer starts with "ok" or "error: ...".
    std::string HandleControl(std::string_view request);

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace nk7x
