// Arbitrary bytes from a lighting program's connection, fed to an SDK protocol session over a host
// of two controllers (a matrix keyboard and a two-LED mouse): once in one piece and once in pieces
// of random sizes. Beyond not crashing: every answer is a whole packet whose size matches its data;
// the host hears only of controllers, LEDs and modes that exist; once the session has ended it
// takes nothing more; and how the bytes are split changes neither the answers nor the host's calls.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/sdk/SdkProtocol.h"

namespace {

using namespace nk7x::sdk;

constexpr uint32_t kKeyRows = 6;
constexpr uint32_t kKeyColumns = 18;
constexpr uint32_t kKeys = 100;
constexpr uint32_t kLogoLeds = 4;

Mode MakeMode(const char* name, int32_t value, uint32_t flags, ColourMode colourMode, uint32_t colours) {
    Mode m;
    m.name = name;
    m.value = value;
    m.flags = flags;
    m.speedMax = 4;
    m.brightnessMax = 4;
    m.coloursMin = m.coloursMax = colours;
    m.colourMode = colourMode;
    m.colours.assign(colours, Colour{255, 255, 255});
    return m;
}

Controller Keyboard() {
    Controller c;
    c.type = DeviceType::Keyboard;
    c.name = "Keyboard";
    c.modes = {MakeMode("Direct", 0, kModePerLedColour, ColourMode::PerLed, 0),
               MakeMode("Wave", 3, kModeSpeed | kModeDirectionLR | kModeBrightness, ColourMode::None, 0),
               MakeMode("Static", 1, kModeSpecificColour | kModeManualSave, ColourMode::ModeSpecific, 1)};
    Zone keys{"Keys", ZoneType::Matrix, kKeys, kKeyRows, kKeyColumns, {}};
    // Every other cell of the last 16 is a gap, as around a space bar: 108 cells, 100 keys.
    constexpr uint32_t kCells = kKeyRows * kKeyColumns;
    for (uint32_t cell = 0, led = 0; cell < kCells; ++cell)
        keys.matrix.push_back(cell >= kCells - 2 * (kCells - kKeys) && cell % 2 == 0 ? kNoLed : led++);
    c.zones = {keys, {"Logo", ZoneType::Linear, kLogoLeds, 0, 0, {}}};
    for (uint32_t i = 0; i < kKeys + kLogoLeds; ++i)
        c.leds.push_back({"LED " + std::to_string(i), i});
    c.colours.resize(c.leds.size());
    return c;
}

Controller Mouse() {
    Controller c;
    c.type = DeviceType::Mouse;
    c.name = "Mouse";
    c.modes = {MakeMode("Direct", 0, kModePerLedColour, ColourMode::PerLed, 0),
               MakeMode("Breathing", 2, kModeSpeed | kModeSpecificColour, ColourMode::ModeSpecific, 2)};
    c.zones = {{"Body", ZoneType::Linear, 2, 0, 0, {}}};
    c.leds = {{"Wheel", 0}, {"Logo", 1}};
    c.colours.resize(2);
    return c;
}

struct Call {
    int kind; // 0 colours, 1 custom mode, 2 mode, 3 saved mode, 4 name
    std::size_t controller;
    std::size_t at;
    std::vector<Colour> colours;
    Mode mode;
    std::string name;
    bool operator==(const Call&) const = default;
};

// Checks every call against the controllers and keeps their state, so Describe() changes as a
// program's would.
class FuzzHost : public Host {
  public:
    std::vector<Controller> controllers{Keyboard(), Mouse()};
    std::vector<Call> calls;

    std::size_t ControllerCount() override { return controllers.size(); }

    Controller Describe(std::size_t c) override {
        if (c >= controllers.size())
            __builtin_trap();
        return controllers[c];
    }

    void SetColours(std::size_t c, std::size_t first, std::span<const Colour> colours) override {
        if (c >= controllers.size())
            __builtin_trap();
        std::vector<Colour>& now = controllers[c].colours;
        if (first > now.size() || colours.size() > now.size() - first)
            __builtin_trap();
        std::copy(colours.begin(), colours.end(), now.begin() + static_cast<std::ptrdiff_t>(first));
        controllers[c].activeMode = 0;
        calls.push_back({0, c, first, {colours.begin(), colours.end()}, {}, {}});
    }

    void SetCustomMode(std::size_t c) override {
        if (c >= controllers.size())
            __builtin_trap();
        controllers[c].activeMode = 0;
        calls.push_back({1, c, 0, {}, {}, {}});
    }

