// The keyboard's light preview against the emulator: the thread started on connect animates the key
// buttons, key presses from the keyboard light keys in a reactive mode, custom colours reach the
// preview, the background pause hands the buttons to the synchronisation worker, and stopping is prompt.
#include "KeyboardTestSupport.h"

#include <array>
#include <chrono>
#include <functional>

#include "devices/light/LightSyncHub.h"
#include "tools/sim/KeyboardLayout.h"

namespace nk7x::test {
namespace {

using namespace std::chrono_literals;

// Records the last colour each key button was given.
class ColourView : public RecordingView {
  public:
    struct Shown {
        uint32_t packed = 0xFFFFFFFF;
        uint8_t brightness = 0;
        bool operator==(const Shown&) const = default;
    };
    void ShowKeyColour(int key, uint32_t packed, uint8_t brightness) override {
        if (key >= 0 && key < static_cast<int>(shown.size()))
            shown[static_cast<size_t>(key)] = {packed, brightness};
        ++paints;
    }
    std::array<Shown, kKeyboardKeyCount> shown{};
    int paints = 0;
};

LightState Mode(uint8_t mode, uint8_t speed, bool multi, uint8_t brightness = 4) {
    LightState s;
    s.mode = mode;
    s.brightness = brightness;
    s.speed = speed;
    s.direction = 1;
    s.multiColor = multi ? 1 : 0;
    s.red = 0xFF;
    s.green = 0x40;
    s.blue = 0x10;
    return s;
}

// Polls `done` every 5 ms for up to `limit`.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 2000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (done())
            return true;
        std::this_thread::sleep_for(5ms);
    }
    return done();
}

class LightPreviewWiringTest : public KeyboardTest {
  protected:
    void SetUp() override {
        KeyboardTest::SetUp();
        // A keyboard whose key hooks are its own (the shared one records them instead).
        m_kbd.reset();
        m_dev = std::make_unique<CKeyboardDevice>();
        m_dev->SetView(&m_colours);
        m_dev->SetProfileName("profile-one");
        m_dev->SetLightingName("tavro_light");
        ASSERT_EQ(m_dev->Link().OpenPath(m_sim->CommandPath()), 1);
    }
    void TearDown() override {
        m_dev.reset();
        KeyboardTest::TearDown();
    }
    void Connect() {
        m_dev->OnConnect();
        ASSERT_TRUE(m_dev->LightThreadRunning());
    }
    bool PassesMoveOn() {
        const uint64_t before = m_dev->LightPasses();
        return WaitFor([&] { return m_dev->LightPasses() > before + 2; });
    }

    ColourView m_colours;
    std::unique_ptr<CKeyboardDevice> m_dev;
};

TEST_F(LightPreviewWiringTest, AfterConnectTheThreadAnimatesTheWaveOnTheKeyButtons) {
    EXPECT_FALSE(m_dev->LightThreadRunning());
    Connect();
    m_dev->SetLightSettings(Mode(1, 4, true)); // column wave, one step per tick
    EXPECT_EQ(m_dev->LightPreview().LightSettings().mode, 1);
    ASSERT_TRUE(PassesMoveOn());
    const std::vector<light::Rgba> first = m_dev->LightPreview().Colours();
    ASSERT_TRUE(WaitFor([&] { return m_dev->LightPreview().Colours() != first; }));

    // The buttons show the preview's colours: every key of the layout at full brightness.
    ASSERT_EQ(m_dev->RefreshLighting(), kResultOk);
    EXPECT_EQ(m_colours.paints, kKeyboardKeyCount);
    EXPECT_EQ(m_colours.shown[50].brightness, 255);
    EXPECT_NE(m_colours.shown[50].packed, 0u);
    const auto before = m_colours.shown;
    ASSERT_TRUE(PassesMoveOn());
    ASSERT_EQ(m_dev->RefreshLighting(), kResultOk);
    EXPECT_NE(m_colours.shown, before);
    // The keyboard runs the effect itself: nothing of the preview is streamed to it.
    EXPECT_TRUE(Frames(static_cast<uint8_t>(CommandCode::StreamLighting)).empty());
}

