#include "tools/sim/SimFrameProtocol.h"

#include <algorithm>
#include <cstring>

#include "tools/sim/HeadsetLighting.h"
#include "tools/sim/SimDescriptorParts.h"
#include "tools/sim/SimFrame.h"

namespace nk7x {

namespace {

constexpr uint8_t kStaleFill = 0xEE;

// An echo that cannot be mistaken for the real one, and never 0.
uint8_t StaleEcho(uint8_t command) {
    const uint8_t e = static_cast<uint8_t>(command ^ 0x40);
    return e != 0 ? e : 0x80;
}

} // namespace

std::vector<uint8_t> SimFrameRecord::Payload() const {
    const size_t n = std::min<size_t>(length, kSimFramePayload);
    return std::vector<uint8_t>(raw.begin() + 8, raw.begin() + 8 + static_cast<std::ptrdiff_t>(n));
}

SimFrameProtocol::SimFrameProtocol(const SimOptions& options, SimCounters& counters)
    : memory(options), m_options(options), m_counters(counters) {}

void SimFrameProtocol::Record(const SimFrameRecord& record) {
    if (m_options.frameLogLimit == 0)
        return;
    log.push_back(record);
    while (log.size() > m_options.frameLogLimit)
        log.pop_front();
}

SimFrameOutcome SimFrameProtocol::Take(int connection, bool node, const uint8_t* msg, size_t size) {
    SimFrameOutcome out;
    ++m_counters.messagesReceived;
    SimFrameRecord rec;
    rec.sequence = ++m_sequence;
    rec.connection = connection;
    // Without an OUT endpoint the gadget hands over what came by SET_REPORT.
    rec.controlPipe = node && m_options.kind == SimKind::Headset;
    rec.size = size;
    std::memcpy(rec.raw.data(), msg, std::min(size, rec.raw.size()));
    rec.wellFormed = size == kSimFrameBytes && msg[0] == kSimReportVendor;
    if (m_options.kind == SimKind::Headset && IsSimHeadsetLightingReport(msg, size)) {
        // An output report, not a command: it sets LED colours and is never answered, and the
        // faults, which act on command frames, leave it alone.
        rec.lightingReport = true;
        ++m_counters.lightingReports;
        ApplySimHeadsetLightingReport(memory.headsetLeds, msg);
        Record(rec);
        return out;
    }
    if (!rec.wellFormed) {
        // Not a command frame (a wrong size or another report): the device ignores it.
        ++m_counters.malformedMessages;
        Record(rec);
        return out;
    }
    const SimFrameFields request = ParseSimFrame(msg);
    rec.command = request.command;
    rec.length = request.length;
    rec.offset = request.offset;
    rec.checksumValid = SimFrameChecksum(msg) == request.checksum;
    ++m_counters.framesReceived;
    ++m_counters.perCommand[request.command];
    if (!rec.checksumValid)
        ++m_counters.checksumErrors;

    bool stale = false, noReply = false, unplug = false, fallAsleep = false;
    int delayMs = m_options.replyDelayMs, forcedStatus = -1;
    for (auto it = faults.begin(); it != faults.end();) {
        if (!it->Matches(request.command)) {
            ++it;
            continue;
        }
        if (it->skip > 0) {
            --it->skip;
            ++it;
            continue;
        }
        switch (it->kind) {
        case SimFaultKind::StaleReply:
            stale = true;
            break;
        case SimFaultKind::NoReply:
            noReply = true;
            break;
        case SimFaultKind::SlowReply:
            delayMs += it->value;
            break;
        case SimFaultKind::Status:
            forcedStatus = it->value;
            break;
        case SimFaultKind::Unplug:
            unplug = true;
            break;
        case SimFaultKind::Sleep:
            fallAsleep = m_options.kind == SimKind::Receiver;
            break;
        }
        if (it->count > 0 && --it->count == 0)
            it = faults.erase(it);
        else
            ++it;
    }

    if (unplug) {
        // Gone after taking the request, before acting on it or answering.
        Record(rec);
        out.unplug = true;
        return out;
    }

    SimFrameFields reply;
    reply.reportId = kSimReportVendor;
    reply.command = request.command;
    reply.length = request.length;
    reply.offset = request.offset;
    uint8_t status = 0;
    bool lostInTheAir = false; // for a sleeping mouse: the receiver passes it on, nobody answers
    if (forcedStatus >= 0)
        status = static_cast<uint8_t>(forcedStatus);
    else if (m_options.verifyChecksum && !rec.checksumValid)
        status = kSimStatusBadFrame;
    else if (request.length > kSimFramePayload)
        status = kSimStatusBadFrame;
    else if (mouseAsleep && request.command == kSimCommandProbe) {
        status = kSimStatusOk; // the receiver itself answers that the mouse does not
        reply.data[0] = kSimProbeAsleep;
    } else if (mouseAsleep) {
        lostInTheAir = true;
        noReply = true;
        ++m_counters.framesWhileAsleep;
    } else
        status = memory.Execute(request.command, request.length, request.offset, request.data.data(),
                                reply.data.data());
    if (!lostInTheAir) {
        if (status == kSimStatusRefused || status == kSimStatusBadFrame)
            ++m_counters.refusedFrames;
        else if (request.command == 18)
            ++m_counters.liveFrames;
    }
    reply.status = status;
    rec.status = status;
    rec.answered = !noReply;
    Record(rec);
    if (fallAsleep)
        mouseAsleep = true; // this frame is answered; the next ones are not

    if (stale) {
        SimFrameFields old;
        old.reportId = kSimReportVendor;
        old.command = StaleEcho(request.command);
        old.status = kSimStatusOk;
        old.data.fill(kStaleFill);
        SerialiseSimFrame(old, out.staleBytes.data());
        out.stale = true;
    }
    if (!noReply) {
        SerialiseSimFrame(reply, out.replyBytes.data());
        out.reply = true;
        out.delayMs = delayMs;
    }
    return out;
}

} // namespace nk7x
