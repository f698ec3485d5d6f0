// The headset page in the main window against the emulated headset: its LEDs streamed as output
// reports, and its sound panels reaching the headset through the chip library, through the sound
// card's mixer, or saying that neither is there; and its drawn controls as assistive technology
// sees and moves them.
#include "app/MainWnd.h"
#include "devices/headset/audio/FakeChipFolder.h"
#include "devices/headset/audio/FakeMixer.h"
#include "panels/light/ColorPaletteUI.h"
#include "panels/light/LightControlUI.h"
#include "panels/pages/BrindovaHS6533Device.h"
#include "panels/sound/EqChartView.h"
#include "panels/sound/MagicControlUI.h"
#include "panels/sound/Voice6533ControlUI.h"
#include "support/MessageBoxAnswers.h"
#include "support/PrivateWindowFolders.h"
#include "support/TestSupport.h"
#include "tools/sim/SimDevice.h"
#include "ui/UiNotify.h"
#include "ui/controls/DeviceKeyButtonUI.h"
#include "windows/MessageBox.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace nk7x::test {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

class HeadsetPageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_folders.IsValid());
        SimOptions o;
        o.folder = m_sim.Path();
        o.kind = SimKind::Headset;
        m_headset = std::make_unique<SimDevice>(o);
        ASSERT_EQ(m_headset->Start(), 1) << m_headset->LastError();
    }
    void TearDown() override {
        m_window.reset();
        m_headset.reset();
    }
    void OpenWindow() {
        m_window = std::make_unique<MainWnd>(m_folders.Options());
        m_window->Create();
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->isVisible(); }, 5000));
        // The page is built when the device first comes.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return !m_window->Devices().PagesOf(DeviceFamily::Headset).empty(); }, 8000));
        const auto pages = m_window->Devices().PagesOf(DeviceFamily::Headset);
        ASSERT_EQ(pages.size(), 1u) << "one page for the headset";
        m_page = qobject_cast<CBrindovaHS6533Device*>(pages[0]);
        ASSERT_NE(m_page, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_page->ConnectsDone() >= 1; }, 8000))
            << "the page is filled";
        ASSERT_EQ(m_window->Devices().CurrentPage(), m_page);
        ASSERT_NE(m_page->VoicePanel(), nullptr);
        ASSERT_NE(m_page->MagicPanel(), nullptr);
    }
    // The sound reached another way, as at a connection: the headset's state read, the panels filled.
    void UseAudio(HeadsetAudio::Sources sources) {
        m_page->InitAudio(std::move(sources));
        m_page->SoundConnected();
        m_page->SoundRefresh();
    }
    bool Raise(const char* name, const char* type, qint64 value = 0) {
        QWidget* control = m_page->findChild<QWidget*>(QString::fromLatin1(name));
        return control && RaiseNotify(control, QString::fromLatin1(type), value);
    }
    void Screenshot(const char* file) {
        if (const char* out = std::getenv("NK7X_SCREENSHOT_DIR")) {
            QTest::qWait(200);
            EXPECT_TRUE(
                m_window->grab().save(QDir(QString::fromLocal8Bit(out)).filePath(QString::fromLatin1(file))));
        }
    }

    PrivateWindowFolders m_folders;
    TempSimFolder m_sim;
    std::unique_ptr<SimDevice> m_headset;
    std::unique_ptr<MainWnd> m_window;
    CBrindovaHS6533Device* m_page = nullptr;
};

} // namespace

