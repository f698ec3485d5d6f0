// The millisecond clock the light engine reads (blink half-periods, effect frame times) and the
// light-thread tick; tests and the command-line preview drive a manual clock instead of the real one.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace nk7x::light {

// One counted light-thread tick. Speed thresholds are tuned to a timer that moves in 15.625 ms
// steps, so the light threads (and the lighting synchronisation worker) tick at this period.
inline constexpr std::chrono::microseconds kLightTick{15625};

class LightClock {
  public:
    virtual ~LightClock() = default;
    virtual uint64_t NowMs() const = 0;
};

class SteadyLightClock final : public LightClock {
  public:
    uint64_t NowMs() const override {
        return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now().time_since_epoch())
                                         .count());
    }
};

// A clock that moves only when told; safe to advance from one thread while another reads it.
class ManualLightClock final : public LightClock {
  public:
    explicit ManualLightClock(uint64_t startMs = 0) : m_ms(startMs) {}
    uint64_t NowMs() const override { return m_ms.load(); }
    void Advance(uint64_t ms) { m_ms += ms; }
    void Set(uint64_t ms) { m_ms = ms; }

  private:
    std::atomic<uint64_t> m_ms;
};

} // namespace nk7x::light
