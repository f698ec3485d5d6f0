// The five common lighting effects every kind can show (breathing, static, flashing, spectrum,
// off): which mode of each kind stands for which effect, and the settings the copy to all devices
// carries to the synchronisation worker.
#pragma once

#include <cstdint>

namespace nk7x::light {

enum class CommonEffect : int { Breathing = 0, Static = 1, Flashing = 2, Spectrum = 3, Off = 4 };
inline constexpr int kCommonEffectCount = 5;

// What the copy to all devices stores for the worker: the effect and the source's settings.
struct CommonEffectSettings {
    int effect = -1;         // 0-4, -1 when nothing is stored
    uint8_t brightness = 0;  // index 0-4
    uint8_t speed = 0;       // index 0-4
    uint8_t direction = 0;
    uint8_t multiColor = 0;
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const CommonEffectSettings&) const = default;
};

// The common effect a mode of a device kind (1 keyboard, 2/6 mouse, 3 mouse pad, 7 headset)
// stands for; -1 when the mode is none of them.
int CommonEffectOfMode(int kind, int mode);
// The mode of a kind that shows a common effect; -1 for an effect outside 0-4.
int ModeOfCommonEffect(int kind, int effect);

} // namespace nk7x::light
