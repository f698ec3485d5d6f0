#include "tools/cli/CliSupport.h"

#include <algorithm>

#include <cstdio>
#include <iostream>

#include <json/writer.h>

#include "link/CommandFrame.h"

namespace nk7x::cli {

bool ParseArguments(int argc, char** argv, Options& out, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                error = std::string(name) + " needs a value";
                return nullptr;
            }
            return argv[++i];
        };
        if (arg == "--log") {
            out.log = true;
        } else if (arg == "--json") {
            out.json = true;
        } else if (arg == "--path") {
            const char* v = value("--path");
            if (!v)
                return false;
            out.path = v;
        } else if (arg == "--length" || arg == "--offset") {
            const char* v = value(argv[i]);
            if (!v)
                return false;
            const auto n = ParseNumber(v, arg == "--length" ? kFramePayloadSize : 0xFFFF);
            if (!n) {
                error = std::string("bad value for ") + std::string(arg) + ": " + v;
                return false;
            }
            (arg == "--length" ? out.length : out.offset) = *n;
        } else if (arg == "--help" || arg == "-h") {
            out.words.assign(1, "help");
            return true;
        } else if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
            error = "unknown option " + std::string(arg);
            return false;
        } else {
            out.words.emplace_back(arg);
        }
    }
    return true;
}

std::optional<uint32_t> ParseNumber(std::string_view text, uint32_t max) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (value > max)
            return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

std::optional<std::vector<uint8_t>> ParseHex(std::string_view text) {
    std::vector<uint8_t> bytes;
    int high = -1;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c == ' ' || c == ':' || c == '-' || c == ',') {
            if (high >= 0)
                return std::nullopt; // a lone digit
            continue;
        } else
            return std::nullopt;
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<uint8_t>(high << 4 | digit));
            high = -1;
        }
    }
    if (high >= 0)
        return std::nullopt;
    return bytes;
}

std::string TerminalSafe(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) {
            out += '?';
        } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            out += '?'; // U+0080..U+009F, the C1 controls (CSI among them)
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string ToHex(const uint8_t* data, size_t size, char separator) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string s;
    s.reserve(size * 3);
    for (size_t i = 0; i < size; ++i) {
        if (i > 0 && separator)
            s += separator;
        s += kDigits[data[i] >> 4];
        s += kDigits[data[i] & 0x0F];
    }
    return s;
}

std::string Hex16(uint16_t value) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%04x", value);
    return buf;
}

Exit ExitForResult(LinkResult result) {
    switch (result) {
    case kResultOk:
        return Exit::Ok;
    case kResultFailed:
    case kResultWriteFailed:
        return Exit::Timeout;
    case kResultDeviceFailed:
    case kResultDeviceRefused:
        return Exit::DeviceStatus;
    default:
        return Exit::Failure;
    }
}

std::string ResultText(LinkResult result) {
    switch (result) {
    case kResultOk:
        return "success";
    case kResultFailed:
        return "no answer from the device (time-out or transfer error)";
    case kResultWriteFailed:
        return "the request could not be written to the device";
    case kResultDeviceFailed:
        return "the device answered with status 0xFF (failed)";
    case kResultDeviceRefused:
        return "the device answered with status 0xFE (refused)";
    case kResultBadPage:
        return "no such key-table page";
    default:
        return "result " + std::to_string(ResultCode(result));
    }
}

void PrintJson(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "   ";
    builder["emitUTF8"] = true;
    std::cout << Json::writeString(builder, value) << '\n';
}

Exit Fail(Exit code, const std::string& message) {
    std::cerr << "nk7x-cli: " << message << '\n';
    return code;
}

bool FirstCommandIs(int argc, char** argv, std::string_view command,
                    std::initializer_list<std::string_view> valued) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (std::find(valued.begin(), valued.end(), arg) != valued.end()) {
            ++i; // its value follows
            continue;
        }
        if (!arg.empty() && arg[0] == '-')
            continue;
        return arg == command;
    }
    return false;
}

} // namespace nk7x::cli
