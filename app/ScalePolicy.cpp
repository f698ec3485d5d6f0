#include "app/ScalePolicy.h"

#include "platform/DebugLog.h"
#include "ui/Theme.h"

namespace nk7x {

int ScaleForWorkArea(int width, int height) {
    return (width > 1500 && height > 960) ? 144 : 96;
}

int SmallerScale(int scale) {
    for (int s : {168, 144, 120, 96, 72}) {
        if (s < scale && IsAllowedDpi(s))
            return s;
    }
    return 72;
}

int CheckedScale(int scale) {
    if (IsAllowedDpi(scale))
        return scale;
    DebugLog("MAIN_WND DPI SET ERROR");
    return 96;
}

} // namespace nk7x
