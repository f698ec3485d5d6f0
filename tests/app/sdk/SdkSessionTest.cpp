#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "app/sdk/SdkProtocol.h"

namespace nk7x::sdk {
namespace {

using Bytes = std::vector<uint8_t>;

// ---- What a client sends -------------------------------------------------------------------------

// `v` in `n` bytes, low byte first.
Bytes Le(uint32_t v, int n = 4) {
    Bytes b;
    for (int i = 0; i < n; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return b;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes Packet(uint32_t device, PacketId id, const Bytes& data = {}) {
    Bytes b;
    AppendHeader(b, device, id, static_cast<uint32_t>(data.size()));
    return Join({b, data});
}

Bytes ColourList(const std::vector<Colour>& colours) {
    Bytes b = Le(static_cast<uint32_t>(colours.size()), 2);
    for (const Colour& c : colours)
        b.insert(b.end(), {c.red, c.green, c.blue, 0});
    return b;
}

Bytes LedsData(const std::vector<Colour>& colours) {
    return Join({Le(static_cast<uint32_t>(6 + 4 * colours.size())), ColourList(colours)});
}

Bytes ZoneData(uint32_t zone, const std::vector<Colour>& colours) {
    return Join({Le(static_cast<uint32_t>(10 + 4 * colours.size())), Le(zone), ColourList(colours)});
}

Bytes SingleData(int32_t led, Colour c) {
    return Join({Le(static_cast<uint32_t>(led)), {c.red, c.green, c.blue, 0}});
}

// ---- What the server answers ---------------------------------------------------------------------

// Reads the server's bytes the way a client does, field by field.
class Reader {
  public:
    explicit Reader(const Bytes& b) : m_b(b) {}
    bool Ok() const { return m_ok; }
    std::size_t Left() const { return m_b.size() - m_at; }

    Bytes Take(std::size_t n) {
        if (Left() < n)
            m_ok = false;
        if (!m_ok)
            return Bytes(n, 0);
        m_at += n;
        return Bytes(m_b.begin() + static_cast<std::ptrdiff_t>(m_at - n),
                     m_b.begin() + static_cast<std::ptrdiff_t>(m_at));
    }
    uint32_t Number(std::size_t n) {
        const Bytes b = Take(n);
        uint32_t v = 0;
        for (std::size_t i = 0; i < n; ++i)
            v |= uint32_t{b[i]} << (8 * i);
        return v;
    }
    uint32_t U32() { return Number(4); }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    uint16_t U16() { return static_cast<uint16_t>(Number(2)); }
    std::string Str() {
        const Bytes b = Take(U16());
        EXPECT_TRUE(!b.empty() && b.back() == 0) << "a string ends with its NUL";
        return b.empty() ? "" : std::string(b.begin(), b.end() - 1);
    }
    std::vector<Colour> Colours() {
        std::vector<Colour> c(U16());
        for (Colour& one : c) {
            const Bytes b = Take(4);
            one = {b[0], b[1], b[2]};
            EXPECT_EQ(b[3], 0);
        }
        return c;
    }

  private:
    const Bytes& m_b;
    std::size_t m_at = 0;
    bool m_ok = true;
};

struct Answer {
    uint32_t device = 0;
    uint32_t id = 0;
    Bytes data;
};

// Splits the output into packets; every one must be whole and start with the magic.
std::vector<Answer> Answers(const Bytes& out) {
    std::vector<Answer> answers;
    Reader r(out);
    while (r.Ok() && r.Left() > 0) {
        EXPECT_EQ(r.Take(4), (Bytes{'O', 'R', 'G', 'B'}));
        Answer a{r.U32(), r.U32(), {}};
        a.data = r.Take(r.U32());
        EXPECT_TRUE(r.Ok()) << "a cut answer";
        answers.push_back(a);
    }
    return answers;
}

// Compares a controller's data for `protocol` with the controller, field by field.
void ExpectDescribes(const Bytes& data, const Controller& c, uint32_t protocol) {
    SCOPED_TRACE("protocol " + std::to_string(protocol) + ", " + c.name);
    Reader r(data);
    EXPECT_EQ(r.U32(), data.size());
    EXPECT_EQ(r.I32(), static_cast<int32_t>(c.type));
    EXPECT_EQ(r.Str(), c.name);
    if (protocol >= 1) {
        EXPECT_EQ(r.Str(), c.vendor);
    }
    EXPECT_EQ(r.Str(), c.description);
    EXPECT_EQ(r.Str(), c.version);
    EXPECT_EQ(r.Str(), c.serial);
    EXPECT_EQ(r.Str(), c.location);
    ASSERT_EQ(r.U16(), c.modes.size());
    EXPECT_EQ(r.I32(), c.activeMode);
    for (const Mode& m : c.modes) {
        Mode back;
        back.name = r.Str();
        back.value = r.I32();
        back.flags = r.U32();
        back.speedMin = r.U32();
        back.speedMax = r.U32();
        if (protocol >= 3) {
            back.brightnessMin = r.U32();
            back.brightnessMax = r.U32();
        }
        back.coloursMin = r.U32();
        back.coloursMax = r.U32();
        back.speed = r.U32();
        if (protocol >= 3)
            back.brightness = r.U32();
        back.direction = r.U32();
        back.colourMode = static_cast<ColourMode>(r.U32());
        back.colours = r.Colours();
        Mode expected = m;
        if (protocol < 3)
            expected.brightnessMin = expected.brightnessMax = expected.brightness = 0;
        EXPECT_EQ(back, expected) << m.name;
    }
    ASSERT_EQ(r.U16(), c.zones.size());
    for (const Zone& z : c.zones) {
        SCOPED_TRACE(z.name);
        EXPECT_EQ(r.Str(), z.name);
        EXPECT_EQ(r.I32(), static_cast<int32_t>(z.type));
        EXPECT_EQ(r.U32(), z.ledCount);
        EXPECT_EQ(r.U32(), z.ledCount);
        EXPECT_EQ(r.U32(), z.ledCount);
        const uint16_t matrixBytes = r.U16();
        if (z.matrix.empty()) {
            EXPECT_EQ(matrixBytes, 0);
        } else {
            EXPECT_EQ(matrixBytes, (2 + z.matrix.size()) * 4);
            EXPECT_EQ(r.U32(), z.matrixHeight);
            EXPECT_EQ(r.U32(), z.matrixWidth);
            std::vector<uint32_t> cells(z.matrix.size());
            for (uint32_t& cell : cells)
                cell = r.U32();
            EXPECT_EQ(cells, z.matrix);
        }
        if (protocol >= 4) {
            EXPECT_EQ(r.U16(), 0) << "segments";
        }
        if (protocol >= 5) {
            EXPECT_EQ(r.U32(), 0u) << "zone flags";
        }
    }
    ASSERT_EQ(r.U16(), c.leds.size());
    for (const Led& led : c.leds) {
        EXPECT_EQ(r.Str(), led.name);
        EXPECT_EQ(r.U32(), led.value);
    }
    EXPECT_EQ(r.Colours(), c.colours);
    if (protocol >= 5) {
        EXPECT_EQ(r.U16(), 0) << "alternate LED names";
        EXPECT_EQ(r.U32(), 1u) << "a local controller";
    }
    EXPECT_TRUE(r.Ok()) << "the data ends early";
    EXPECT_EQ(r.Left(), 0u) << "bytes after the controller";
}

// ---- The program's side --------------------------------------------------------------------------

struct Call {
    std::string what; // colours, custom, mode, save, name
    std::size_t controller = 0;
    std::size_t at = 0; // the first LED, or the mode index
    std::vector<Colour> colours;
    Mode mode;
    std::string name;
    bool operator==(const Call&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Call& c) {
    return os << c.what << " controller " << c.controller << " at " << c.at << " (" << c.colours.size()
              << " colours)";
}

Controller Keyboard() {
    Controller c;
    c.type = DeviceType::Keyboard;
    c.name = "NK-7X Keyboard";
    c.vendor = "NK";
    c.description = "Gaming keyboard";
    c.version = "1.04";
    c.serial = "KB0001";
    c.location = "HID: /dev/hidraw3";
    Mode direct{"Direct", 0, kModePerLedColour, 0, 0, 0, 0, 0, 0, 0, 0, 0, ColourMode::PerLed, {}};
    Mode wave{"Wave",
              3,
              kModeSpeed | kModeDirectionLR | kModeBrightness,
              1,
              5,
              0,
              4,
              0,
              0,
              3,
              2,
              kDirectionRight,
              ColourMode::None,
              {}};
    Mode steady{"Static",
                1,
                kModeSpecificColour | kModeBrightness | kModeManualSave,
                0,
                0,
                1,
                4,
                1,
                1,
                0,
                4,
                kDirectionLeft,
                ColourMode::ModeSpecific,
                {{255, 0, 16}}};
    c.modes = {direct, wave, steady};
    c.activeMode = 1;
    // Ten keys in a 3 x 4 grid with two gaps, then a logo strip of two.
    Zone keys{"Keys", ZoneType::Matrix, 10, 3, 4, {0, 1, 2, 3, 4, kNoLed, 5, 6, 7, 8, kNoLed, 9}};
    Zone logo{"Logo", ZoneType::Linear, 2, 0, 0, {}};
    c.zones = {keys, logo};
    for (uint32_t i = 0; i < 12; ++i) {
        c.leds.push_back({i < 10 ? "Key " + std::to_string(i) : "Logo " + std::to_string(i - 10), 0x100 + i});
        c.colours.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(2 * i), 200});
    }
    return c;
}

Controller Mouse() {
    Controller c;
    c.type = DeviceType::Mouse;
    c.name = "NK-7X Mouse";
    c.vendor = "NK";
    c.description = "Gaming mouse";
    c.version = "2.0";
    c.location = "HID: /dev/hidraw5";
    c.modes = {{"Direct", 0, kModePerLedColour, 0, 0, 0, 0, 0, 0, 0, 0, 0, ColourMode::PerLed, {}}};
    c.zones = {{"Body", ZoneType::Linear, 2, 0, 0, {}}};
    c.leds = {{"Wheel", 0}, {"Logo", 1}};
    c.colours = {{1, 2, 3}, {4, 5, 6}};
    return c;
}

class FakeHost : public Host {
  public:
    std::vector<Controller> controllers{Keyboard(), Mouse()};
    std::vector<Call> calls;

    std::size_t ControllerCount() override { return controllers.size(); }
    Controller Describe(std::size_t c) override { return controllers.at(c); }
    void SetColours(std::size_t c, std::size_t first, std::span<const Colour> colours) override {
        calls.push_back({"colours", c, first, {colours.begin(), colours.end()}, {}, {}});
    }
    void SetCustomMode(std::size_t c) override { calls.push_back({"custom", c, 0, {}, {}, {}}); }
    void SetMode(std::size_t c, std::size_t index, const Mode& mode, bool save) override {
        calls.push_back({save ? "save" : "mode", c, index, {}, mode, {}});
    }
    void ClientNamed(const std::string& name) override { calls.push_back({"name", 0, 0, {}, {}, name}); }
};

// ---- The tests -----------------------------------------------------------------------------------

// What a lighting program says on connecting, and a few changes.
Mode ChangedWave() {
    Mode wave = Keyboard().modes[1];
    wave.speed = 5;
    wave.brightness = 1;
    wave.direction = kDirectionLeft;
    return wave;
}

Bytes Conversation() {
    const Mode wave = ChangedWave();
    return Join({
        Packet(0, PacketId::SetClientName, {'L', 'i', 'g', 'h', 't', 's', 0}),
        Packet(0, PacketId::RequestProtocolVersion, Le(5)),
        Packet(0, PacketId::RequestControllerCount),
        Packet(0, PacketId::RequestControllerData, Le(5)),
        Packet(1, PacketId::RequestControllerData, Le(5)),
        Packet(0, PacketId::RequestControllerData, Le(3)),
        Packet(0, PacketId::RequestControllerData), // an old client sends no version
        Packet(1, PacketId::RequestControllerData, Le(99)),
        Packet(0, PacketId::RequestProfileList),
        Packet(0, PacketId::RequestPluginList),
        Packet(0, PacketId::SaveProfile, {'x', 0}),
        Packet(0, static_cast<PacketId>(4242), Bytes(300, 7)), // a packet of a newer protocol
        Packet(1, PacketId::ResizeZone, Le(0)),
        Packet(0, PacketId::SetCustomMode),
        Packet(0, PacketId::UpdateLeds, LedsData({{9, 9, 9}, {8, 8, 8}})),
        Packet(0, PacketId::UpdateZoneLeds, ZoneData(1, {{1, 0, 0}, {0, 1, 0}})),
        Packet(1, PacketId::UpdateSingleLed, SingleData(1, {7, 7, 7})),
        Packet(0, PacketId::UpdateMode, EncodeModeRequest(1, wave, 5)),
        Packet(0, PacketId::SaveMode, EncodeModeRequest(1, wave, 5)),
    });
}

struct Outcome {
    bool ok = false;
    Bytes out;
    std::vector<Call> calls;
    std::string error;
};

Outcome FeedInPieces(const Bytes& in, std::size_t piece) {
    FakeHost host;
    Session session(host);
    Outcome o;
    o.ok = true;
    for (std::size_t at = 0; at < in.size() && o.ok; at += piece) {
        const std::size_t n = std::min(piece, in.size() - at);
        o.ok = session.Feed(std::span(in).subspan(at, n), o.out);
    }
    o.calls = host.calls;
    o.error = session.Error();
    return o;
}

TEST(SdkSession, AnswersAConversationWithControllersForEachProtocol) {
    FakeHost host;
    Session session(host);
    Bytes out;
    ASSERT_TRUE(session.Feed(Conversation(), out)) << session.Error();
    EXPECT_EQ(session.Protocol(), 5u);
    EXPECT_EQ(session.ClientName(), "Lights");

    const std::vector<Answer> a = Answers(out);
    ASSERT_EQ(a.size(), 9u);
    EXPECT_EQ(a[0].id, 40u);
    EXPECT_EQ(a[0].data, Le(kHighestProtocol));
    EXPECT_EQ(a[1].id, 0u);
    EXPECT_EQ(a[1].data, Le(2));
    const uint32_t dataDevices[] = {0, 1, 0, 0, 1};
    const uint32_t dataProtocols[] = {5, 5, 3, 0, 5};
    for (int i = 0; i < 5; ++i) {
        const Answer& answer = a[static_cast<std::size_t>(2 + i)];
        EXPECT_EQ(answer.id, 1u);
        EXPECT_EQ(answer.device, dataDevices[i]);
        ExpectDescribes(answer.data, host.controllers[dataDevices[i]], dataProtocols[i]);
    }
    // Empty lists: their own size, then a count of 0.
    EXPECT_EQ(a[7].id, 150u);
    EXPECT_EQ(a[7].data, (Bytes{6, 0, 0, 0, 0, 0}));
    EXPECT_EQ(a[8].id, 200u);
    EXPECT_EQ(a[8].data, (Bytes{6, 0, 0, 0, 0, 0}));

    const Mode wave = ChangedWave();
    const std::vector<Call> expected = {
        {"name", 0, 0, {}, {}, "Lights"},
        {"custom", 0, 0, {}, {}, {}},
        {"colours", 0, 0, {{9, 9, 9}, {8, 8, 8}}, {}, {}},
        {"colours", 0, 10, {{1, 0, 0}, {0, 1, 0}}, {}, {}}, // the logo follows the ten keys
        {"colours", 1, 1, {{7, 7, 7}}, {}, {}},
        {"mode", 0, 1, {}, wave, {}},
        {"save", 0, 1, {}, wave, {}},
    };
    EXPECT_EQ(host.calls, expected);

    EXPECT_EQ(DeviceListUpdatedPacket(), Packet(0, PacketId::DeviceListUpdated));
}

TEST(SdkSession, HowTheBytesAreSplitChangesNothing) {
    const Bytes in = Conversation();
    const Outcome whole = FeedInPieces(in, in.size());
    ASSERT_TRUE(whole.ok);
    for (std::size_t piece : {1, 3, 15, 16, 17, 4096}) {
        SCOPED_TRACE(piece);
        const Outcome split = FeedInPieces(in, piece);
        EXPECT_TRUE(split.ok) << split.error;
        EXPECT_EQ(split.out, whole.out);
        EXPECT_EQ(split.calls, whole.calls);
    }
    // The largest packet allowed, arriving a byte at a time, is taken and passed over.
    const Bytes big = Join({Packet(0, static_cast<PacketId>(7000), Bytes(kMaxPacketBytes, 0xAA)),
                            Packet(0, PacketId::RequestControllerCount)});
    const Outcome o = FeedInPieces(big, 1);
    EXPECT_TRUE(o.ok) << o.error;
    ASSERT_EQ(Answers(o.out).size(), 1u);
    EXPECT_EQ(Answers(o.out)[0].data, Le(2));
}

TEST(SdkSession, UpdatesReachTheirLedsAndModesFollowTheAgreedProtocol) {
    FakeHost host;
    Session session(host);
    Bytes out;
    Mode steady = Keyboard().modes[2];
    steady.colours = {{0, 0, 255}};
    steady.brightness = 3;
    const Bytes in = Join({
        // Before the version is agreed a mode has the first layout: no brightness, so the mode keeps
        // the brightness it has.
        Packet(0, PacketId::UpdateMode, EncodeModeRequest(2, steady, 0)),
        Packet(0, PacketId::RequestProtocolVersion, Le(3)),
        Packet(0, PacketId::SaveMode, EncodeModeRequest(2, steady, 3)),
        // Zone 0 starts at the first LED; fewer colours than LEDs change only the first ones.
        Packet(0, PacketId::UpdateZoneLeds, ZoneData(0, {{5, 5, 5}})),
        Packet(1, PacketId::UpdateZoneLeds, ZoneData(0, {{6, 6, 6}, {7, 7, 7}})),
        Packet(1, PacketId::UpdateLeds, LedsData({})),
        Packet(0, PacketId::UpdateSingleLed, SingleData(11, {1, 2, 3})),
    });
    ASSERT_TRUE(session.Feed(in, out)) << session.Error();
    EXPECT_EQ(session.Protocol(), 3u);
    ASSERT_EQ(host.calls.size(), 6u);
    Mode keptBrightness = steady;
    keptBrightness.brightness = Keyboard().modes[2].brightness;
    keptBrightness.brightnessMin = Keyboard().modes[2].brightnessMin;
    keptBrightness.brightnessMax = Keyboard().modes[2].brightnessMax;
    ASSERT_NE(keptBrightness.brightness, steady.brightness);
    EXPECT_EQ(host.calls[0], (Call{"mode", 0, 2, {}, keptBrightness, {}}));
    EXPECT_EQ(host.calls[1], (Call{"save", 0, 2, {}, steady, {}}));
    EXPECT_EQ(host.calls[2], (Call{"colours", 0, 0, {{5, 5, 5}}, {}, {}}));
    EXPECT_EQ(host.calls[3], (Call{"colours", 1, 0, {{6, 6, 6}, {7, 7, 7}}, {}, {}}));
    EXPECT_EQ(host.calls[4], (Call{"colours", 1, 0, {}, {}, {}}));
    EXPECT_EQ(host.calls[5], (Call{"colours", 0, 11, {{1, 2, 3}}, {}, {}}));

    // A client asking for more than is served gets the highest.
    ASSERT_TRUE(session.Feed(Packet(0, PacketId::RequestProtocolVersion, Le(1000)), out));
    EXPECT_EQ(session.Protocol(), kHighestProtocol);
}

TEST(SdkSession, ClientNameIsPrintableAndShort) {
    FakeHost host;
    Session session(host);
    Bytes out;
    Bytes name = {'A', '\t', 'b', 0xC3, 0xA9, 'c', 0, 'h', 'i', 'd', 'd', 'e', 'n'};
    ASSERT_TRUE(session.Feed(Packet(0, PacketId::SetClientName, name), out));
    EXPECT_EQ(session.ClientName(), "Abc");
    ASSERT_TRUE(session.Feed(Packet(0, PacketId::SetClientName, Bytes(5000, 'x')), out));
    EXPECT_EQ(session.ClientName(), std::string(256, 'x'));
    ASSERT_EQ(host.calls.size(), 2u);
    EXPECT_EQ(host.calls[1].name, session.ClientName());
    EXPECT_TRUE(out.empty());
}

TEST(SdkSession, AnyBrokenPacketEndsTheSessionBeforeTheHostHearsOfIt) {
    Mode wave = Keyboard().modes[1];
    Bytes shortLeds = LedsData({{1, 1, 1}, {2, 2, 2}});
    shortLeds[4] = 3; // says three colours, has two
    Bytes wrongSize = LedsData({{1, 1, 1}});
    wrongSize[0] = 11;
    Bytes modeCut = EncodeModeRequest(1, wave, 0);
    modeCut.resize(modeCut.size() - 2);
    modeCut[0] = static_cast<uint8_t>(modeCut.size());
    Bytes badMagic = Packet(0, PacketId::RequestControllerCount);
    badMagic[3] = 'X';
    Bytes tooLarge;
    AppendHeader(tooLarge, 0, PacketId::UpdateLeds, 70000);

    struct Case {
        const char* what;
        Bytes packet;
        std::string error;
    };
    const Case cases[] = {
        {"wrong magic", badMagic, "does not start with ORGB"},
        {"too large", tooLarge, "a packet of 70000 bytes is larger than the 65536 allowed"},
        {"one past the limit", Packet(0, PacketId::SaveProfile, Bytes(kMaxPacketBytes + 1, 0)),
         "65537 bytes"},
        {"unknown controller", Packet(2, PacketId::RequestControllerData, Le(5)),
         "controller 2 does not exist"},
        {"unknown controller for an ignored packet", Packet(9, PacketId::AddSegment), "controller 9"},
        {"custom mode of no controller", Packet(2, PacketId::SetCustomMode), "controller 2"},
        {"part of a version", Packet(0, PacketId::RequestProtocolVersion, {5, 0}), "2 bytes"},
        {"leds: fewer colours than said", Packet(0, PacketId::UpdateLeds, shortLeds), "3 colours need 18"},
        {"leds: a size that is not the packet's", Packet(0, PacketId::UpdateLeds, wrongSize), "says 11"},
        {"leds: no room for the count", Packet(0, PacketId::UpdateLeds, Le(4)), "before the colour count"},
        {"leds: more than the controller has",
         Packet(1, PacketId::UpdateLeds, LedsData(std::vector<Colour>(3))), "3 colours for the 2 LEDs"},
        {"zone: unknown", Packet(0, PacketId::UpdateZoneLeds, ZoneData(2, {})), "zone 2 of controller 0"},
        {"zone: more than it has", Packet(0, PacketId::UpdateZoneLeds, ZoneData(1, std::vector<Colour>(3))),
         "3 colours for the 2 LEDs of zone 1"},
        {"single: past the last", Packet(0, PacketId::UpdateSingleLed, SingleData(12, {})), "LED 12"},
        {"single: negative", Packet(0, PacketId::UpdateSingleLed, SingleData(-1, {})), "LED -1"},
        {"single: short", Packet(0, PacketId::UpdateSingleLed, Bytes(7, 0)), "7 bytes instead of 8"},
        {"mode: unknown", Packet(0, PacketId::UpdateMode, EncodeModeRequest(3, wave, 0)), "mode 3"},
        {"mode: negative", Packet(0, PacketId::SaveMode, EncodeModeRequest(-1, wave, 0)), "mode -1"},
        {"mode: cut", Packet(0, PacketId::UpdateMode, modeCut), "ends inside the mode"},
        // Version 0 is agreed; a mode with the brightness fields does not match it.
        {"mode: a later layout", Packet(0, PacketId::UpdateMode, EncodeModeRequest(1, wave, 3)),
         "bytes after the mode"},
    };
    const Bytes good = Packet(0, PacketId::UpdateSingleLed, SingleData(0, {1, 1, 1}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeHost host;
        Session session(host);
        Bytes out;
        // A good packet, the broken one, and a request that must go unanswered, all in one read.
        EXPECT_FALSE(
            session.Feed(Join({good, c.packet, Packet(0, PacketId::RequestControllerCount), good}), out));
        EXPECT_NE(session.Error().find(c.error), std::string::npos) << session.Error();
        EXPECT_TRUE(out.empty());
        EXPECT_EQ(host.calls.size(), 1u);
        // Nothing more is read once the session has ended.
        EXPECT_FALSE(session.Feed(Join({good, Packet(0, PacketId::RequestControllerCount)}), out));
        EXPECT_TRUE(out.empty());
        EXPECT_EQ(host.calls.size(), 1u);
    }
}

TEST(SdkSession, ForeignBytesEndTheSessionBeforeAWholeHeader) {
    FakeHost host;
    Session session(host);
    Bytes out;
    const Bytes partOfMagic = {'O', 'R'};
    EXPECT_TRUE(session.Feed(partOfMagic, out));
    const Bytes http = {'G', 'E', 'T'};
    EXPECT_FALSE(session.Feed(http, out));
    EXPECT_NE(session.Error().find("ORGB"), std::string::npos) << session.Error();

    // A size over the limit is refused as soon as the header is whole, without waiting for the data.
    Session greedy(host);
    Bytes header;
    AppendHeader(header, 0, PacketId::UpdateLeds, 0xFFFFFFFF);
    EXPECT_FALSE(greedy.Feed(header, out));
    EXPECT_NE(greedy.Error().find("4294967295 bytes"), std::string::npos) << greedy.Error();
}

} // namespace
} // namespace nk7x::sdk
