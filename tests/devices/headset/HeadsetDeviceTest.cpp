// The headset device object against the emulated headset: the LED frame as output reports (the
// colours the headset keeps per bank), the settings record as the pad's, and the order of the sound
// hooks at connection and on a profile switch.
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "devices/headset/HeadsetDevice.h"
#include "support/Wait.h"
#include "tools/sim/SimDevice.h"

namespace nk7x::test {
namespace {

using Bytes = std::vector<uint8_t>;

class RecordingHeadsetView : public IHeadsetView {
  public:
    void ArmTimer(int, int) override {}
    void SelectFunctionTabs(const FunctionTabs&) override {}
    void ShowKeyColour(int, uint32_t, uint8_t) override {}
    void PadLightChanged(const LightState&) override { events.push_back("light"); }
    void PadWriteFailed(LinkResult) override { events.push_back("write-failed"); }
    void SoundConnected() override { events.push_back("sound-connected"); }
    void SoundProfileLoaded() override { events.push_back("sound-profile"); }
    void SoundRefresh() override { events.push_back("sound-refresh"); }

    std::vector<std::string> events;
};

class HeadsetDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dirs = std::make_unique<DeviceTestRoot>("nk7x-headset");
        SimOptions options;
        options.kind = SimKind::Headset;
        options.folder = m_dirs->SimFolder();
        m_sim = std::make_unique<SimDevice>(options);
        ASSERT_EQ(m_sim->Start(), 1) << m_sim->LastError();
        m_headset = std::make_unique<CHeadsetDevice>();
        m_headset->SetView(&m_view);
        m_headset->SetProfileName("profile-one");
        m_headset->SetLightingName("tavro_light");
        ASSERT_EQ(m_headset->Link().OpenPath(m_sim->CommandPath()), 1);
        m_sim->ClearFrameLog();
    }
    void TearDown() override {
        m_headset.reset();
        if (m_sim)
            m_sim->Stop();
        m_dirs.reset();
    }
    void UseLight(uint8_t mode, uint8_t multi, uint8_t r, uint8_t g, uint8_t b) {
        LightState s;
        s.mode = mode;
        s.brightness = 4;
        s.speed = 4;
        s.multiColor = multi;
        s.red = r;
        s.green = g;
        s.blue = b;
        m_headset->SetLightSettings(s);
        m_headset->ApplyProfile();
    }

    std::unique_ptr<DeviceTestRoot> m_dirs;
    std::unique_ptr<SimDevice> m_sim;
    RecordingHeadsetView m_view;
    std::unique_ptr<CHeadsetDevice> m_headset;
};

} // namespace

TEST_F(HeadsetDeviceTest, TheEnginesColoursReachBothBanksAsOutputReports) {
    m_headset->LoadProfile();
    UseLight(3, 0, 0xFF, 0x40, 0x00); // static, full brightness
    ASSERT_TRUE(m_headset->StartLightThread());
    ASSERT_TRUE(WaitUntil([&] {
        const std::vector<light::Rgba> c = m_headset->LightPreview().Colours();
        return c.size() == 13 && c[12].a == 255 && c[12].r == 0xFF;
    }));
    m_headset->SetLiveLighting(true);
    ASSERT_EQ(m_headset->RefreshLighting(), kResultOk);
    // Output reports are not answered: the headset takes them in its own time.
    ASSERT_TRUE(WaitUntil([&] { return m_sim->HeadsetLeds().reports >= 12; }));
    const SimHeadsetFrame frame = m_sim->HeadsetLeds();
    EXPECT_EQ(frame.reports, 12u);
    EXPECT_EQ(frame.refused, 0u);
    for (size_t led = 0; led < 13; ++led) {
        EXPECT_EQ(frame.bank22[3 * led], 0xF7) << "full red is capped, LED " << led;
        EXPECT_EQ(frame.bank22[3 * led + 1], (0x40 * 255) >> 8) << led;
        EXPECT_EQ(frame.bank22[3 * led + 2], 0) << led;
        EXPECT_EQ(frame.bank44[3 * led], frame.bank22[3 * led]) << led;
    }
    // The stream is no command: the headset answers none of the reports and keeps no live area.
    for (const SimFrameRecord& f : m_sim->FrameLog())
        EXPECT_NE(f.command, 18) << "no live-colour frames on a headset";

    // A moving effect changes what the headset holds from frame to frame.
    UseLight(0, 1, 0, 0, 0);
    ASSERT_EQ(m_headset->RefreshLighting(), kResultOk);
    const SimHeadsetFrame first = m_sim->HeadsetLeds();
    EXPECT_TRUE(WaitUntil([&] {
        EXPECT_EQ(m_headset->RefreshLighting(), kResultOk);
        return m_sim->HeadsetLeds().bank22 != first.bank22;
    }));

    m_headset->SetLiveLighting(false);
    // Every report sent so far has arrived once a command has been answered after them.
    ASSERT_EQ(m_headset->Link().EndConfig(), kResultOk);
    const uint64_t before = m_sim->HeadsetLeds().reports;
    EXPECT_EQ(m_headset->RefreshLighting(), kResultOk);
    ASSERT_EQ(m_headset->Link().EndConfig(), kResultOk);
    EXPECT_EQ(m_sim->HeadsetLeds().reports, before) << "nothing goes out with live lighting off";

    // A closed link refuses the frame instead of reporting it sent.
    m_headset->Link().ClosePath();
    HeadsetFrame blank{};
    EXPECT_NE(m_headset->SendFrame(blank), kResultOk);
}

TEST_F(HeadsetDeviceTest, ConnectionReadsTheRecordThenAsksForTheHeadsetsSound) {
    m_headset->OnConnect(); // without the worker it runs here and now
    std::vector<uint8_t> commands;
    for (const SimFrameRecord& f : m_sim->FrameLog())
        commands.push_back(f.command);
    // The headset is not asked for its device information (it need not answer): the record only.
    EXPECT_EQ(commands, (std::vector<uint8_t>{5, 5}));
    EXPECT_EQ(m_sim->Counters().perCommand[3], 0u);
    // At connection the headset's own sound state is read, never overwritten by the profile.
    EXPECT_EQ(std::count(m_view.events.begin(), m_view.events.end(), "sound-profile"), 0);
    const auto connected = std::find(m_view.events.begin(), m_view.events.end(), "sound-connected");
    const auto refresh = std::find(m_view.events.begin(), m_view.events.end(), "sound-refresh");
    ASSERT_NE(connected, m_view.events.end());
    ASSERT_NE(refresh, m_view.events.end());
    EXPECT_LT(connected, refresh) << "the state is read before the panels are filled";

    // Another profile is loaded: its sound goes to the headset.
    m_view.events.clear();
    m_headset->SetProfileName("profile-two");
    m_headset->LoadProfile();
    EXPECT_EQ(std::count(m_view.events.begin(), m_view.events.end(), "sound-profile"), 1);
    EXPECT_EQ(std::count(m_view.events.begin(), m_view.events.end(), "sound-connected"), 0);

    // The settings record goes out as the pad's: 21 bytes at n x 64.
    m_sim->ClearFrameLog();
    ASSERT_EQ(m_headset->WriteSettings(0, 0), kResultOk);
    bool wrote = false;
    for (const SimFrameRecord& f : m_sim->FrameLog())
        if (f.command == 6) {
            wrote = true;
            EXPECT_EQ(f.offset, 0);
        }
    EXPECT_TRUE(wrote);
    EXPECT_EQ(m_sim->SettingsRecord(0)[1], m_headset->Mirror().Wire()[1]);
}

} // namespace nk7x::test
