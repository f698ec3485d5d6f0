#include "app/sdk/SdkProtocol.h"

#include <algorithm>
#include <array>
#include <utility>

namespace nk7x::sdk {
namespace {

constexpr std::array<uint8_t, 4> kMagic{'O', 'R', 'G', 'B'};
// With its NUL, a string's length has to fit the 16-bit length field.
constexpr std::size_t kMaxStringBytes = 0xFFFE;
constexpr std::size_t kMaxClientName = 256;
constexpr uint32_t kControllerLocal = 1; // the controller is a device of this machine, not a remote one

// Writing: every integer byte by byte, low byte first, whatever the machine's own order.

void PutU16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

void PutI32(std::vector<uint8_t>& out, int32_t v) {
    PutU32(out, static_cast<uint32_t>(v));
}

void PatchU32(std::vector<uint8_t>& out, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

void PutString(std::vector<uint8_t>& out, const std::string& s) {
    const std::size_t n = std::min(s.size(), kMaxStringBytes);
    PutU16(out, static_cast<uint16_t>(n + 1));
    out.insert(out.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n));
    out.push_back(0);
}

// A list longer than its 16-bit count is cut, so the count and the entries written agree.
uint16_t Count16(std::size_t n) {
    return static_cast<uint16_t>(std::min<std::size_t>(n, 0xFFFF));
}

void PutColours(std::vector<uint8_t>& out, const std::vector<Colour>& colours) {
    const uint16_t n = Count16(colours.size());
    PutU16(out, n);
    for (uint16_t i = 0; i < n; ++i) {
        out.push_back(colours[i].red);
        out.push_back(colours[i].green);
        out.push_back(colours[i].blue);
        out.push_back(0);
    }
}

// A mode reads the same in a controller's description and in UpdateMode.
void PutMode(std::vector<uint8_t>& out, const Mode& m, uint32_t protocol) {
    PutString(out, m.name);
    PutI32(out, m.value);
    PutU32(out, m.flags);
    PutU32(out, m.speedMin);
    PutU32(out, m.speedMax);
    if (protocol >= 3) {
        PutU32(out, m.brightnessMin);
        PutU32(out, m.brightnessMax);
    }
    PutU32(out, m.coloursMin);
    PutU32(out, m.coloursMax);
    PutU32(out, m.speed);
    if (protocol >= 3)
        PutU32(out, m.brightness);
    PutU32(out, m.direction);
    PutU32(out, static_cast<uint32_t>(m.colourMode));
    PutColours(out, m.colours);
}

void PutZone(std::vector<uint8_t>& out, const Zone& z, uint32_t protocol) {
    PutString(out, z.name);
    PutI32(out, static_cast<int32_t>(z.type));
    PutU32(out, z.ledCount);
    PutU32(out, z.ledCount);
    PutU32(out, z.ledCount);
    // The matrix's byte count is 16 bits: a grid too large for it goes without one.
    const uint64_t cells = uint64_t{z.matrixHeight} * z.matrixWidth;
    const uint64_t matrixBytes = (2 + cells) * 4;
    if (cells == 0 || matrixBytes > 0xFFFF) {
        PutU16(out, 0);
    } else {
        PutU16(out, static_cast<uint16_t>(matrixBytes));
        PutU32(out, z.matrixHeight);
        PutU32(out, z.matrixWidth);
        for (std::size_t i = 0; i < cells; ++i)
            PutU32(out, i < z.matrix.size() ? z.matrix[i] : kNoLed);
    }
    if (protocol >= 4)
        PutU16(out, 0); // segments
    if (protocol >= 5)
        PutU32(out, 0); // zone flags
}

// Reading a request's data; every read checks that the bytes are there.
class Reader {
  public:
    explicit Reader(std::span<const uint8_t> data) : m_data(data) {}

    std::size_t Left() const { return m_data.size() - m_at; }

    bool U16(uint16_t& v) {
        if (Left() < 2)
            return false;
        v = static_cast<uint16_t>(m_data[m_at] | m_data[m_at + 1] << 8);
        m_at += 2;
        return true;
    }

    bool U32(uint32_t& v) {
        if (Left() < 4)
            return false;
        v = 0;
        for (std::size_t i = 0; i < 4; ++i)
            v |= uint32_t{m_data[m_at + i]} << (8 * i);
        m_at += 4;
        return true;
    }

