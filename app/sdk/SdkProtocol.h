// The lighting server's wire: the SDK protocol that desktop lighting programs speak over TCP. Every
// packet is a 16-byte header ("ORGB", device index, packet id, data size; little-endian) and its
// data. Here: the controller description the server sends and the requests it takes, without a
// toolkit, so the parser can be fuzzed on its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace nk7x::sdk {

// The highest protocol version served; a client asking for less gets what it asks for.
inline constexpr uint32_t kHighestProtocol = 5;
inline constexpr std::size_t kHeaderBytes = 16;
// No request of this protocol comes near this; a client that announces more is closed.
inline constexpr uint32_t kMaxPacketBytes = 64 * 1024;
// A matrix cell without a LED.
inline constexpr uint32_t kNoLed = 0xFFFFFFFF;

enum class PacketId : uint32_t {
    RequestControllerCount = 0,
    RequestControllerData = 1,
    RequestProtocolVersion = 40,
    SetClientName = 50,
    DeviceListUpdated = 100,
    RequestRescan = 140,
    RequestProfileList = 150,
    SaveProfile = 151,
    LoadProfile = 152,
    DeleteProfile = 153,
    RequestPluginList = 200,
    PluginSpecific = 201,
    ResizeZone = 1000,
    ClearSegments = 1001,
    AddSegment = 1002,
    UpdateLeds = 1050,
    UpdateZoneLeds = 1051,
    UpdateSingleLed = 1052,
    SetCustomMode = 1100,
    UpdateMode = 1101,
    SaveMode = 1102,
};

enum class DeviceType : int32_t { Keyboard = 5, Mouse = 6, MouseMat = 7, Headset = 8 };
enum class ZoneType : int32_t { Single = 0, Linear = 1, Matrix = 2 };

// Mode flags.
inline constexpr uint32_t kModeSpeed = 1U << 0;
inline constexpr uint32_t kModeDirectionLR = 1U << 1;
inline constexpr uint32_t kModeBrightness = 1U << 4;
inline constexpr uint32_t kModePerLedColour = 1U << 5;
inline constexpr uint32_t kModeSpecificColour = 1U << 6;
inline constexpr uint32_t kModeManualSave = 1U << 8;

enum class ColourMode : uint32_t { None = 0, PerLed = 1, ModeSpecific = 2, Random = 3 };
// Directions as the protocol numbers them (only left and right are used here).
inline constexpr uint32_t kDirectionLeft = 0;
inline constexpr uint32_t kDirectionRight = 1;

// A colour on the wire is four bytes: red, green, blue and one unused.
struct Colour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const Colour&) const = default;
};

struct Mode {
    std::string name;
    int32_t value = 0; // the device's own number for the mode
    uint32_t flags = 0;
    uint32_t speedMin = 0;
    uint32_t speedMax = 0;
    uint32_t brightnessMin = 0; // protocol 3 and later
    uint32_t brightnessMax = 0; // protocol 3 and later
    uint32_t coloursMin = 0;
    uint32_t coloursMax = 0;
    uint32_t speed = 0;
    uint32_t brightness = 0; // protocol 3 and later
    uint32_t direction = 0;
    ColourMode colourMode = ColourMode::None;
    std::vector<Colour> colours;
    bool operator==(const Mode&) const = default;
};

struct Zone {
    std::string name;
    ZoneType type = ZoneType::Linear;
    uint32_t ledCount = 0; // fixed: the minimum and the maximum are the count
    // A matrix zone: `matrix` holds height x width LED indexes within the zone, row by row, kNoLed
    // where a cell has none; empty for the other zones.
    uint32_t matrixHeight = 0;
    uint32_t matrixWidth = 0;
    std::vector<uint32_t> matrix;
};

struct Led {
    std::string name;
    uint32_t value = 0;
};

// One controller: a connected device as lighting programs see it. The LEDs are the zones' LEDs one
// zone after the other; `colours` has one entry per LED.
struct Controller {
    DeviceType type = DeviceType::Keyboard;
    std::string name;
    std::string vendor; // protocol 1 and later
    std::string description;
    std::string version;
    std::string serial;
    std::string location;
    std::vector<Mode> modes;
    int32_t activeMode = 0;
    std::vector<Zone> zones;
    std::vector<Led> leds;
    std::vector<Colour> colours;
};

struct Header {
    uint32_t device = 0;
    uint32_t id = 0;
    uint32_t size = 0;
};

// The header of a packet to send.
void AppendHeader(std::vector<uint8_t>& out, uint32_t device, PacketId id, uint32_t size);
// The data of a controller-data answer for a client of `protocol`: its leading total size, then
// the fields that version has.
std::vector<uint8_t> EncodeController(const Controller& controller, uint32_t protocol);
// The data of an UpdateMode or SaveMode request as a client of `protocol` sends it: the leading
// size, the mode index and the mode (for tests and fuzz seeds).
std::vector<uint8_t> EncodeModeRequest(int32_t modeIndex, const Mode& mode, uint32_t protocol);

// What the program does for a client: the controllers and the changes a client makes. Indexes are
// checked by the session before any call.
class Host {
  public:
    virtual ~Host() = default;
    virtual std::size_t ControllerCount() = 0;
    // The controller as it is now (modes, active mode and colours current).
    virtual Controller Describe(std::size_t controller) = 0;
    // The LED count of each zone: what every colour update is checked against. The LEDs are the
    // zones' LEDs one zone after the other. The base asks Describe; a host that streams may answer
    // without building the whole description.
    virtual std::vector<uint32_t> ZoneLedCounts(std::size_t controller);
    // Direct colours for LEDs first .. first + colours.size() - 1 of the controller; the others
    // keep theirs. The controller goes to its direct mode.
    virtual void SetColours(std::size_t controller, std::size_t first, std::span<const Colour> colours) = 0;
    // The controller's direct mode, with the colours it last had.
    virtual void SetCustomMode(std::size_t controller) = 0;
    // Mode `modeIndex` of the controller's list with the speed, brightness, direction and colours
    // of `mode`, as the window would set it; `save`: SaveMode rather than UpdateMode.
    virtual void SetMode(std::size_t controller, std::size_t modeIndex, const Mode& mode, bool save) = 0;
    // The client named itself.
    virtual void ClientNamed(const std::string& name) { (void)name; }
};

// One connected client: takes its bytes as they come (packets may arrive split or several at
// once), answers the requests and hands the changes to the host. A packet that breaks the protocol
// (wrong magic, a size over kMaxPacketBytes, an unknown controller, zone or LED, data that does not
// match its sizes) ends the session: the server closes that client.
class Session {
  public:
    explicit Session(Host& host) : m_host(host) {}

    // Appends answers to `out`. False once the session has ended; Error() then says why.
    bool Feed(std::span<const uint8_t> bytes, std::vector<uint8_t>& out);
    const std::string& Error() const { return m_error; }
    // The version agreed with the client (0 until it asks).
    uint32_t Protocol() const { return m_protocol; }
    const std::string& ClientName() const { return m_clientName; }

  private:
    bool Handle(const Header& header, std::span<const uint8_t> data, std::vector<uint8_t>& out);
    bool Fail(std::string why);

    Host& m_host;
    std::vector<uint8_t> m_pending; // bytes of a packet not complete yet
    std::string m_error;
    uint32_t m_protocol = 0;
    std::string m_clientName;
};

// The packet that tells every client the device list changed.
std::vector<uint8_t> DeviceListUpdatedPacket();

} // namespace nk7x::sdk