TEST_F(LightPreviewWiringTest, ModeChangesFromTheKeyboardReachThePreview) {
    // Without the thread, so that no step moves the prepared hues on.
    ASSERT_EQ(m_dev->ReadKeyLayout(), kResultOk);
    m_dev->LoadProfile();
    std::vector<uint8_t> record{0, 11, 4, 0, 1, 0, 0x10, 0x20, 0x30};
    record.resize(26, 0);
    ASSERT_TRUE(m_sim->SetParameters(0, record));
    ASSERT_EQ(m_dev->ReadSettings(), kResultOk);
    const LightState l = m_dev->LightPreview().LightSettings();
    EXPECT_EQ(l.mode, 11);
    EXPECT_EQ(l.red, 0x10);
    // The key cycle's preparation ran.
    EXPECT_EQ(m_dev->LightPreview().Hue(0), 33);
    EXPECT_EQ(m_dev->LightPreview().Hue(5), 6);
}

TEST_F(LightPreviewWiringTest, AKeyPressFromTheKeyboardLightsTheKeyInTheFlashMode) {
    ASSERT_EQ(m_dev->StartKeyEventThread(m_sim->NotificationPath()), 1);
    ASSERT_TRUE(WaitFor([&] { return m_sim->ConnectionCount() == 2; }));
    Connect();
    m_dev->SetLightSettings(Mode(7, 0, false)); // flash on press, slowest fade
    constexpr int kKey = 43;
    ASSERT_EQ(m_dev->LightPreview().Intensity(kKey), 0);
    const uint16_t position = static_cast<uint16_t>(m_dev->KeyPosition(kKey));
    ASSERT_EQ(position, SimKeyPosition(kKey));
    ASSERT_EQ(m_sim->SendNotification(static_cast<uint16_t>(kNotifyKeyDown + position)), 2);
    ASSERT_EQ(m_sim->SendNotification(kNotifySync), 2);
    ASSERT_TRUE(m_colours.WaitForTimers(1, 2000)); // the press has been handled before it
    EXPECT_GT(m_dev->LightPreview().Intensity(kKey), 0);
    EXPECT_EQ(m_dev->LightPreview().Intensity(kKey + 1), 0);
    // The next step draws it.
    ASSERT_TRUE(WaitFor([&] { return m_dev->LightPreview().Colour(kKey).a > 0; }));

    // Mode 9 has no key hook: a press changes nothing.
    m_dev->SetLightSettings(Mode(9, 0, false));
    ASSERT_EQ(m_dev->LightPreview().Intensity(kKey), 0);
    ASSERT_EQ(m_sim->SendNotification(static_cast<uint16_t>(kNotifyKeyDown + position)), 2);
    ASSERT_EQ(m_sim->SendNotification(kNotifySync), 2);
    ASSERT_TRUE(m_colours.WaitForTimers(2, 2000));
    EXPECT_EQ(m_dev->LightPreview().Intensity(kKey), 0);
}

TEST_F(LightPreviewWiringTest, CustomColoursReachThePreviewWhoseStepSetsOnlyTheBrightness) {
    Connect();
    m_dev->SetLightSettings(Mode(kCustomLightMode, 4, false, 1));
    m_dev->SelectCustomGroup(0);
    m_dev->FillCustomColors(true);
    ASSERT_TRUE(WaitFor([&] { return m_dev->LightPreview().Colour(7).a == 80; }));
    EXPECT_EQ(m_dev->LightPreview().Colour(7), (light::Rgba{0xFF, 0x40, 0x10, 80}));

    LightState s = m_dev->GetLightSettings();
    s.red = 1;
    s.green = 2;
    s.blue = 3;
    m_dev->SetLightSettings(s);
    m_dev->SetCustomKeyColor(7);
    EXPECT_EQ(m_dev->KeyColours()[7], (KeyColour{1, 2, 3, m_dev->KeyColours()[7].alpha}));
    ASSERT_TRUE(PassesMoveOn());
    EXPECT_EQ(m_dev->LightPreview().Colour(7), (light::Rgba{1, 2, 3, 80}));
    EXPECT_EQ(m_dev->LightPreview().Colour(8), (light::Rgba{0xFF, 0x40, 0x10, 80}));
    ASSERT_EQ(m_dev->RefreshLighting(), kResultOk);
    EXPECT_EQ(m_colours.shown[7], (ColourView::Shown{PackKeyButtonColour({1, 2, 3, 80}), 80}));
}

