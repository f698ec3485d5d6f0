// The five common lighting effects every kind can show (breathing, static, flashing, spectrum,
// off): which mode of each kind stands for which effect, the settings the copy to all devices
// carries to the synchronisation worker, and the player that steps the stored effect.
#pragma once

#include <cstdint>
#include <optional>

#include "devices/light/LightClock.h"
#include "devices/light/LightTables.h"
#include "link/DeviceKind.h"

namespace nk7x::light {

enum class CommonEffect : int { Breathing = 0, Static = 1, Flashing = 2, Spectrum = 3, Off = 4 };
inline constexpr int kCommonEffectCount = 5;

// What the copy to all devices stores for the worker: the effect and the source's settings.
struct CommonEffectSettings {
    int effect = -1;        // 0-4, -1 when nothing is stored
    uint8_t brightness = 0; // index 0-4
    uint8_t speed = 0;      // index 0-4
    uint8_t direction = 0;
    uint8_t multiColor = 0;
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const CommonEffectSettings&) const = default;
};

// The common effect a lighting mode of a family stands for; -1 when the mode is none of them.
int CommonEffectOfMode(DeviceFamily family, int mode);
// The mode of a family that shows a common effect; -1 for an effect outside 0-4.
int ModeOfCommonEffect(DeviceFamily family, int effect);

// Steps of the synchronisation worker per speed index 0-4 (28, 23, 18, 13, 7); an index outside
// 0-4 reads as 0. The flashing half-period is this number × 200 ms.
int CommonEffectPeriod(int speedIndex);

// What one step paints on every key of a flagged device.
struct CommonEffectPaint {
    Rgb colour;
    uint8_t brightness = 0;
    bool operator==(const CommonEffectPaint&) const = default;
};

// The worker's side of a common effect: breathing curve and wheel positions and the flashing toggle.
// Not thread safe; its owner serialises the calls.
class CommonEffectPlayer {
  public:
    // `clock` (flashing toggle times) must outlive the player.
    explicit CommonEffectPlayer(const LightClock& clock) : m_clock(clock) {}

    // The settings the next steps use; the positions and the toggle carry on.
    void SetSettings(const CommonEffectSettings& settings) { m_settings = settings; }
    const CommonEffectSettings& Settings() const { return m_settings; }

    // One step of the stored effect; nothing while no effect (or one outside 0-4) is stored.
    std::optional<CommonEffectPaint> Step();

    uint8_t CurvePosition() const { return m_curve; }
    uint8_t WheelPosition() const { return m_wheel; }
    bool FlashOn() const { return m_flashOn; }

  private:
    CommonEffectPaint Breathing();
    CommonEffectPaint Flashing();
    CommonEffectPaint Spectrum();
    Rgb Fixed() const { return {m_settings.red, m_settings.green, m_settings.blue}; }
    uint8_t Level() const { return BrightnessAlpha(m_settings.brightness); }
    void AdvanceWheel(int by);

    const LightClock& m_clock;
    CommonEffectSettings m_settings;
    uint8_t m_curve = 0;
    uint8_t m_wheel = 0;
    bool m_flashOn = false;
    uint64_t m_lastToggle = 0;
};

} // namespace nk7x::light