TEST_F(HeadsetPageTest, TheLedsAreStreamedAndWithoutSoundControlsThePanelsSaySo) {
    OpenWindow();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const SimHeadsetFrame f = m_headset->HeadsetLeds();
            return f.reports >= 24 &&
                   std::any_of(f.bank22.begin(), f.bank22.end(), [](uint8_t b) { return b; });
        },
        8000))
        << "reports: " << m_headset->HeadsetLeds().reports;
    EXPECT_EQ(m_headset->HeadsetLeds().refused, 0u);
    // The picture shows the same LEDs.
    ASSERT_EQ(m_page->KeyButtonTableSize(), kHeadsetLedCount);
    for (int i = 0; i < kHeadsetLedCount; ++i)
        ASSERT_NE(m_page->KeyButton(i), nullptr) << "LED " << i;
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_page->KeyButton(12)->IsLightShown(); }, 3000));
    EXPECT_EQ(m_headset->Counters().liveFrames, 0u) << "a headset gets no live-colour frames";

    // This machine has no headset sound card and no chip library: nothing is offered as working.
    ASSERT_NE(m_page->Audio(), nullptr);
    EXPECT_EQ(m_page->Audio()->Backend(), AudioBackend::None);
    for (int f = 0; f < kFeatureCount; ++f)
        EXPECT_FALSE(m_page->VoicePanel()->Supports(static_cast<Feature>(f)))
            << FeatureName(static_cast<Feature>(f));
    auto* source = m_page->findChild<QLabel*>(QStringLiteral("hs6533_sound_source"));
    ASSERT_NE(source, nullptr);
    EXPECT_THAT(source->text().toStdString(), HasSubstr("not found"));
    // A user action finds nothing to reach and stores nothing.
    m_page->VoicePanel()->SetMicSlider(60);
    ASSERT_TRUE(Raise("6533_MicIn_slider", "valuechanged", 60));
    EXPECT_NE(m_page->Headset().HeadsetProfile().GetSystemSetStages().micInValue, 60);
}

TEST_F(HeadsetPageTest, WithTheChipLibraryThePanelsReachTheChipAndTheProfileKeepsIt) {
    OpenWindow();
    FakeChipFolder chip(NK7X_FAKE_CHIP);
    UseAudio({chip.LibraryPath(), {}});
    ASSERT_EQ(m_page->Audio()->Backend(), AudioBackend::ChipLibrary);
    CVoice6533ControlUI* voice = m_page->VoicePanel();
    EXPECT_TRUE(voice->Supports(Feature::Equaliser));
    EXPECT_TRUE(m_page->MagicPanel()->Supports(Feature::VoiceEffect));

    size_t mark = chip.Mark();
    ASSERT_TRUE(Raise("6533_eq_option_6", "selectchanged", 1));
    EXPECT_THAT(chip.CallsFrom(mark), Contains(HasSubstr("EQ_Slider3 -13")));
    EXPECT_EQ(voice->GetBandValue(2), -13);
    EXPECT_EQ(m_page->Headset().HeadsetProfile().GetSystemSetStages().eqType, 6);

    mark = chip.Mark();
    ASSERT_TRUE(Raise("magic_option_3", "selectchanged", 1));
    EXPECT_THAT(chip.CallsFrom(mark), Contains(HasSubstr("MagicVoice_Selection 2")));

    mark = chip.Mark();
    voice->SetMicSlider(37);
    ASSERT_TRUE(Raise("6533_MicIn_slider", "valuechanged", 37));
    EXPECT_THAT(chip.CallsFrom(mark), Contains(HasSubstr("VolumeScalarControl 0.37")));
    EXPECT_EQ(m_page->Headset().HeadsetProfile().GetSystemSetStages().micInValue, 37);

    // A band moved off the preset, then kept as a named curve.
    mark = chip.Mark();
    voice->SetBandValue(9, 12);
    ASSERT_TRUE(Raise("6533_eq_hz_slider_9", "valuechanged", 12));
    EXPECT_THAT(chip.CallsFrom(mark), Contains(HasSubstr("EQ_Slider10 12")));
    EXPECT_EQ(voice->EqType(), kEqTypeCustom);
    voice->SetCustomEqNameText(QStringLiteral("Night"));
    ASSERT_TRUE(Raise("hs_EQ_btn_save", "click"));
    EXPECT_EQ(voice->GetCustomEqCount(), 1);
    EXPECT_EQ(voice->GetCustomEqSelection(), 0);
    EXPECT_TRUE(voice->GetCustomEqNameText().isEmpty());
    CHs6533Profiledata reread;
    ASSERT_TRUE(reread.LoadFromFile(m_page->Headset().HeadsetProfile().GetProfilePath()).isObject());
    EXPECT_EQ(reread.GetCustomEqNames(), std::vector<std::string>{"Night"});
    EXPECT_EQ(reread.GetCustomEqValues(0)[9], 12);
    EXPECT_EQ(reread.GetCustomEqValues(0)[2], -13);

    m_page->ShowSettingTab(1);
    Screenshot("screenshot-headset-eq.png");
}