TEST_F(LightPreviewWiringTest, TheBackgroundPauseIdlesThePreviewAndShowsTheWorkersColours) {
    Connect();
    m_dev->SetLightSettings(Mode(4, 4, false)); // colour cycle, every tick
    ASSERT_TRUE(PassesMoveOn());
    m_dev->Link().SetBackgroundPause(true);
    std::this_thread::sleep_for(40ms); // a pass under way ends
    const uint64_t passes = m_dev->LightPasses();
    const std::vector<light::Rgba> frozen = m_dev->LightPreview().Colours();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(m_dev->LightPasses(), passes);
    EXPECT_EQ(m_dev->LightPreview().Colours(), frozen);
    EXPECT_TRUE(m_dev->LightThreadRunning());

    // The worker paints the per-key table, and the buttons show it.
    light::LightSyncHub hub;
    hub.SetDevices({m_dev.get()});
    ASSERT_TRUE(hub.AnyFlagged());
    light::CommonEffectSettings still;
    still.effect = static_cast<int>(light::CommonEffect::Static);
    still.brightness = 2;
    still.red = 5;
    still.green = 6;
    still.blue = 7;
    hub.Store(still);
    hub.Step();
    ASSERT_EQ(m_dev->RefreshLighting(), kResultOk);
    for (int k = 0; k < kKeyboardKeyCount; ++k)
        ASSERT_EQ(m_colours.shown[static_cast<size_t>(k)],
                  (ColourView::Shown{PackKeyButtonColour({5, 6, 7, 135}), 135}))
            << k;

    // A normal mode again: the preview moves on and the buttons follow it.
    m_dev->Link().SetBackgroundPause(false);
    ASSERT_TRUE(PassesMoveOn());
    ASSERT_EQ(m_dev->RefreshLighting(), kResultOk);
    EXPECT_EQ(m_colours.shown[0].brightness, 255);
}

TEST_F(LightPreviewWiringTest, AClosedLinkIdlesTheThreadAndStoppingIsPrompt) {
    DebugCapture debug;
    Connect();
    ASSERT_TRUE(PassesMoveOn());
    m_dev->Link().ClosePath();
    std::this_thread::sleep_for(40ms);
    const uint64_t passes = m_dev->LightPasses();
    std::this_thread::sleep_for(250ms);
    EXPECT_EQ(m_dev->LightPasses(), passes);
    EXPECT_TRUE(m_dev->LightThreadRunning());

    auto start = std::chrono::steady_clock::now();
    m_dev->StopLightThread();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 300ms);
    EXPECT_FALSE(m_dev->LightThreadRunning());
    EXPECT_TRUE(debug.Has("KB灯光线程设定退出"));
    EXPECT_TRUE(debug.Has("线程退出：：对象处于激发状态\n"));

    // Connecting again starts it again; destroying the page joins it promptly.
    ASSERT_EQ(m_dev->Link().OpenPath(m_sim->CommandPath()), 1);
    Connect();
    ASSERT_TRUE(PassesMoveOn());
    start = std::chrono::steady_clock::now();
    m_dev.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 300ms);
    EXPECT_EQ(debug.Count("KB灯光线程设定退出"), 2);
}

} // namespace
} // namespace nk7x::test
