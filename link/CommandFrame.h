// The 64-byte command frame of the vendor protocol: the request codec (report id, checksum, command,
// length, offset, payload), a read-only view of a reply, the result codes and the debug hex lines.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace nk7x {

inline constexpr size_t kFrameSize = 64;
inline constexpr uint8_t kCommandReportId = 4;
inline constexpr size_t kFrameHeaderSize = 8;
inline constexpr size_t kFramePayloadSize = kFrameSize - kFrameHeaderSize; // 56
inline constexpr size_t kDeviceInfoSize = 34;

using FrameBytes = std::array<uint8_t, kFrameSize>;
using DeviceInfoRecord = std::array<uint8_t, kDeviceInfoSize>;

// The result of every link operation and command. The values are the protocol's codes: the tools
// print them and the failure notices show them. Ignoring one is a compile error; where a result
// really does not matter, the call says why with a (void) cast.
enum class [[nodiscard]] LinkResult : int{
    Ok = 1,
    Failed = 0,           // link not open, no reply (time-out, abort, error)
    WriteFailed = -1,     // the request could not be written
    DeviceFailed = -102,  // reply status 0xFF
    DeviceRefused = -103, // reply status 0xFE
    BadPage = -201,       // key-table page other than 0
};
inline constexpr LinkResult kResultOk = LinkResult::Ok;
inline constexpr LinkResult kResultFailed = LinkResult::Failed;
inline constexpr LinkResult kResultWriteFailed = LinkResult::WriteFailed;
inline constexpr LinkResult kResultDeviceFailed = LinkResult::DeviceFailed;
inline constexpr LinkResult kResultDeviceRefused = LinkResult::DeviceRefused;
inline constexpr LinkResult kResultBadPage = LinkResult::BadPage;
// The protocol's number of a result, for output and notices.
constexpr int ResultCode(LinkResult r) {
    return static_cast<int>(r);
}
// Keeps the first failure of a sequence of commands; the later commands still run.
struct FirstFailure {
    LinkResult result = LinkResult::Ok;
    void Take(LinkResult r) {
        if (result == LinkResult::Ok && r != LinkResult::Ok)
            result = r;
    }
};

// Reply status bytes that mean failure; every other value is success.
inline constexpr uint8_t kStatusFailed = 0xFF;
inline constexpr uint8_t kStatusRefused = 0xFE;

// Command codes shared by every device kind.
enum class CommandCode : uint8_t {
    BeginConfig = 1,
    EndConfig = 2,
    ReadDeviceInfo = 3,
    ReadParameters = 5,
    WriteParameters = 6,
    ReadKeyTable = 7,
    WriteKeyTable = 9,
    WriteLightingPage = 11,
    StreamLighting = 18,
    WriteMacroArea = 21,
    WriteShootArea = 23,
    ReadBlock = 26,
    ReadKeyIndexTable = 27,
    EnterLiveLighting = 28,
    Probe = 0xAA,
};

// Wire layout of one frame, request and reply alike.
#pragma pack(push, 1)
struct CommandFrameWire {
    uint8_t reportId;
    uint8_t checksumLow;
    uint8_t checksumHigh;
    uint8_t command;
    uint8_t length;
    uint8_t offsetLow;
    uint8_t offsetHigh;
    uint8_t status;
    uint8_t data[kFramePayloadSize];
};
#pragma pack(pop)
static_assert(sizeof(CommandFrameWire) == kFrameSize, "a command frame is one 64-byte report");

// One request as the program builds it. Serialise() fills report id and checksum.
struct CommandRequest {
    uint8_t command = 0;
    uint8_t length = 0;  // payload bytes in this frame (0..56); also the byte count a read asks for
    uint16_t offset = 0; // byte offset into the device-side area
    std::array<uint8_t, kFramePayloadSize> payload{};

    // Builds a request; `data` (may be null) supplies `length` payload bytes, cut to 56.
    static CommandRequest Make(uint8_t command, uint8_t length, uint16_t offset, const uint8_t* data);

    FrameBytes Serialise() const;
    // Reads a frame back (tests, tools). Returns false when fewer than 64 bytes are given.
    static bool Parse(const uint8_t* bytes, size_t size, CommandRequest& out);
};

// Sum of bytes 3..63 as unsigned 8-bit values, in 16 bits.
uint16_t FrameChecksum(const uint8_t* frame);

// A reply of 64 bytes, read-only. Bytes 0-2 and 4-6 of a reply carry nothing the program uses.
class ReplyView {
  public:
    explicit ReplyView(const uint8_t* frame) : m_frame(frame) {}
    uint8_t Echo() const { return m_frame[3]; }
    uint8_t Status() const { return m_frame[7]; }
    const uint8_t* Data() const { return m_frame + kFrameHeaderSize; }
    // kResultOk, or the device-failure code for status 0xFF / 0xFE.
    LinkResult StatusResult() const;

  private:
    const uint8_t* m_frame;
};

// One debug line for 32 bytes: lower-case hex pairs in groups of four, three blanks after each of the
// first three groups and two blanks between the later ones.
std::string FormatHexLine(const uint8_t* bytes32);

} // namespace nk7x
