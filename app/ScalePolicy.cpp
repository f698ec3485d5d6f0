#include "app/ScalePolicy.h"

#include "platform/DebugLog.h"

namespace nk7x {

int ScaleForWorkArea(int width, int height) {
    return (width > 1500 && height > 960) ? 144 : 96;
}

int CheckedScale(int scale) {
    switch (scale) {
    case 48:
    case 72:
    case 96:
    case 120:
    case 144:
    case 168:
    case 192:
        return scale;
    default:
        DebugLog("MAIN_WND DPI SET ERROR");
        return 96;
    }
}

} // namespace nk7x
