#include "update/AppVersion.h"

#ifndef NK7X_APP_VERSION
#error "NK7X_APP_VERSION is set by update/CMakeLists.txt from the project version"
#endif

namespace nk7x {

const char* ApplicationVersionText() {
    return NK7X_APP_VERSION;
}

uint32_t DisplayVersionNumber(std::string_view text) {
    uint64_t value = 0;
    bool digits = false;
    for (char c : text) {
        if (c == '.')
            continue;
        if (c < '0' || c > '9')
            break;
        digits = true;
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > 0xFFFFFFFFu)
            return 0;
    }
    return digits ? static_cast<uint32_t>(value) : 0;
}

uint32_t ApplicationVersionNumber() {
    return DisplayVersionNumber(ApplicationVersionText());
}

} // namespace nk7x