    void SetMode(std::size_t c, std::size_t modeIndex, const Mode& mode, bool save) override {
        if (c >= controllers.size() || modeIndex >= controllers[c].modes.size())
            __builtin_trap();
        controllers[c].activeMode = static_cast<int32_t>(modeIndex);
        controllers[c].modes[modeIndex].speed = mode.speed;
        controllers[c].modes[modeIndex].colours = mode.colours;
        calls.push_back({save ? 3 : 2, c, modeIndex, {}, mode, {}});
    }

    void ClientNamed(const std::string& name) override {
        if (name.size() > 256)
            __builtin_trap();
        for (const char ch : name) {
            if (ch < 0x20 || ch > 0x7E)
                __builtin_trap();
        }
        calls.push_back({4, 0, 0, {}, {}, name});
    }
};

uint32_t Word(const std::vector<uint8_t>& b, std::size_t at) {
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 | uint32_t{b[at + 3]} << 24;
}

// What one Feed added to `out`: whole answers, each of a request the session answers.
void CheckAnswers(const std::vector<uint8_t>& out, std::size_t at) {
    while (at < out.size()) {
        if (out.size() - at < kHeaderBytes)
            __builtin_trap();
        if (out[at] != 'O' || out[at + 1] != 'R' || out[at + 2] != 'G' || out[at + 3] != 'B')
            __builtin_trap();
        const uint32_t device = Word(out, at + 4);
        const uint32_t id = Word(out, at + 8);
        const uint32_t size = Word(out, at + 12);
        at += kHeaderBytes;
        if (size > out.size() - at)
            __builtin_trap();
        switch (static_cast<PacketId>(id)) {
        case PacketId::RequestControllerCount:
            if (size != 4 || Word(out, at) != 2)
                __builtin_trap();
            break;
        case PacketId::RequestProtocolVersion:
            if (size != 4 || Word(out, at) != kHighestProtocol)
                __builtin_trap();
            break;
        case PacketId::RequestControllerData:
            // The data's own total repeats the packet's size.
            if (device >= 2 || size < 4 || Word(out, at) != size)
                __builtin_trap();
            break;
        case PacketId::RequestProfileList:
        case PacketId::RequestPluginList:
            if (size != 6 || Word(out, at) != 6 || out[at + 4] != 0 || out[at + 5] != 0)
                __builtin_trap();
            break;
        default:
            __builtin_trap();
        }
        at += size;
    }
}

struct Outcome {
    bool ok = true;
    std::vector<uint8_t> out;
    std::vector<Call> calls;
    std::string error;
    uint32_t protocol = 0;
    std::string name;
};

// Pieces of 1 up to 2^(shape % 17) bytes; shape 0 is the whole input at once.
Outcome Run(std::span<const uint8_t> in, uint8_t shape) {
    FuzzHost host;
    Session session(host);
    Outcome o;
    uint32_t state = shape * 2654435761U + 1;
    const std::size_t maxPiece = std::size_t{1} << (shape % 17);
    std::size_t at = 0;
    while (at < in.size()) {
        std::size_t n = in.size() - at;
        if (shape != 0) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            n = std::min(n, 1 + state % maxPiece);
        }
        const std::size_t outBefore = o.out.size();
        const std::size_t callsBefore = host.calls.size();
        const bool ok = session.Feed(in.subspan(at, n), o.out);
        if (!o.ok && (ok || o.out.size() != outBefore || host.calls.size() != callsBefore))
            __builtin_trap(); // an ended session took more
        CheckAnswers(o.out, outBefore);
        if (ok != session.Error().empty())
            __builtin_trap(); // an error exactly when Feed says the session ended
        if (session.Protocol() > kHighestProtocol)
            __builtin_trap();
        o.ok = o.ok && ok;
        at += n;
    }
    o.calls = host.calls;
    o.error = session.Error();
    o.protocol = session.Protocol();
    o.name = session.ClientName();
    return o;
}

} // namespace

// Input: one byte choosing how the rest is split, then the bytes a client sends.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const std::span<const uint8_t> in(data + 1, size - 1);
    const Outcome whole = Run(in, 0);
    const Outcome split = Run(in, data[0]);
    if (whole.ok != split.ok || whole.out != split.out || whole.calls != split.calls ||
        whole.error != split.error || whole.protocol != split.protocol || whole.name != split.name)
        __builtin_trap();
    return 0;
}
