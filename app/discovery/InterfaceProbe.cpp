#include "app/discovery/InterfaceProbe.h"

namespace nk7x {

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
    if (!m_transport.Open(path, true, false, true, false)) {
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
    const bool present = m_transport.Open(path, false, false, false, false) != 0;
    m_transport.Close();
    return present;
}

} // namespace nk7x
