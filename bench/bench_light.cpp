// Light preview: nanoseconds per light-thread pass of the keyboard engine (126 keys) for every
// lighting mode, single colour and multi-colour, with a due step on every pass; one step of the
// synchronisation hub over four devices per common effect; one keyboard key-button repaint.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "devices/PlainDevice.h"
#include "devices/keyboard/KeyboardDevice.h"
#include "devices/light/KeyboardLightEngine.h"
#include "devices/light/LightClock.h"
#include "devices/light/LightSyncHub.h"

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
            engine.OnReactiveKey(71, KeyEventKind::Press);
            engine.OnReactiveKey(71, KeyEventKind::Release);
        }
        clock.Advance(16);
    }
    benchmark::DoNotOptimize(engine.Colour(0));
    state.SetLabel(multi ? "multi-colour" : "single colour");
}

BENCHMARK(KeyboardStep)
    ->ArgsProduct({benchmark::CreateDenseRange(0, 29, 1), {0, 1}})
    ->ArgNames({"mode", "multi"});

// A mouse (20 LEDs), a keyboard (126 keys), a mouse pad and a headset (13 each), all flagged.
void SyncHubStep(benchmark::State& state) {
    ManualLightClock clock;
    LightSyncHub hub(clock);
    std::vector<std::unique_ptr<CDeviceBase>> devices;
    std::vector<CDeviceBase*> listed;
    for (int keys : {20, 126, 13, 13}) {
        devices.push_back(std::make_unique<CPlainDevice>());
        devices.back()->SetKeyCount(keys);
        devices.back()->Link().SetOpen(true);
        devices.back()->Link().SetBackgroundPause(true);
        listed.push_back(devices.back().get());
    }
    hub.SetDevices(listed);
    CommonEffectSettings s;
    s.effect = static_cast<int>(state.range(0));
    s.brightness = 3;
    s.speed = 4;
    s.multiColor = 1;
    s.red = 200;
    hub.Store(s);
    for (auto _ : state) {
        if (hub.AnyFlagged())
            hub.Step();
        clock.Advance(110);
    }
    benchmark::DoNotOptimize(devices[1]->GetKeyColour(0));
}

BENCHMARK(SyncHubStep)->DenseRange(0, 4, 1)->ArgNames({"effect"});

class CountingView final : public IKeyboardView {
  public:
    void ArmTimer(int, int) override {}
    void SelectFunctionTabs(const FunctionTabs&) override {}
    void ShowKeyColour(int, uint32_t packed, uint8_t brightness) override { sum += packed + brightness; }
    void KeyCaptionsChanged(const std::vector<KeyCaption>&) override {}
    void SettingsChanged(const KeyboardSettingsControls&, const LightState&) override {}
    void NameListsChanged(const std::vector<std::string>&, const LightNameLists&) override {}
    void CustomGroupSelected(int) override {}
    void KeyAssignmentSelected(int, const KeyAssignment&) override {}
    void FnKeyEnabled(bool) override {}
    void WriteFailed(KeyboardWrite, LinkResult) override {}
    uint64_t sum = 0;
};

// The key-button repaint of the list entry's 50 ms timer: from the preview, or (paused) from the
// per-key table.
void KeyboardRefresh(benchmark::State& state) {
    CKeyboardDevice keyboard;
    CountingView view;
    keyboard.SetView(&view);
    keyboard.Link().SetBackgroundPause(state.range(0) != 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(keyboard.RefreshLighting());
    benchmark::DoNotOptimize(view.sum);
}

BENCHMARK(KeyboardRefresh)->Arg(0)->Arg(1)->ArgNames({"paused"});

} // namespace

BENCHMARK_MAIN();