// The equaliser's bands are named sliders whose value, set from outside, reaches the chip as a move
// by the user does; the colour field is described by the colour it shows and takes one picked so.
TEST_F(HeadsetPageTest, TheDrawnControlsAreReadAndMovedByAssistiveTechnology) {
    OpenWindow();
    FakeChipFolder chip(NK7X_FAKE_CHIP);
    UseAudio({chip.LibraryPath(), {}});
    CVoice6533ControlUI* voice = m_page->VoicePanel();
    ASSERT_TRUE(voice->Supports(Feature::Equaliser));
    ASSERT_NE(voice->Chart(), nullptr);
    QAccessibleInterface* chart = QAccessible::queryAccessibleInterface(voice->Chart());
    ASSERT_NE(chart, nullptr);
    EXPECT_EQ(chart->role(), QAccessible::Chart);
    EXPECT_FALSE(chart->text(QAccessible::Name).isEmpty());
    ASSERT_EQ(chart->childCount(), EqChartView::kBands);
    QStringList names;
    for (int b = 0; b < EqChartView::kBands; ++b) {
        QAccessibleInterface* band = chart->child(b);
        ASSERT_NE(band, nullptr) << b;
        EXPECT_EQ(band->role(), QAccessible::Slider) << b;
        EXPECT_EQ(band->object(), voice->Chart()->BandSlider(b)) << b;
        EXPECT_EQ(chart->indexOfChild(band), b);
        names << band->text(QAccessible::Name);
    }
    EXPECT_EQ(names.join(QLatin1Char('|')),
              QStringLiteral("31 Hz|62 Hz|125 Hz|250 Hz|500 Hz|1 kHz|2 kHz|4 kHz|8 kHz|16 kHz"));

    QAccessibleInterface* top = chart->child(9);
    QAccessibleValueInterface* gain = top->valueInterface();
    ASSERT_NE(gain, nullptr);
    EXPECT_EQ(gain->minimumValue().toInt(), -20);
    EXPECT_EQ(gain->maximumValue().toInt(), 20);
    EXPECT_EQ(gain->minimumStepSize().toInt(), 1);
    EXPECT_EQ(gain->currentValue().toInt(), voice->GetBandValue(9));
    const int wanted = voice->GetBandValue(9) == 12 ? -7 : 12;
    const size_t mark = chip.Mark();
    gain->setCurrentValue(wanted);
    EXPECT_THAT(chip.CallsFrom(mark), Contains(HasSubstr("EQ_Slider10 " + std::to_string(wanted))));
    EXPECT_EQ(voice->GetBandValue(9), wanted);
    EXPECT_EQ(voice->EqType(), kEqTypeCustom);
    EXPECT_EQ(top->text(QAccessible::Value),
              QStringLiteral("%1%2 dB").arg(wanted > 0 ? "+" : "").arg(wanted));
    gain->setCurrentValue(99);
    EXPECT_EQ(voice->GetBandValue(9), 20) << "kept to the band's range";

    CLightControlUI* light = m_page->LightPanel();
    ASSERT_NE(light, nullptr);
    auto* palette = light->findChild<CColorPaletteUI*>(QStringLiteral("deng_Color_Pallet"));
    ASSERT_NE(palette, nullptr);
    QAccessibleInterface* field = QAccessible::queryAccessibleInterface(palette);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->role(), QAccessible::ColorChooser);
    EXPECT_FALSE(field->text(QAccessible::Name).isEmpty());
    light->SetPaletteColor(0xFFFF8000u);
    EXPECT_EQ(field->text(QAccessible::Description), QStringLiteral("#FF8000"));
    // A colour picked so reaches the headset's light settings as a click in the field does.
    const LightState before = m_page->Headset().GetLightSettings();
    ASSERT_FALSE(before.red == 0 && before.green == 0xC0 && before.blue == 0xFF);
    field->setText(QAccessible::Value, QStringLiteral("#00c0ff"));
    EXPECT_EQ(field->text(QAccessible::Description), QStringLiteral("#00C0FF"));
    const LightState lit = m_page->Headset().GetLightSettings();
    EXPECT_EQ(lit.red, 0);
    EXPECT_EQ(lit.green, 0xC0);
    EXPECT_EQ(lit.blue, 0xFF);
}

