// Macros without the toolkit: one recorded event appended to an action list of 3 999 rows (the
// recorder and the list model, no panel), and the keyboard's macro image of 50 macros of 200
// events, built from the files as a download builds it and from events already in memory.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/BenchMacroEvents.h"
#include "devices/keyboard/KeyboardRecords.h"
#include "devices/keyboard/MacroImageBuild.h"
#include "macros/MacroActionList.h"
#include "macros/MacroRecorder.h"
#include "macros/MacroStore.h"
#include "profiles/json/JsonFile.h"

namespace {

using namespace nk7x;

constexpr std::size_t kListRows = 3999;
constexpr int kImageMacros = 50;
constexpr int kImageEvents = 200;

// A folder under /tmp that holds the macros of one kind folder for the life of the object.
class MacroFolder {
  public:
    MacroFolder() {
        char name[] = "/tmp/nk7x-bench-macros-XXXXXX";
        if (::mkdtemp(name))
            m_path = std::string(name) + "/";
    }
    ~MacroFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::string& Path() const { return m_path; }

  private:
    std::string m_path;
};

void RecordOneEventOnto3999Rows(benchmark::State& state) {
    MacroActionList list;
    list.Load(TypedEvents(kListRows));
    int64_t now = 0;
    MacroRecorder recorder(list, [&now] { return now; });
    recorder.Start(DelayMode::Recorded, RecordPlacement::Append);
    bool down = true;
    for (auto _ : state) {
        now += 40;
        const RecordOutcome outcome = recorder.Handle(KeyInputEvent(0x1E, false, down)); // A
        benchmark::DoNotOptimize(outcome);
        if (outcome != RecordOutcome::Added) {
            state.SkipWithError("the event was not recorded");
            break;
        }
        state.PauseTiming();
        list.Remove(list.Size() - 1); // back to 3 999 rows: the 4 000th is the last one allowed
        down = !down;
        state.ResumeTiming();
    }
    state.counters["rows"] = static_cast<double>(kListRows + 1);
    state.counters["target_us"] = 1000;
}
BENCHMARK(RecordOneEventOnto3999Rows)->Unit(benchmark::kMicrosecond);

void MacroImageFromFiles(benchmark::State& state) {
    MacroFolder folder;
    SetJsonWriteSync(false); // setting up only: the measured part reads
    MacroStore store(folder.Path());
    const std::vector<MacroEvent> events = TypedEvents(kImageEvents);
    for (int i = 0; i < kImageMacros; ++i) {
        MacroInfo info;
        if (store.Create(info) != MacroResult::Ok || store.Save(info, events) != MacroResult::Ok) {
            state.SkipWithError("the macro files could not be written");
            return;
        }
    }
    SetJsonWriteSync(true);
    std::size_t length = 0;
    for (auto _ : state) {
        const MacroImageBuild built = BuildMacroImage(folder.Path());
        length = built.bytes.size();
        benchmark::DoNotOptimize(built.bytes.data());
    }
    if (length != MacroImage::kHeaderSize + 6 * kImageMacros + 4 * kImageMacros * kImageEvents)
        state.SkipWithError("the image is not the expected length");
    state.counters["bytes"] = static_cast<double>(length);
    state.counters["target_us"] = 5000;
}
BENCHMARK(MacroImageFromFiles)->Unit(benchmark::kMicrosecond);

void MacroImageFromMemory(benchmark::State& state) {
    MacroImage image;
    image.macros.assign(kImageMacros, TypedEvents(kImageEvents));
    for (auto _ : state) {
        std::vector<uint8_t> bytes = image.Serialise();
        benchmark::DoNotOptimize(bytes.data());
    }
}
BENCHMARK(MacroImageFromMemory)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
