// The macro editor panel on the offscreen platform, built from its layout: one recorded event
// appended to a macro of 3 999 rows (the recorder, the list and the panel's rows, with and without
// the layout and paint work the append leaves for the event loop), and opening a macro of 4 000
// events (the row widgets built and laid out).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QListWidget>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchMacroEvents.h"
#include "macros/MacroStore.h"
#include "panels/macros/MacroSetControlUI.h"
#include "profiles/json/JsonFile.h"
#include "ui/ControlFactory.h"
#include "ui/LanguageTexts.h"
#include "ui/UiWindow.h"

namespace {

using namespace nk7x;

constexpr std::size_t kRecordRows = 3999;
constexpr std::size_t kOpenRows = 4000;

// The source tree, for the layout and the language texts.
QString SourceFolder() {
    if (const char* dir = std::getenv("NK7X_SOURCE_DIR"); dir && *dir)
        return QString::fromLocal8Bit(dir);
    return QString::fromStdString(std::filesystem::path(__FILE__).parent_path().parent_path().string());
}

// The panel in a window of its base size, shown, with three macros: 3 999 events, 4 000 events
// and none.
class PanelFixture {
  public:
    PanelFixture() {
        char name[] = "/tmp/nk7x-bench-panel-XXXXXX";
        if (::mkdtemp(name))
            m_folder = std::string(name) + "/";
        SetJsonWriteSync(false);
        MacroStore store(m_folder);
        for (std::size_t rows : {kRecordRows, kOpenRows, std::size_t{0}}) {
            MacroInfo info;
            ok = store.Create(info) == MacroResult::Ok;
            if (rows > 0)
                ok = ok && store.Save(info, TypedEvents(rows)) == MacroResult::Ok;
            if (!ok)
                return;
        }
        SetJsonWriteSync(true);

        RegisterMacroSetControl(ControlFactory::Instance());
        m_texts.LoadFile(SourceFolder() + QStringLiteral("/skin/lang/lan_en.json"));
        m_window.resize(980, 216);
        panel = qobject_cast<CMacroSetControlUI*>(m_window.BuildLayout(
            SourceFolder() + QStringLiteral("/skin/XML/CustomControlXML/MacroControl.xml"), &m_window));
        ok = panel != nullptr;
        if (!ok)
            return;
        panel->setGeometry(m_window.rect());
        panel->Init();
        panel->SetLanguageTexts(&m_texts);
        m_window.ReloadText(m_texts);
        panel->SetClock([this] { return now; });
        panel->SetDataFolder(m_folder);
        panel->LoadMacroList();
        m_window.show();
        QApplication::processEvents();
        ok = panel->MacroCount() == 3;
    }
    ~PanelFixture() {
        std::error_code ec;
        std::filesystem::remove_all(m_folder, ec);
    }

    bool ok = false;
    CMacroSetControlUI* panel = nullptr;
    int64_t now = 0;

  private:
    std::string m_folder;
    LanguageTexts m_texts;
    UiWindow m_window;
};

// Argument 0: the panel's handling alone; 1: also the layout and paint work it posts.
void PanelRecordOneEventOnto3999Rows(benchmark::State& state) {
    const bool withEventLoop = state.range(0) != 0;
    PanelFixture f;
    if (!f.ok) {
        state.SkipWithError("the panel could not be built");
        return;
    }
    f.panel->SelectMacroAt(0);
    QApplication::processEvents();
    if (f.panel->Actions().Size() != kRecordRows) {
        state.SkipWithError("the macro did not load");
        return;
    }
    f.panel->StartRecording(DelayMode::Recorded, RecordPlacement::Append);
    bool down = true;
    for (auto _ : state) {
        f.now += 40;
        const RecordOutcome outcome = f.panel->HandleInput(KeyInputEvent(0x1E, false, down)); // A
        if (withEventLoop)
            QApplication::processEvents();
        if (outcome != RecordOutcome::Added) {
            state.SkipWithError("the event was not recorded");
            break;
        }
        state.PauseTiming();
        f.panel->Actions().Remove(f.panel->Actions().Size() - 1);
        QApplication::processEvents();
        down = !down;
        state.ResumeTiming();
    }
    f.panel->StopRecording();
    state.counters["rows"] = static_cast<double>(kRecordRows + 1);
    state.counters["target_us"] = 1000;
}
BENCHMARK(PanelRecordOneEventOnto3999Rows)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void PanelOpenMacroOf4000Events(benchmark::State& state) {
    PanelFixture f;
    if (!f.ok) {
        state.SkipWithError("the panel could not be built");
        return;
    }
    for (auto _ : state) {
        f.panel->SelectMacroAt(1);
        QApplication::processEvents();
        state.PauseTiming();
        if (f.panel->ActionList()->count() != static_cast<int>(kOpenRows)) {
            state.SkipWithError("the macro did not open");
            break;
        }
        f.panel->SelectMacroAt(2);
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["rows"] = static_cast<double>(kOpenRows);
    state.counters["target_ms"] = 200;
}
BENCHMARK(PanelOpenMacroOf4000Events)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
