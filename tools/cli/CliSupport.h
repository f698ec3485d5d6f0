// Shared pieces of nk7x-cli: exit codes, parsed arguments, number and hex parsing, messages, and
// the turn from link result codes into exit codes.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <json/value.h>

#include "link/CommandFrame.h"

namespace nk7x::cli {

// Distinct exit codes, so scripts can tell the failures apart.
enum class Exit : int {
    Ok = 0,
    Failure = 1, // anything not listed below
    Usage = 2,
    Absent = 3,       // no supported device, or the path is gone
    Permission = 4,   // the node exists but this user may not open it
    Timeout = 5,      // the device did not answer, or the request could not be written
    DeviceStatus = 6, // the device answered with a failure status
};

inline constexpr const char* kUdevHint =
    "Install the udev rule that gives the logged-in user the device:\n"
    "  sudo install -m 644 udev/70-nk7x.rules /etc/udev/rules.d/ && sudo udevadm control --reload && "
    "sudo udevadm trigger\n"
    "then unplug and replug the device (or log in again).";

struct Options {
    bool log = false;
    bool json = false;
    std::string path;               // --path: the command interface to use
    std::optional<uint32_t> length; // --length (raw)
    std::optional<uint32_t> offset; // --offset (raw)
    std::vector<std::string> words; // command and its arguments
};

// Parses argv; false with a message on an unknown option or a missing option value.
bool ParseArguments(int argc, char** argv, Options& out, std::string& error);

// True when the first word of the command line that is neither an option nor the value of one of
// `valued` (options that take a value) is `command`.
bool FirstCommandIs(int argc, char** argv, std::string_view command,
                    std::initializer_list<std::string_view> valued);

// A decimal or 0x-prefixed number not above `max`.
std::optional<uint32_t> ParseNumber(std::string_view text, uint32_t max);
// Hex bytes: pairs of digits, optionally separated by blanks, ':' or '-'. Empty text is no bytes.
std::optional<std::vector<uint8_t>> ParseHex(std::string_view text);
std::string ToHex(const uint8_t* data, size_t size, char separator = ' ');
// Text from outside (a server's answer) as a terminal may show it: control characters, the C1
// controls and the escape that starts a terminal sequence become "?", so that nothing it holds
// moves the cursor, changes colours or retitles the window.
std::string TerminalSafe(std::string_view text);
std::string Hex16(uint16_t value); // 0x-prefixed, 4 digits

// The exit code and message for a link result code other than success.
Exit ExitForResult(LinkResult result);
std::string ResultText(LinkResult result);

// Prints a value as styled JSON on stdout.
void PrintJson(const Json::Value& value);
// Prints "nk7x-cli: message" on stderr and returns `code`.
Exit Fail(Exit code, const std::string& message);

} // namespace nk7x::cli