// The library that fails to start, and its short feature list, are told to the user, each once.
TEST_F(HeadsetPageTest, TheChipLibrarysStartFailuresAreShownOnce) {
    OpenWindow();
    FakeChipFolder chip(NK7X_FAKE_CHIP);
    chip.Configure("INIT", "7");
    chip.Configure("STATE", "in:GetSupportFeature=131072,0,0,0,16,0");
    MessageBoxAnswers answers;
    const QStringList& shown = answers.Shown();
    UseAudio({chip.LibraryPath(), {}});
    ASSERT_EQ(m_page->Audio()->Backend(), AudioBackend::ChipLibrary);
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown.size() >= 2; }, 5000))
        << shown.join(QLatin1Char('|')).toStdString();
    EXPECT_THAT(shown.join(QLatin1Char('|')).toStdString(), HasSubstr("ConfLibInit called failed!"));
    EXPECT_THAT(shown.join(QLatin1Char('|')).toStdString(), HasSubstr("UpdateAPOAvailable failed!"));
    // Started again (the headset plugged in anew): not told twice.
    UseAudio({chip.LibraryPath(), {}});
    QTest::qWait(300);
    EXPECT_EQ(shown.size(), 2);
}

TEST_F(HeadsetPageTest, WithOnlyTheSoundCardTheMicrophoneWorksAndTheRestSaysWhy) {
    OpenWindow();
    FakeMixer* card = nullptr;
    MixerOpener opener = [&card](uint16_t, uint16_t, std::string* report) -> std::unique_ptr<MixerLayer> {
        auto mixer = std::make_unique<FakeMixer>();
        mixer->volumes[MixerControl::MicVolume] = {{0, 100}, 30};
        mixer->switches[MixerControl::MicSwitch] = true;
        mixer->volumes[MixerControl::MonitorVolume] = {{0, 31}, 0};
        mixer->switches[MixerControl::MonitorSwitch] = false;
        card = mixer.get();
        *report = "fake card";
        return mixer;
    };
    UseAudio({m_folders.FilePath("no-such-library.so").toStdString(), opener});
    ASSERT_EQ(m_page->Audio()->Backend(), AudioBackend::Mixer);
    ASSERT_NE(card, nullptr);
    CVoice6533ControlUI* voice = m_page->VoicePanel();
    EXPECT_TRUE(voice->Supports(Feature::MicVolume));
    EXPECT_FALSE(voice->Supports(Feature::Equaliser));
    EXPECT_FALSE(m_page->MagicPanel()->Supports(Feature::VoiceEffect));
    // The card's state is what the panel shows after the connection.
    EXPECT_EQ(voice->GetMicSlider(), 30);
    EXPECT_FALSE(voice->IsMonitorOn());

    voice->SetMicSlider(50);
    ASSERT_TRUE(Raise("6533_MicIn_slider", "valuechanged", 50));
    EXPECT_EQ(card->volumes[MixerControl::MicVolume].value, 50);
    ASSERT_TRUE(Raise("6533_MicMoniter_option", "selectchanged", 1));
    EXPECT_TRUE(card->switches[MixerControl::MonitorSwitch]);
    EXPECT_TRUE(voice->IsMonitorOn());
    EXPECT_EQ(m_page->Headset().HeadsetProfile().GetSystemSetStages().micMonitorSelected, 1);

    // The equaliser cannot be reached: choosing a preset reaches no card control.
    const int writes = card->writes;
    ASSERT_TRUE(Raise("6533_eq_option_2", "selectchanged", 1));
    EXPECT_EQ(card->writes, writes);

    m_page->ShowSettingTab(1);
    Screenshot("screenshot-headset-mic.png");
}

} // namespace nk7x::test
