// The text requests of the emulator's control socket (NAME.ctl): one request, one answer that
// starts with "ok" or "error: ".
#pragma once

#include <string>
#include <string_view>

namespace nk7x {

class SimDevice;

// Carries out one request on `device` and returns the answer.
std::string RunSimControl(SimDevice& device, std::string_view request);

// The requests, one a line, for --help and the "help" request.
const char* SimControlHelp();

// Hex dump: lines "OOOO: xx xx ..." of 16 bytes, offsets counted from `base`.
std::string SimHexDump(const uint8_t* data, size_t size, size_t base = 0);

} // namespace nk7x
