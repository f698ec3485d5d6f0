// Light preview: nanoseconds per light-thread pass of the keyboard engine (126 keys) for every
// lighting mode, single colour and multi-colour, with a due step on every pass.
#include <benchmark/benchmark.h>

#include "devices/light/KeyboardLightEngine.h"
#include "devices/light/LightClock.h"

namespace {

using namespace nk7x;
using namespace nk7x::light;

void KeyboardStep(benchmark::State& state) {
    const auto mode = static_cast<uint8_t>(state.range(0));
    const bool multi = state.range(1) != 0;
    ManualLightClock clock;
    KeyboardLightEngine engine(clock, 12345);
    LightState s;
    s.mode = mode;
    s.brightness = 3;
    s.speed = 2;
    s.direction = 1;
    s.multiColor = multi ? 1 : 0;
    s.red = 200;
    s.green = 100;
    s.blue = 50;
    engine.SetLightSettings(s, true);
    EffectFrame wave;
    wave.mode = 4;
    wave.brightness = 4;
    wave.multiColor = multi ? 1 : 0;
    wave.time = 500;
    engine.SetEffectFrames({wave, wave});
    int n = 0;
    for (auto _ : state) {
        engine.StepNow();
        if (++n == 9) { // keep the reactive modes busy
            n = 0;
            engine.OnReactiveKey(71, 1);
            engine.OnReactiveKey(71, 2);
        }
        clock.Advance(16);
    }
    benchmark::DoNotOptimize(engine.Colour(0));
    state.SetLabel(multi ? "multi-colour" : "single colour");
}

BENCHMARK(KeyboardStep)
    ->ArgsProduct({benchmark::CreateDenseRange(0, 29, 1), {0, 1}})
    ->ArgNames({"mode", "multi"});

} // namespace

BENCHMARK_MAIN();
