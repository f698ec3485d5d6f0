// The preview engine of one device page: its per-LED colour vector and step state, the base effect
// steps, the user light effect player and the light-area overlays. One `Step()` is one light-thread
// pass; the kinds add their own steps and mode tables in subclasses.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <random>
#include <vector>

#include "devices/light/LightClock.h"
#include "devices/light/LightTables.h"
#include "link/DeviceKind.h"
#include "profiles/ProfileRecords.h"

namespace nk7x::light {

struct Rgba {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    uint8_t a = 0; // brightness factor: the colour shown is component × a / 256
    bool operator==(const Rgba&) const = default;
};
static_assert(sizeof(Rgba) == 4);

// The page family an engine previews; the engines differ by family only.
using LightPage = DeviceFamily;

class LightEngine {
  public:
    LightEngine(LightPage page, std::size_t ledCount, const LightClock& clock, uint32_t seed);
    virtual ~LightEngine() = default;
    LightEngine(const LightEngine&) = delete;
    LightEngine& operator=(const LightEngine&) = delete;

    LightPage Page() const { return m_page; }
    std::size_t LedCount() const { return m_colours.size(); }

    // One light-thread pass: counts a tick, runs the mode's step when its threshold is reached (or
    // the user light effect player on every pass), then the light-area overlays where the kind has them.
    void Step();
    // A pass whose tick is due whatever the count: the mode's step runs now.
    void StepNow();

    // Stores the light settings; a different mode resets the preview state and prepares the mode.
    // With `forceModeChange` the mode counts as changed even when it is the same.
    void SetLightSettings(const LightState& state, bool forceModeChange = false);
    LightState LightSettings() const;

    // The light-area overlays, one entry per LED (absent entries have present = 0); restarts their counters.
    void SetLightList(const std::vector<LightState>& list);
    // The user light effect frames of the current mode; the frame index returns to 0.
    void SetEffectFrames(const std::vector<EffectFrame>& frames);
    std::size_t EffectFrameIndex() const;

    // A consistent copy of the colour vector.
    std::vector<Rgba> Colours() const;
    Rgba Colour(std::size_t i) const;
    // Writes one entry (the custom-mode colours); out of range changes nothing.
    void SetColour(std::size_t i, Rgba value);

    // Read-only views of the step state.
    uint8_t Counter() const;
    uint8_t Intensity(std::size_t i) const;
    bool Mark(std::size_t i) const;
    void SetIntensity(std::size_t i, uint8_t value);

    // Zeroes the intensities and the trigger marks.
    void ClearPreview();
    // Sets one trigger mark (the mouse sets the first one after a mode change).
    void SetMark(std::size_t i, bool on);

  protected:
    // Ticks per step of a mode at the current speed, or -1 for a mode the user effect player runs.
    virtual int Threshold(uint8_t mode) const = 0;
    virtual void RunStep(uint8_t mode) = 0;
    // Runs at a mode change, with the new settings stored.
    virtual void OnModeChange() {}
    virtual bool RunsOverlays() const { return true; }

    // The base steps.
    void StepBreathing();
    void StepPaletteBreathing();
    void StepStatic();
    void StepColourCycle();
    void StepBlink();
    void StepPaletteBlink();
    void StepOff();
    // The mode argument is the caller's lighting mode or step number; the decay is the same for all.
    void FadePreviewKey(std::size_t i, uint8_t /*mode*/) {
        if (i < m_intensity.size())
            m_intensity[i] = FadeIntensity(m_intensity[i]);
    }
    virtual void LightMarkedKeys();
    void ShiftPreviewWave(bool forward);
    void ShiftMarks(std::size_t ringSize, bool forward);

    void PlayUserEffect();
    void ApplyOverlays();

    bool Forwards() const { return m_state.direction != 0; }
    bool Multi() const { return m_state.multiColor != 0; }
    uint8_t Bright() const { return BrightnessAlpha(m_state.brightness); }
    Rgb StateColour() const { return {m_state.red, m_state.green, m_state.blue}; }
    void Put(std::size_t i, Rgb colour, uint8_t alpha) {
        if (i < m_colours.size())
            m_colours[i] = {colour.r, colour.g, colour.b, alpha};
    }
    void FillAll(Rgb colour, uint8_t alpha);
    uint8_t Random(uint32_t below) { return static_cast<uint8_t>(m_rng() % below); }
    bool BlinkDue(uint64_t lastToggle, uint8_t speed) const;

    // Guards the colour vector and the step state; every step, preparation and hook runs under it.
    mutable std::mutex m_stateMutex;
    const LightPage m_page;
    const LightClock& m_clock;
    LightState m_state{};
    std::vector<Rgba> m_colours;
    uint8_t m_c = 0;
    uint8_t m_h = 0;
    bool m_blinkOn = false;
    uint64_t m_blinkTime = 0;
    std::array<uint8_t, kKeyboardKeys> m_intensity{};
    std::array<uint8_t, kKeyboardKeys> m_hue{};
    std::array<uint8_t, kMarks> m_marks{};
    uint32_t m_ticks = 0;
    std::minstd_rand m_rng;

  private:
    void Pass(bool due);

    // User light effect player.
    struct Player {
        uint8_t p = 0;
        uint8_t q = 0;
        bool blinkOn = false;
        uint64_t blinkTime = 0;
        uint8_t blinkHue = 0;
        uint8_t breathHue = 0; // the multi-colour breathing frame's hue: nothing advances it
        uint64_t frameStart = 0;
    } m_player;
    mutable std::mutex m_effectFrameMutex;
    std::vector<EffectFrame> m_frames;
    std::size_t m_frameIndex = 0;

    // Light-area overlays.
    struct Overlay {
        LightState light{};
        uint8_t s = 0;
        uint8_t k = 0;
        uint8_t h = 0;
        bool blinkOn = false;
        uint64_t blinkTime = 0;
    };
    std::mutex m_lightListMutex;
    std::vector<Overlay> m_overlays;
};

} // namespace nk7x::light
