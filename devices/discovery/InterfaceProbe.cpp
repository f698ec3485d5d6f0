#include "devices/discovery/InterfaceProbe.h"

#include "link/hid/HidPath.h"
#include "platform/HidBackend.h"

namespace nk7x {
namespace {

constexpr std::chrono::seconds kStampTrust{1};

} // namespace

int CTransportProbe::EnumeratePaths(std::vector<std::string>& paths) {
    paths.clear();
    if (!m_transport.EnumeratePaths())
        return 0;
    while (const char* p = m_transport.NextPath())
        paths.emplace_back(p);
    m_transport.ReleasePaths();
    return 1;
}

HidOpenError CTransportProbe::OpenProbe(const std::string& path, ProbedInterface& out) {
    out = ProbedInterface{};
    if (!m_transport.Open(path, true, false)) {
        const HidOpenError error = m_transport.LastOpenError();
        // A failed open always has a cause; never let it read as success.
        return error == HidOpenError::None ? HidOpenError::Other : error;
    }
    out.vendorId = m_transport.Attributes().vendorId;
    out.productId = m_transport.Attributes().productId;
    out.usagePage = m_transport.Caps().usagePage;
    out.usage = m_transport.Caps().usage;
    return HidOpenError::None;
}

void CTransportProbe::CloseProbe() {
    m_transport.Close();
}

bool CTransportProbe::IsPresent(const std::string& path) {
    // A full open reads and parses the node's descriptor; ten times a second for every attached
    // device that was most of what an idle program did. Once a path has passed it, the node's
    // stamp, read without opening anything, stands for it until the stamp changes, for a second at
    // most: an emulator that died without unplugging leaves its socket file behind.
    const auto now = std::chrono::steady_clock::now();
    HidPathParts parts;
    std::string stamp;
    const bool stamped = ParseHidPath(path, parts) && HidNodeStamp(parts.kind, parts.node, stamp);
    if (stamped) {
        const auto known = m_stamps.find(path);
        if (known != m_stamps.end() && known->second.text == stamp &&
            now - known->second.checked < kStampTrust)
            return true;
    }
    const bool present = m_transport.Open(path, false, false) != 0;
    m_transport.Close();
    if (present && stamped)
        m_stamps[path] = Stamp{std::move(stamp), now};
    else
        m_stamps.erase(path);
    return present;
}

} // namespace nk7x
