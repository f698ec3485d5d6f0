// Faults the emulated device can inject into its answers, and their text form (used by
// `nk7x-sim --fault` and the control socket): KIND[=VALUE][@CMD][+SKIP][:once|:always|:N],
// comma-separated.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nk7x {

enum class SimFaultKind {
    StaleReply, // "stale":   one reply with a wrong echo goes out before the real reply
    NoReply,    // "noreply": the frame is taken and applied, but no reply is sent
    SlowReply,  // "slow=MS": the reply is sent MS milliseconds late (the device is busy meanwhile)
    Status,     // "status=0xFF" / "status=0xFE": the frame is refused with that status, nothing applied
    Unplug,     // "unplug":  the device disappears after taking the frame, before answering
    Sleep,      // "sleep":   a receiver's mouse falls asleep once the frame is answered
};

struct SimFault {
    SimFaultKind kind = SimFaultKind::NoReply;
    int command = -1; // command code (byte 3) the fault waits for; -1 = any command
    int value = 0;    // SlowReply: delay in ms; Status: the status byte
    int count = 1;    // how many matching frames it still acts on; 0 = persistent
    int skip = 0;     // matching frames it lets pass before it acts (a fault in the middle of a transfer)

    bool Matches(uint8_t code) const { return command < 0 || command == code; }
};

// Parses a fault list. Items: "stale", "noreply", "slow=MS", "status=0xFF|0xFE|N", "unplug", "sleep", each
// optionally followed by "@CMD" (decimal or 0x hex), by "+SKIP" (let SKIP matching frames pass
// first) and by ":once" (default), ":always" or ":N".
// Returns false with a message in `error` (when given) on any malformed item; `out` is then untouched.
bool ParseSimFaults(std::string_view faultList, std::vector<SimFault>& out, std::string* error = nullptr);

// The text form of one fault, as ParseSimFaults reads it back.
std::string FormatSimFault(const SimFault& fault);

} // namespace nk7x