    bool I32(int32_t& v) {
        uint32_t u = 0;
        if (!U32(u))
            return false;
        v = static_cast<int32_t>(u);
        return true;
    }

    // The text up to the first NUL of the string's bytes.
    bool String(std::string& s) {
        uint16_t n = 0;
        if (!U16(n) || Left() < n)
            return false;
        const auto bytes = m_data.subspan(m_at, n);
        const auto nul = std::find(bytes.begin(), bytes.end(), uint8_t{0});
        s.assign(bytes.begin(), nul);
        m_at += n;
        return true;
    }

    // `n` colours, their count already read.
    bool Colours(uint16_t n, std::vector<Colour>& colours) {
        if (Left() / 4 < n)
            return false;
        colours.resize(n);
        for (Colour& c : colours) {
            c = {m_data[m_at], m_data[m_at + 1], m_data[m_at + 2]};
            m_at += 4;
        }
        return true;
    }

  private:
    std::span<const uint8_t> m_data;
    std::size_t m_at = 0;
};

bool ReadMode(Reader& r, Mode& m, uint32_t protocol) {
    uint32_t colourMode = 0;
    uint16_t colours = 0;
    bool ok = r.String(m.name) && r.I32(m.value) && r.U32(m.flags) && r.U32(m.speedMin) && r.U32(m.speedMax);
    if (ok && protocol >= 3)
        ok = r.U32(m.brightnessMin) && r.U32(m.brightnessMax);
    ok = ok && r.U32(m.coloursMin) && r.U32(m.coloursMax) && r.U32(m.speed);
    if (ok && protocol >= 3)
        ok = r.U32(m.brightness);
    ok = ok && r.U32(m.direction) && r.U32(colourMode) && r.U16(colours) && r.Colours(colours, m.colours);
    m.colourMode = static_cast<ColourMode>(colourMode);
    return ok;
}

Header ReadHeader(std::span<const uint8_t> bytes) {
    Reader r(bytes.subspan(kMagic.size(), kHeaderBytes - kMagic.size()));
    Header h;
    r.U32(h.device);
    r.U32(h.id);
    r.U32(h.size);
    return h;
}

std::string PacketName(uint32_t id) {
    switch (static_cast<PacketId>(id)) {
    case PacketId::RequestControllerData:
        return "RequestControllerData";
    case PacketId::RequestProtocolVersion:
        return "RequestProtocolVersion";
    case PacketId::ResizeZone:
        return "ResizeZone";
    case PacketId::ClearSegments:
        return "ClearSegments";
    case PacketId::AddSegment:
        return "AddSegment";
    case PacketId::UpdateLeds:
        return "UpdateLeds";
    case PacketId::UpdateZoneLeds:
        return "UpdateZoneLeds";
    case PacketId::UpdateSingleLed:
        return "UpdateSingleLed";
    case PacketId::SetCustomMode:
        return "SetCustomMode";
    case PacketId::UpdateMode:
        return "UpdateMode";
    case PacketId::SaveMode:
        return "SaveMode";
    default:
        return "packet " + std::to_string(id);
    }
}

bool IsDevicePacket(uint32_t id) {
    switch (static_cast<PacketId>(id)) {
    case PacketId::RequestControllerData:
    case PacketId::ResizeZone:
    case PacketId::ClearSegments:
    case PacketId::AddSegment:
    case PacketId::UpdateLeds:
    case PacketId::UpdateZoneLeds:
    case PacketId::UpdateSingleLed:
    case PacketId::SetCustomMode:
    case PacketId::UpdateMode:
    case PacketId::SaveMode:
        return true;
    default:
        return false;
    }
}

// A version a client sends: absent is 0; a part of one is a broken packet.
bool ReadVersion(std::span<const uint8_t> data, uint32_t& version) {
    version = 0;
    if (data.empty())
        return true;
    Reader r(data);
    return r.U32(version);
}

// The leading size of UpdateLeds, UpdateZoneLeds, UpdateMode and SaveMode repeats the packet's.
std::string CheckLeadingSize(Reader& r, std::size_t dataSize) {
    uint32_t size = 0;
    if (!r.U32(size))
        return "the data is " + std::to_string(dataSize) + " bytes, too short for its size";
    if (size != dataSize)
        return "the data is " + std::to_string(dataSize) + " bytes but says " + std::to_string(size);
    return {};
}

std::string CheckColourBytes(std::size_t dataSize, std::size_t before, uint16_t count) {
    const std::size_t wanted = before + 4 * std::size_t{count};
    if (dataSize != wanted)
        return std::to_string(count) + " colours need " + std::to_string(wanted) + " bytes, the data is " +
               std::to_string(dataSize);
    return {};
}

std::size_t LedCount(const std::vector<uint32_t>& zones) {
    std::size_t n = 0;
    for (uint32_t z : zones)
        n += z;
    return n;
}

std::string UpdateLeds(Host& host, std::size_t c, std::span<const uint8_t> data) {
    Reader r(data);
    std::string problem = CheckLeadingSize(r, data.size());
    if (!problem.empty())
        return problem;
    uint16_t n = 0;
    if (!r.U16(n))
        return "the data ends before the colour count";
    problem = CheckColourBytes(data.size(), 6, n);
    if (!problem.empty())
        return problem;
    std::vector<Colour> colours;
    r.Colours(n, colours);
    const std::size_t leds = LedCount(host.ZoneLedCounts(c));
    if (n > leds)
        return std::to_string(n) + " colours for the " + std::to_string(leds) + " LEDs of controller " +
               std::to_string(c);
    host.SetColours(c, 0, colours);
    return {};
}

std::string UpdateZoneLeds(Host& host, std::size_t c, std::span<const uint8_t> data) {
    Reader r(data);
    std::string problem = CheckLeadingSize(r, data.size());
    if (!problem.empty())
        return problem;
    uint32_t zone = 0;
    uint16_t n = 0;
    if (!r.U32(zone) || !r.U16(n))
        return "the data ends before the zone and colour count";
    problem = CheckColourBytes(data.size(), 10, n);
    if (!problem.empty())
        return problem;
    std::vector<Colour> colours;
    r.Colours(n, colours);
    const std::vector<uint32_t> zones = host.ZoneLedCounts(c);
    if (zone >= zones.size())
        return "zone " + std::to_string(zone) + " of controller " + std::to_string(c) +
               " does not exist (it has " + std::to_string(zones.size()) + ")";
    std::size_t first = 0;
    for (uint32_t z = 0; z < zone; ++z)
        first += zones[z];
    if (n > zones[zone])
        return std::to_string(n) + " colours for the " + std::to_string(zones[zone]) + " LEDs of zone " +
               std::to_string(zone);
    host.SetColours(c, first, colours);
    return {};
}

std::string UpdateSingleLed(Host& host, std::size_t c, std::span<const uint8_t> data) {
    if (data.size() != 8)
        return "the data is " + std::to_string(data.size()) + " bytes instead of 8";
    Reader r(data);
    int32_t led = 0;
    r.I32(led);
    const Colour colour{data[4], data[5], data[6]};
    const std::size_t leds = LedCount(host.ZoneLedCounts(c));
    if (led < 0 || static_cast<std::size_t>(led) >= leds)
        return "LED " + std::to_string(led) + " of controller " + std::to_string(c) +
               " does not exist (it has " + std::to_string(leds) + ")";
    host.SetColours(c, static_cast<std::size_t>(led), std::span(&colour, 1));
    return {};
}

std::string UpdateMode(Host& host, std::size_t c, std::span<const uint8_t> data, uint32_t protocol,
                       bool save) {
    Reader r(data);
    const std::string problem = CheckLeadingSize(r, data.size());
    if (!problem.empty())
        return problem;
    int32_t index = 0;
    Mode mode;
    if (!r.I32(index) || !ReadMode(r, mode, protocol))
        return "the data ends inside the mode (protocol " + std::to_string(protocol) + ")";
    // A mode in another protocol's layout seldom ends exactly at the end: refused, not read wrong.
    if (r.Left() != 0)
        return std::to_string(r.Left()) + " bytes after the mode (protocol " + std::to_string(protocol) + ")";
    const Controller controller = host.Describe(c);
    const std::size_t modes = controller.modes.size();
    if (index < 0 || static_cast<std::size_t>(index) >= modes)
        return "mode " + std::to_string(index) + " of controller " + std::to_string(c) +
               " does not exist (it has " + std::to_string(modes) + ")";
    if (protocol < 3) {
        // Such a client sends no brightness: the mode keeps the one it has.
        const Mode& now = controller.modes[static_cast<std::size_t>(index)];
        mode.brightnessMin = now.brightnessMin;
        mode.brightnessMax = now.brightnessMax;
        mode.brightness = now.brightness;
    }
    host.SetMode(c, static_cast<std::size_t>(index), mode, save);
    return {};
}

void AppendCountList(std::vector<uint8_t>& out, PacketId id) {
    // An empty list: its own size (these 4 bytes and the count), then the count.
    AppendHeader(out, 0, id, 6);
    PutU32(out, 6);
    PutU16(out, 0);
}

} // namespace

void AppendHeader(std::vector<uint8_t>& out, uint32_t device, PacketId id, uint32_t size) {
    out.insert(out.end(), kMagic.begin(), kMagic.end());
    PutU32(out, device);
    PutU32(out, static_cast<uint32_t>(id));
    PutU32(out, size);
}

std::vector<uint8_t> EncodeController(const Controller& controller, uint32_t protocol) {
    std::vector<uint8_t> out;
    PutU32(out, 0); // the total, once known
    PutI32(out, static_cast<int32_t>(controller.type));
    PutString(out, controller.name);
    if (protocol >= 1)
        PutString(out, controller.vendor);
    PutString(out, controller.description);
    PutString(out, controller.version);
    PutString(out, controller.serial);
    PutString(out, controller.location);

    const uint16_t modes = Count16(controller.modes.size());
    PutU16(out, modes);
    PutI32(out, controller.activeMode);
    for (uint16_t i = 0; i < modes; ++i)
        PutMode(out, controller.modes[i], protocol);

    const uint16_t zones = Count16(controller.zones.size());
    PutU16(out, zones);
    for (uint16_t i = 0; i < zones; ++i)
        PutZone(out, controller.zones[i], protocol);

    const uint16_t leds = Count16(controller.leds.size());
    PutU16(out, leds);
    for (uint16_t i = 0; i < leds; ++i) {
        PutString(out, controller.leds[i].name);
        PutU32(out, controller.leds[i].value);
    }
    PutColours(out, controller.colours);

    if (protocol >= 5) {
        PutU16(out, 0); // alternate LED names
        PutU32(out, kControllerLocal);
    }
    PatchU32(out, 0, static_cast<uint32_t>(out.size()));
    return out;
}

std::vector<uint8_t> EncodeModeRequest(int32_t modeIndex, const Mode& mode, uint32_t protocol) {
    std::vector<uint8_t> out;
    PutU32(out, 0); // the total, once known
    PutI32(out, modeIndex);
    PutMode(out, mode, protocol);
    PatchU32(out, 0, static_cast<uint32_t>(out.size()));
    return out;
}

std::vector<uint8_t> DeviceListUpdatedPacket() {
    std::vector<uint8_t> out;
    AppendHeader(out, 0, PacketId::DeviceListUpdated, 0);
    return out;
}

bool Session::Fail(std::string why) {
    m_error = std::move(why);
    m_pending.clear();
    m_pending.shrink_to_fit();
    return false;
}

bool Session::Feed(std::span<const uint8_t> bytes, std::vector<uint8_t>& out) {
    if (!m_error.empty())
        return false;
    // Bytes go to m_pending up to the end of the packet they belong to, so no more than one packet
    // is ever held, however the client splits or joins its packets.
    while (!bytes.empty()) {
        const std::size_t wanted = m_pending.size() < kHeaderBytes
                                       ? kHeaderBytes
                                       : kHeaderBytes + std::size_t{ReadHeader(m_pending).size};
        const std::size_t take = std::min(wanted - m_pending.size(), bytes.size());
        m_pending.insert(m_pending.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
        bytes = bytes.subspan(take);

        if (m_pending.size() <= kHeaderBytes) {
            // Checked as soon as the bytes are there: a stream of something else ends at once.
            const std::size_t magic = std::min(m_pending.size(), kMagic.size());
            if (!std::equal(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(magic),
                            kMagic.begin()))
                return Fail("a packet does not start with ORGB: the client does not speak the SDK protocol");
            if (m_pending.size() < kHeaderBytes)
                continue;
            const uint32_t size = ReadHeader(m_pending).size;
            if (size > kMaxPacketBytes)
                return Fail("a packet of " + std::to_string(size) + " bytes is larger than the " +
                            std::to_string(kMaxPacketBytes) + " allowed");
        }
        const Header header = ReadHeader(m_pending);
        if (m_pending.size() < kHeaderBytes + header.size)
            continue;
        if (!Handle(header, std::span<const uint8_t>(m_pending).subspan(kHeaderBytes), out))
            return false;
        m_pending.clear();
    }
    return true;
}

bool Session::Handle(const Header& header, std::span<const uint8_t> data, std::vector<uint8_t>& out) {
    const auto fail = [&](const std::string& problem) {
        return Fail(PacketName(header.id) + ": " + problem);
    };
    if (IsDevicePacket(header.id)) {
        const std::size_t count = m_host.ControllerCount();
        if (header.device >= count)
            return fail("controller " + std::to_string(header.device) + " does not exist (there are " +
                        std::to_string(count) + ")");
    }
    const std::size_t c = header.device;
    std::string problem;
    switch (static_cast<PacketId>(header.id)) {
    case PacketId::RequestControllerCount:
        AppendHeader(out, 0, PacketId::RequestControllerCount, 4);
        PutU32(out, static_cast<uint32_t>(m_host.ControllerCount()));
        break;
    case PacketId::RequestControllerData: {
        uint32_t version = 0;
        if (!ReadVersion(data, version))
            return fail("a protocol version of " + std::to_string(data.size()) + " bytes");
        const std::vector<uint8_t> encoded =
            EncodeController(m_host.Describe(c), std::min(version, kHighestProtocol));
        AppendHeader(out, header.device, PacketId::RequestControllerData,
                     static_cast<uint32_t>(encoded.size()));
        out.insert(out.end(), encoded.begin(), encoded.end());
        break;
    }
    case PacketId::RequestProtocolVersion: {
        uint32_t version = 0;
        if (!ReadVersion(data, version))
            return fail("a protocol version of " + std::to_string(data.size()) + " bytes");
        m_protocol = std::min(version, kHighestProtocol);
        AppendHeader(out, 0, PacketId::RequestProtocolVersion, 4);
        PutU32(out, kHighestProtocol);
        break;
    }
    case PacketId::SetClientName: {
        // Shown in the window and the log: printable ASCII only, and not a page of it.
        std::string name;
        for (const uint8_t b : data) {
            if (b == 0 || name.size() == kMaxClientName)
                break;
            if (b >= 0x20 && b < 0x7F)
                name.push_back(static_cast<char>(b));
        }
        m_clientName = name;
        m_host.ClientNamed(m_clientName);
        break;
    }
    case PacketId::RequestProfileList:
        AppendCountList(out, PacketId::RequestProfileList);
        break;
    case PacketId::RequestPluginList:
        AppendCountList(out, PacketId::RequestPluginList);
        break;
    case PacketId::UpdateLeds:
        problem = UpdateLeds(m_host, c, data);
        break;
    case PacketId::UpdateZoneLeds:
        problem = UpdateZoneLeds(m_host, c, data);
        break;
    case PacketId::UpdateSingleLed:
        problem = UpdateSingleLed(m_host, c, data);
        break;
    case PacketId::SetCustomMode:
        m_host.SetCustomMode(c);
        break;
    case PacketId::UpdateMode:
    case PacketId::SaveMode:
        problem =
            UpdateMode(m_host, c, data, m_protocol, header.id == static_cast<uint32_t>(PacketId::SaveMode));
        break;
    default:
        // Profiles, plugins, rescans and zone sizes are not offered here, and a newer client's
        // packets are passed over rather than ending its session.
        break;
    }
    if (!problem.empty())
        return fail(problem);
    return true;
}

std::vector<uint32_t> Host::ZoneLedCounts(std::size_t controller) {
    std::vector<uint32_t> counts;
    for (const Zone& z : Describe(controller).zones)
        counts.push_back(z.ledCount);
    return counts;
}

} // namespace nk7x::sdk
