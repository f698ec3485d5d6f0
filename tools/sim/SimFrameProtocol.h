// SimFrameProtocol: what the device does with each message on its command interface. It reads the
// 64-byte command frame, lets the armed faults act on it, applies it to the device memory, builds the
// reply and records the message in the frame log. No sockets and no lock of its own: the caller holds
// the device lock and sends what the outcome asks for.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "tools/sim/SimDevice.h"
#include "tools/sim/SimMemory.h"

namespace nk7x {

// What has to go out (or happen) for one message.
struct SimFrameOutcome {
    bool unplug = false; // an unplug fault: gone after taking the request, before answering
    bool stale = false;  // a reply with a wrong echo goes out at once, before the real one
    std::array<uint8_t, kSimFrameBytes> staleBytes{};
    bool reply = false; // a reply is due `delayMs` after the device is free
    std::array<uint8_t, kSimFrameBytes> replyBytes{};
    int delayMs = 0;
};

class SimFrameProtocol {
  public:
    // `options` as in use (kind defaults filled in); both outlive the protocol.
    SimFrameProtocol(const SimOptions& options, SimCounters& counters);

    // One message from connection `connection`; `node`: it came through a bus node, not the socket.
    SimFrameOutcome Take(int connection, bool node, const uint8_t* msg, size_t size);

    SimMemory memory;
    std::vector<SimFault> faults; // in the order they were added
    std::deque<SimFrameRecord> log;
    bool mouseAsleep = false; // receiver only

  private:
    void Record(const SimFrameRecord& record);

    const SimOptions& m_options;
    SimCounters& m_counters;
    uint64_t m_sequence = 0;
};

} // namespace nk7x
