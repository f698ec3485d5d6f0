#include "devices/light/CommonEffect.h"

namespace nk7x::light {
namespace {

// Mode per common effect: the keyboard's, then every other kind's.
constexpr int kKeyboardModes[kCommonEffectCount] = {5, 6, 24, 4, 28};
constexpr int kOtherModes[kCommonEffectCount] = {2, 3, 4, 1, 8};

const int* ModesOf(int kind) { return kind == 1 ? kKeyboardModes : kOtherModes; }

} // namespace

int CommonEffectOfMode(int kind, int mode) {
    const int* modes = ModesOf(kind);
    for (int e = 0; e < kCommonEffectCount; ++e) {
        if (modes[e] == mode)
            return e;
    }
    return -1;
}

int ModeOfCommonEffect(int kind, int effect) {
    if (effect < 0 || effect >= kCommonEffectCount)
        return -1;
    return ModesOf(kind)[effect];
}

} // namespace nk7x::light
