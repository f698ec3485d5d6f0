// CHidTransport: the program's only door to a HID interface (one top-level collection). It lists the
// paths of the present interfaces, opens one with chosen access, reads its identity and report
// capabilities, moves whole reports with a time-out that another thread can cut short, and decodes
// input reports into usage items. Owners serialise transfers; the transport only guards the handle's
// lifetime, so that Close on another thread never pulls it from under a waiting transfer.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/hid/HidTypes.h"
#include "link/hid/ReportDescriptor.h"

namespace nk7x {

class IHidConnection; // platform: one open node (hidraw or emulator socket)

inline constexpr uint32_t kHidInfinite = 0xFFFFFFFFu; // wait without limit
inline constexpr size_t kHidMaxPathChars = 260;       // including the terminator

struct HidAttributes {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t versionNumber = 0;
};

struct HidCaps {
    uint16_t usage = 0;
    uint16_t usagePage = 0;
    uint16_t inputReportByteLength = 0; // including the report id byte
    uint16_t outputReportByteLength = 0;
    uint16_t featureReportByteLength = 0;
    uint16_t numberInputButtonCaps = 0;
    uint16_t numberInputValueCaps = 0;
    uint16_t numberOutputButtonCaps = 0;
    uint16_t numberOutputValueCaps = 0;
    uint16_t numberFeatureButtonCaps = 0;
    uint16_t numberFeatureValueCaps = 0;
};

// Why the last Open failed; the tools turn PermissionDenied into advice to install the udev rule.
enum class HidOpenError {
    None = 0,
    PathTooLong,      // longer than kHidMaxPathChars - 1 characters
    BadPath,          // not a path this transport lists
    NotFound,         // no such node, or another device now answers on it
    PermissionDenied, // the node exists but this user may not open it
    ProbeFailed,      // opened, but descriptor, attributes or capabilities unavailable
    Other,            // any other refusal of the platform (see LastOpenErrno)
};
const char* HidOpenErrorText(HidOpenError error);

class CHidTransport {
  public:
    CHidTransport();
    ~CHidTransport();
    CHidTransport(const CHidTransport&) = delete;
    CHidTransport& operator=(const CHidTransport&) = delete;

    // Builds the list of every present HID interface path (real hidraw collections and, when
    // NK7X_SIM_DIR is set, the emulated ones). 1 on success (also with no interface), 0 on failure.
    [[nodiscard]] int EnumeratePaths();
    // The entry at the cursor, then advances; nullptr when there is no list or at its end.
    const char* NextPath();
    void ReleasePaths();
    int PathCount() const { return static_cast<int>(m_paths.size()); }

    // Opens and probes one path; any open handle is closed first. 1 on success, 0 on failure.
    // Nodes are never opened exclusively: other programs may talk to the same device.
    [[nodiscard]] int Open(const std::string& path, bool read, bool write);
    // Aborts a waiting transfer, frees the capabilities and closes the handle. Safe from another
    // thread while a transfer waits; a closed transport stays closed.
    void Close();
    bool IsHandleOpen() const;

    // Move one report of `length` bytes (byte 0 is the report id). `transferred` may be null.
    // 1 on success; 0 on refusal, time-out, abort or transfer error (transferred 0, or what the
    // platform reported for an error).
    [[nodiscard]] int ReadReport(uint8_t* buffer, uint32_t length, uint32_t* transferred, uint32_t timeoutMs);
    [[nodiscard]] int WriteReport(const uint8_t* buffer, uint32_t length, uint32_t* transferred,
                                  uint32_t timeoutMs);
    // An output report sent through the platform's output-report call (SET_REPORT where the system
    // uses the control pipe for it), for reports a device takes only that way; where the platform
    // or the node refuses that, it is written as WriteReport does (and from then on for this
    // handle). Same results as WriteReport.
    [[nodiscard]] int SetOutputReport(const uint8_t* buffer, uint32_t length, uint32_t* transferred,
                                      uint32_t timeoutMs);

    // Fills the items that belong to `report` (its first byte is the report id). 1 when all
    // matching items were handled, 0 at a value that cannot be decoded.
    static int DecodeReport(HidReportItem* items, uint32_t itemCount, const uint8_t* report,
                            uint32_t reportLength, HidReportType type, const HidCollectionInfo* descriptor);

    const HidAttributes& Attributes() const { return m_attributes; }
    const HidCaps& Caps() const { return m_caps; }
    const std::string& DevicePath() const { return m_devicePath; }
    uint8_t* InputReportBuffer() { return m_input.buffer.data(); }
    HidReportItem* InputItems() { return m_input.items.data(); }
    uint32_t InputItemCount() const { return static_cast<uint32_t>(m_input.items.size()); }
    const std::vector<HidReportItem>& Items(HidReportType type) const;
    // The parsed collection of the open interface; null when closed.
    const HidCollectionInfo* ParsedDescriptor() const;

    bool ReadAccess() const { return m_read; }
    bool WriteAccess() const { return m_write; }

    // Why the last Open failed (None after a successful one), and the platform's errno for it.
    HidOpenError LastOpenError() const { return m_lastOpenError; }
    int LastOpenErrno() const { return m_lastOpenErrno; }

  private:
    struct ReportSet {
        std::vector<uint8_t> buffer;
        std::vector<HidReportItem> items;
    };
    struct Session; // what one open handle needs while a transfer runs
    struct Gate;    // counts running transfers so Close can wait for them to leave
    void FreeCapabilities();
    int Probe(const std::string& path);
    enum class Direction { Read, Write, SetOutput };
    int Transfer(Direction direction, uint8_t* buffer, uint32_t length, uint32_t* transferred,
                 uint32_t timeoutMs);
    ReportSet& Set(HidReportType type);

    std::vector<std::string> m_paths;
    uint32_t m_cursor = 0;
    bool m_read = false;
    bool m_write = false;
    // Shared so a waiting transfer keeps the connection alive after Close has let go of it.
    std::shared_ptr<Session> m_session;
    std::shared_ptr<Gate> m_gate;
    std::string m_devicePath;
    std::unique_ptr<HidCollectionInfo> m_descriptor;
    HidCaps m_caps;
    HidAttributes m_attributes;
    ReportSet m_input, m_output, m_feature;
    HidOpenError m_lastOpenError = HidOpenError::None;
    int m_lastOpenErrno = 0;
    std::atomic<bool> m_open{false};
    std::string m_lastFailureLogged;
};

} // namespace nk7x
