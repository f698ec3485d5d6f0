#include "devices/keyboard/KeyboardContext.h"

#include "platform/DebugLog.h"

namespace nk7x {

void CKeyboardContext::ReportFailure(KeyboardWrite what, LinkResult result) const {
    if (result != kResultOk && m_view)
        m_view->WriteFailed(what, result);
}

bool CKeyboardContext::StoreProfile() {
    const bool ok = m_profile.Save() == 1;
    if (ok) {
        m_saveFailureTold = false;
    } else if (!m_saveFailureTold) {
        m_saveFailureTold = true;
        DebugLogf("keyboard: profile %s could not be saved", m_profile.GetProfilePath().c_str());
        if (m_view)
            m_view->ProfileSaveFailed();
    }
    return ok;
}

} // namespace nk7x
