#include "tools/sim/SimControl.h"

#include <charconv>
#include <cstdio>
#include <utility>
#include <vector>

#include "tools/sim/HeadsetLighting.h"
#include "tools/sim/PadMemory.h"
#include "tools/sim/SimDevice.h"
#include "tools/sim/SimMemory.h"

namespace nk7x {

namespace {

std::vector<std::string_view> Split(std::string_view s) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r'))
            ++i;
        const size_t start = i;
        while (i < s.size() && !(s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r'))
            ++i;
        if (i > start)
            words.push_back(s.substr(start, i - start));
    }
    return words;
}

bool Number(std::string_view s, long max, long& out) {
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s.remove_prefix(2);
        base = 16;
    }
    if (s.empty())
        return false;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out, base);
    return ec == std::errc() && end == s.data() + s.size() && out >= 0 && out <= max;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Hex bytes from the words, spaces between bytes optional ("01 02" or "0102").
bool HexBytes(const std::vector<std::string_view>& words, size_t first, std::vector<uint8_t>& out) {
    std::string digits;
    for (size_t i = first; i < words.size(); ++i)
        digits.append(words[i]);
    if (digits.empty() || digits.size() % 2 != 0)
        return false;
    for (size_t i = 0; i < digits.size(); i += 2) {
        const int hi = HexDigit(digits[i]), lo = HexDigit(digits[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
    return true;
}

std::string Error(const std::string& message) {
    return "error: " + message + "\n";
}
std::string Ok(const std::string& body = {}) {
    return "ok\n" + body;
}
std::string Dump(const std::vector<uint8_t>& bytes, size_t base = 0) {
    return Ok(SimHexDump(bytes.data(), bytes.size(), base));
}
const char* YesNo(bool b) {
    return b ? "yes" : "no";
}

std::string Status(SimDevice& device) {
    const SimCounters c = device.Counters();
    const SimOptions& o = device.Options();
    std::string s;
    auto line = [&s](const char* key, const std::string& value) {
        s += std::string(key) + "=" + value + "\n";
    };
    line("name", o.name);
    line("kind", SimKindName(o.kind));
    if (SimIsMouse(o.kind)) {
        line("buttons", std::to_string(o.buttonCount));
        line("dpi_step", std::to_string(o.dpiStep));
        line("max_steps", std::to_string(o.maxDpiSteps));
        line("min_dpi", std::to_string(o.minDpi));
    } else if (o.kind == SimKind::Pad) {
        line("leds", std::to_string(kSimPadLedCount));
    } else if (o.kind == SimKind::Headset) {
        line("leds", std::to_string(kSimHeadsetLedCount));
    } else {
        line("keys", std::to_string(o.keyCount));
    }
    if (!SimHasPadMemory(o.kind))
        line("macro_capacity", std::to_string(o.macroCapacity));
    if (o.kind == SimKind::Receiver)
        line("mouse_asleep", YesNo(device.IsMouseAsleep()));
    line("reply_delay_ms", std::to_string(o.replyDelayMs));
    line("plugged", YesNo(device.IsPlugged()));
    line("folder", device.Folder());
    line("connections", std::to_string(device.ConnectionCount()));
    line("messages", std::to_string(c.messagesReceived));
    line("frames", std::to_string(c.framesReceived));
    line("replies", std::to_string(c.repliesSent));
    line("stale_replies", std::to_string(c.staleRepliesSent));
    line("malformed", std::to_string(c.malformedMessages));
    if (o.kind == SimKind::Headset)
        line("lighting_reports", std::to_string(c.lightingReports));
    line("checksum_errors", std::to_string(c.checksumErrors));
    line("refused", std::to_string(c.refusedFrames));
    line("live_frames", std::to_string(c.liveFrames));
    line("notifications", std::to_string(c.notificationsSent));
    line("dropped_reports", std::to_string(c.droppedReports));
    line("unplugs", std::to_string(c.unplugs));
    if (o.kind == SimKind::Receiver)
        line("frames_while_asleep", std::to_string(c.framesWhileAsleep));
    line("live_lighting", YesNo(device.IsLiveLighting()));
    line("in_config", YesNo(device.InConfig()));
    std::string faults;
    for (const SimFault& f : device.Faults())
        faults += (faults.empty() ? "" : ",") + FormatSimFault(f);
    line("faults", faults.empty() ? "none" : faults);
    return Ok(s);
}

// One line per LED bank, 13 RRGGBB values each, then the report counts.
std::string HeadsetFrameText(const SimHeadsetFrame& frame) {
    std::string s;
    char cell[16];
    const std::pair<uint8_t, const decltype(frame.bank22)*> banks[] = {{kSimHeadsetBank22, &frame.bank22},
                                                                       {kSimHeadsetBank44, &frame.bank44}};
    for (const auto& [id, bank] : banks) {
        std::snprintf(cell, sizeof cell, "bank 0x%02x:", id);
        s += cell;
        for (size_t led = 0; led < kSimHeadsetLedCount; ++led) {
            std::snprintf(cell, sizeof cell, " %02x%02x%02x", (*bank)[led * 3], (*bank)[led * 3 + 1],
                          (*bank)[led * 3 + 2]);
            s += cell;
        }
        s += "\n";
    }
    return s + "reports " + std::to_string(frame.reports) + " refused " + std::to_string(frame.refused) +
           "\n";
}

std::string DumpRequest(SimDevice& device, const std::vector<std::string_view>& w) {
    if (w.size() < 2)
        return Error(
            "dump what? (params OFFSET LEN, record [N], keytable, leds, lighting PAGE, macros, info, "
            "live, status, shoot)");
    const std::string_view what = w[1];
    if (what == "params") {
        long offset = 0, length = 0;
        if (w.size() != 4 || !Number(w[2], 0xFFFF, offset) || !Number(w[3], 0xFFFF, length))
            return Error("usage: dump params OFFSET LEN");
        const std::vector<uint8_t> all = device.Parameters();
        if (size_t(offset) + size_t(length) > all.size())
            return Error("the parameter area has " + std::to_string(all.size()) + " bytes");
        return Dump(std::vector<uint8_t>(all.begin() + offset, all.begin() + offset + length),
                    size_t(offset));
    }
    if (what == "record") {
        long n = 0;
        if (w.size() > 3 || (w.size() == 3 && !Number(w[2], 0xFFFF, n)))
            return Error("usage: dump record [N]");
        if (w.size() == 2)
            n = device.Parameters()[0]; // the record the device uses now
        const std::vector<uint8_t> record = device.SettingsRecord(static_cast<int>(n));
        if (record.empty())
            return Error("no settings record " + std::to_string(n) + " in the parameter area");
        return Dump(record, size_t(n) * SimSettingsStride(device.Options().kind));
    }
    if (w.size() > 2 && what != "lighting")
        return Error("dump " + std::string(what) + " takes no arguments");
    // A pad or a headset holds its settings, live colours and status only.
    const SimKind kind = device.Options().kind;
    if (SimHasPadMemory(kind)) {
        const char* lacks = what == "keytable" ? "key table"
                            : what == "leds"   ? "LED table"
                            : what == "macros" ? "macro area"
                            : what == "shoot"  ? "shoot area"
                                               : nullptr;
        if (lacks)
            return Error(std::string(kind == SimKind::Pad ? "a mouse pad" : "a headset") + " has no " +
                         lacks);
    }
    if (what == "keytable") {
        const std::vector<uint8_t> table = device.KeyTable();
        std::string s;
        char line[32];
        for (size_t p = 0; p + 2 < table.size(); p += 3) {
            std::snprintf(line, sizeof line, "%03zu: %02x %02x %02x\n", p / 3, table[p], table[p + 1],
                          table[p + 2]);
            s += line;
        }
        return Ok(s);
    }
    if (what == "leds") {
        if (SimIsMouse(device.Options().kind))
            return Error("a mouse has no LED table");
        return Dump(device.LedTable());
    }
    if (what == "lighting") {
        long page = 0;
        if (w.size() != 3 || !Number(w[2], 255, page))
            return Error("usage: dump lighting PAGE");
        const std::vector<uint8_t> bytes = device.LightingPage(static_cast<int>(page));
        if (bytes.empty())
            return Error("no lighting page " + std::to_string(page) + " (the device has " +
                         std::to_string(device.Options().lightingPages) + ")");
        return Dump(bytes, size_t(page) * kSimLightingPageBytes);
    }
    if (what == "macros")
        return Dump(device.MacroArea());
    if (what == "info")
        return Dump(device.DeviceInfo());
    if (what == "live") {
        if (kind == SimKind::Headset)
            return Ok(HeadsetFrameText(device.HeadsetLeds()));
        return Dump(device.LiveLighting());
    }
    if (what == "status")
        return Dump(device.StatusBlock());
    if (what == "shoot")
        return Dump(device.ShootArea());
    return Error("unknown area '" + std::string(what) + "'");
}

// "set status BATTERY POWER [PHONE]": two or three short numbers. The 6-byte hex form needs twelve
// digits, which words of at most three digits (or 0x and two) never make up, so the forms never meet.
bool PowerStatusWords(const std::vector<std::string_view>& w) {
    if (w.size() != 4 && w.size() != 5)
        return false;
    for (size_t i = 2; i < w.size(); ++i) {
        const std::string_view word = w[i];
        const bool hex = word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
        if (word.empty() || word.size() > (hex ? 4u : 3u))
            return false;
        for (size_t j = hex ? 2 : 0; j < word.size(); ++j)
            if (hex ? HexDigit(word[j]) < 0 : (word[j] < '0' || word[j] > '9'))
                return false;
    }
    return true;
}

std::string SetRequest(SimDevice& device, const std::vector<std::string_view>& w) {
    std::vector<uint8_t> bytes;
    if (w.size() >= 4 && w[1] == "params") {
        long offset = 0;
        if (!Number(w[2], 0xFFFF, offset) || !HexBytes(w, 3, bytes))
            return Error("usage: set params OFFSET HEX");
        if (!device.SetParameters(size_t(offset), bytes))
            return Error("outside the parameter area");
        return Ok();
    }
    if (w.size() >= 3 && w[1] == "status") {
        if (PowerStatusWords(w)) {
            long battery = 0, power = 0, phone = -1;
            if (!Number(w[2], 100, battery) || !Number(w[3], 2, power) ||
                (w.size() == 5 && !Number(w[4], 255, phone)))
                return Error("usage: set status BATTERY POWER [PHONE] (0..100, 0 powered / 1 charging / "
                             "2 on battery, 0..255)");
            device.SetPowerStatus(static_cast<int>(battery), static_cast<int>(power),
                                  static_cast<int>(phone));
            return Ok();
        }
        if (!HexBytes(w, 2, bytes) || bytes.size() != kSimStatusBlockBytes)
            return Error("usage: set status HEX (6 bytes) | set status BATTERY POWER [PHONE]");
        std::array<uint8_t, kSimStatusBlockBytes> block{};
        std::copy(bytes.begin(), bytes.end(), block.begin());
        device.SetStatusBlock(block);
        return Ok();
    }
    return Error("usage: set params OFFSET HEX | set status HEX | set status BATTERY POWER [PHONE]");
}

} // namespace

const char* SimControlHelp() {
    return "status                   counters, connections, armed faults\n"
           "notify CODE              consumer-control report CODE, then its release\n"
           "fault LIST               arm faults (see the fault forms)\n"
           "fault clear              disarm every fault\n"
           "fault                    list the armed faults\n"
           "dump params OFFSET LEN   bytes of the parameter area\n"
           "dump record [N]          settings record N (default: the one byte 0 names)\n"
           "dump keytable            key (mouse: button) table, one position a line (not a pad or headset)\n"
           "dump leds                LED table (keyboard)\n"
           "dump lighting PAGE       one custom colour page of 512 bytes (keyboard)\n"
           "dump macros              macro area (not a pad or headset)\n"
           "dump info                device information record\n"
           "dump live|status|shoot   live colours, status block, shoot area (not a pad or headset);\n"
           "                         a headset's live: its two LED banks as its output reports set them\n"
           "set params OFFSET HEX    change settings as the device's own keys do\n"
           "set status HEX           replace the 6-byte status block\n"
           "set status BATTERY POWER [PHONE]\n"
           "                         battery %, power 0 powered / 1 charging / 2 on battery, phone type\n"
           "                         (a pad shows it: 1 iPhone, 2 Samsung, 3 other, else none)\n"
           "sleep | wake             (receiver) the mouse behind it falls asleep / wakes up\n"
           "unplug | plug            pull the device out, put it back\n"
           "reset                    back to the factory state\n";
}

std::string SimHexDump(const uint8_t* data, size_t size, size_t base) {
    std::string s;
    char cell[16];
    for (size_t i = 0; i < size; i += 16) {
        std::snprintf(cell, sizeof cell, "%04zx:", base + i);
        s += cell;
        for (size_t j = i; j < size && j < i + 16; ++j) {
            std::snprintf(cell, sizeof cell, " %02x", data[j]);
            s += cell;
        }
        s += "\n";
    }
    return s;
}

std::string RunSimControl(SimDevice& device, std::string_view request) {
    const std::vector<std::string_view> w = Split(request);
    if (w.empty())
        return Error("empty request");
    const std::string_view verb = w[0];
    if (verb == "help")
        return Ok(SimControlHelp());
    if (verb == "status")
        return w.size() == 1 ? Status(device) : Error("status takes no arguments");
    if (verb == "notify") {
        long code = 0;
        if (w.size() != 2 || !Number(w[1], 0xFFFF, code))
            return Error("usage: notify CODE (0..0xFFFF)");
        const int reached = device.SendNotification(static_cast<uint16_t>(code));
        return Ok("connections=" + std::to_string(reached) + "\n");
    }
    if (verb == "fault") {
        if (w.size() == 1) {
            std::string s;
            for (const SimFault& f : device.Faults())
                s += FormatSimFault(f) + "\n";
            return Ok(s);
        }
        if (w.size() == 2 && w[1] == "clear") {
            device.ClearFaults();
            return Ok();
        }
        std::string faultList;
        for (size_t i = 1; i < w.size(); ++i)
            faultList += std::string(w[i]);
        std::string error;
        if (!device.AddFaults(faultList, &error))
            return Error(error);
        return Ok();
    }
    if (verb == "dump")
        return DumpRequest(device, w);
    if (verb == "set")
        return SetRequest(device, w);
    if (verb == "unplug" && w.size() == 1) {
        device.Unplug();
        return Ok();
    }
    if (verb == "plug" && w.size() == 1) {
        if (!device.Start())
            return Error(device.LastError());
        return Ok();
    }
    if ((verb == "sleep" || verb == "wake") && w.size() == 1) {
        if (!device.SetMouseAsleep(verb == "sleep"))
            return Error(std::string("only a receiver's mouse sleeps; this is a ") +
                         SimKindName(device.Options().kind));
        return Ok();
    }
    if (verb == "reset" && w.size() == 1) {
        device.ResetToFactory();
        return Ok();
    }
    return Error("unknown request '" + std::string(request.substr(0, 80)) + "' (try help)");
}

} // namespace nk7x
