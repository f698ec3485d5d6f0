// The mouse pad device object against the emulated pad: the settings record mirror both ways (the
// pad's own bytes survive, a user effect travels as mode 0, the speed is counted down on the wire),
// the connection and sync flow, the status poll with the phone type, and the 45-byte light stream.
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "devices/mousepad/MousePadDevice.h"
#include "support/Wait.h"
#include "tools/sim/PadMemory.h"
#include "tools/sim/SimDevice.h"

namespace nk7x::test {
namespace {

using Bytes = std::vector<uint8_t>;

class RecordingPadView : public IMousePadView {
  public:
    void ArmTimer(int, int) override {}
    void SelectFunctionTabs(const FunctionTabs&) override {}
    void ShowKeyColour(int, uint32_t, uint8_t) override {}
    void PadLightChanged(const LightState& light) override { shown.push_back(light); }
    void PadWriteFailed(LinkResult result) override { failures.push_back(result); }
    void StatusChanged(const DeviceStatusBytes& s) override { status.push_back(s); }
    void LightNamesChanged(const LightNameLists& names) override { modeNames = names.modes.size(); }

    std::vector<LightState> shown;
    std::vector<LinkResult> failures;
    std::vector<DeviceStatusBytes> status;
    size_t modeNames = 0;
};

LightState Light(uint8_t mode, uint8_t brightness, uint8_t speed, uint8_t multi, uint8_t r, uint8_t g,
                 uint8_t b) {
    LightState s;
    s.mode = mode;
    s.brightness = brightness;
    s.speed = speed;
    s.multiColor = multi;
    s.red = r;
    s.green = g;
    s.blue = b;
    return s;
}

class PadDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dirs = std::make_unique<DeviceTestRoot>("nk7x-pad");
        SimOptions options;
        options.kind = SimKind::Pad;
        options.folder = m_dirs->SimFolder();
        m_sim = std::make_unique<SimDevice>(options);
        ASSERT_EQ(m_sim->Start(), 1) << m_sim->LastError();
        m_pad = std::make_unique<CMousePadDevice>();
        m_pad->SetView(&m_view);
        m_pad->SetProfileName("profile-one");
        m_pad->SetLightingName("tavro_light");
        ASSERT_EQ(m_pad->Link().OpenPath(m_sim->CommandPath()), 1);
        m_pad->LoadProfile();
        m_sim->ClearFrameLog();
    }
    void TearDown() override {
        m_pad.reset();
        if (m_sim)
            m_sim->Stop();
        m_dirs.reset();
    }
    // The user's lighting as the main window stores it: into the profile, then applied.
    void UseLight(const LightState& light) {
        m_pad->SetLightSettings(light);
        m_pad->SaveProfile();
        m_pad->ApplyProfile();
    }
    Bytes Written() const { // the 21 bytes of record 0 as the pad holds them
        const Bytes record = m_sim->SettingsRecord(0);
        return Bytes(record.begin(), record.begin() + 21);
    }
    std::vector<SimFrameRecord> Frames(uint8_t command) const {
        std::vector<SimFrameRecord> out;
        for (const SimFrameRecord& f : m_sim->FrameLog())
            if (f.command == command)
                out.push_back(f);
        return out;
    }

    std::unique_ptr<DeviceTestRoot> m_dirs;
    std::unique_ptr<SimDevice> m_sim;
    RecordingPadView m_view;
    std::unique_ptr<CMousePadDevice> m_pad;
};

} // namespace

TEST(PadRecords, TheMirrorCountsTheSpeedUpAndTheWireDown) {
    PadSettingsRecord mirror;
    Bytes read(kPadSettingsReadSize);
    for (size_t i = 0; i < read.size(); ++i)
        read[i] = static_cast<uint8_t>(0x80 + i);
    read[PadSettingsRecord::kMode] = 12; // a user effect
    read[PadSettingsRecord::kSpeed] = 4;
    ASSERT_TRUE(mirror.TakeRead(read));
    EXPECT_EQ(mirror.Bytes()[PadSettingsRecord::kSpeed], 0) << "4 on the wire is speed 0";
    const PadWireRecord wire = mirror.Wire();
    EXPECT_EQ(wire[PadSettingsRecord::kSpeed], 4);
    EXPECT_EQ(wire[PadSettingsRecord::kMode], 0) << "mode 9 and up travel as 0";
    EXPECT_EQ(mirror.Bytes()[PadSettingsRecord::kMode], 12) << "the mirror keeps the mode";
    for (size_t i : {size_t{0}, size_t{4}, size_t{9}, size_t{15}, size_t{20}})
        EXPECT_EQ(wire[i], read[i]) << "byte " << i << " goes back as it came";

    // A speed the pad reports beyond the top level comes back unchanged as well.
    read[PadSettingsRecord::kSpeed] = 7;
    ASSERT_TRUE(mirror.TakeRead(read));
    EXPECT_EQ(mirror.Wire()[PadSettingsRecord::kSpeed], 7);

    // From the profile: a speed beyond the top level would wrap round on the wire.
    mirror.TakeLight(Light(8, 2, 9, 1, 1, 2, 3));
    EXPECT_EQ(mirror.Wire()[PadSettingsRecord::kSpeed], 0);
    EXPECT_EQ(mirror.Wire()[PadSettingsRecord::kMode], 8) << "the last built-in mode travels as it is";
    EXPECT_EQ(mirror.Bytes()[4], read[4]) << "the profile does not reach the pad's own bytes";

    // Too short a read changes nothing.
    const PadSettingsRecord before = mirror;
    EXPECT_FALSE(mirror.TakeRead(Bytes(20, 0)));
    EXPECT_EQ(mirror.Bytes(), before.Bytes());
}

TEST_F(PadDeviceTest, WithoutAReadTheWriteCarriesTheProfileAndZeros) {
    UseLight(Light(2, 3, 1, 0, 10, 20, 30));
    ASSERT_EQ(m_pad->WriteSettings(0, 0x5A), kResultOk);
    EXPECT_EQ(Written(), (Bytes{0, 2, 3, 3, 0, 0, 10, 20, 30, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}))
        << "byte 0 is the index last read, not the caller's";
    // One session: begin, the 21 bytes at 0, end.
    std::vector<uint8_t> commands;
    for (const SimFrameRecord& f : m_sim->FrameLog())
        commands.push_back(f.command);
    EXPECT_EQ(commands, (std::vector<uint8_t>{1, 6, 2}));
    const std::vector<SimFrameRecord> writes = Frames(6);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].length, 21);
    EXPECT_EQ(writes[0].offset, 0);
    EXPECT_TRUE(m_view.failures.empty());
}

TEST_F(PadDeviceTest, ThePadsOwnBytesSurviveAWriteAndTheProfileStaysOutOfARead) {
    Bytes record = SimFactoryPadSettingsRecord();
    record[kSimPadRecordOwnByte] = 0x7A;
    for (size_t i = kSimPadRecordOwnTail; i < kSimPadRecordOwnTailEnd; ++i)
        record[i] = static_cast<uint8_t>(0xC0 + i);
    record[kSimPadRecordMode] = 6;
    record[kSimPadRecordSpeed] = 4; // speed 0
    ASSERT_TRUE(m_sim->SetParameters(0, record));
    const LightState profileBefore = m_pad->Profile().GetLightInfo();

    ASSERT_EQ(m_pad->ReadSettings(), kResultOk);
    EXPECT_EQ(m_pad->Mirror().Bytes()[PadSettingsRecord::kSpeed], 0);
    EXPECT_EQ(m_pad->Mirror().Bytes()[PadSettingsRecord::kMode], 6);
    const LightState profileAfter = m_pad->Profile().GetLightInfo();
    EXPECT_EQ(profileAfter.mode, profileBefore.mode) << "a read does not change the profile";
    EXPECT_EQ(profileAfter.speed, profileBefore.speed);
    const std::vector<SimFrameRecord> reads = Frames(5);
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0].length, 1);
    EXPECT_EQ(reads[1].length, 26);
    EXPECT_EQ(reads[1].offset, 0);

    // Written back untouched, the speed goes out as it came in.
    ASSERT_EQ(m_pad->WriteSettings(0, 0), kResultOk);
    EXPECT_EQ(Written(), Bytes(record.begin(), record.begin() + 21));

    // A user effect at speed 3 from the profile: mode 0 and 1 on the wire, the pad's bytes kept.
    UseLight(Light(12, 4, 3, 1, 0xAA, 0xBB, 0xCC));
    ASSERT_EQ(m_pad->WriteSettings(0, 0), kResultOk);
    const Bytes written = Written();
    EXPECT_EQ(written[1], 0);
    EXPECT_EQ(written[2], 4);
    EXPECT_EQ(written[3], 1);
    EXPECT_EQ(written[4], 0x7A);
    EXPECT_EQ(written[5], 1);
    EXPECT_EQ(Bytes(written.begin() + 6, written.begin() + 9), (Bytes{0xAA, 0xBB, 0xCC}));
    EXPECT_EQ(Bytes(written.begin() + 9, written.end()), Bytes(record.begin() + 9, record.begin() + 21));
    EXPECT_EQ(m_sim->SettingsRecord(0)[21], record[21]) << "a write never reaches beyond 21 bytes";
}

TEST_F(PadDeviceTest, TheRecordIndexChoosesBothStrides) {
    // The pad names record 2: it is read at 50.
    Bytes record2 = SimFactoryPadSettingsRecord();
    record2[0] = 2;
    record2[kSimPadRecordBrightness] = 1;
    ASSERT_TRUE(m_sim->SetParameters(50, record2));
    ASSERT_TRUE(m_sim->SetParameters(0, {2}));
    ASSERT_EQ(m_pad->ReadSettings(), kResultOk);
    EXPECT_EQ(Frames(5).back().offset, 50);
    EXPECT_EQ(m_pad->Mirror().Index(), 2);
    EXPECT_EQ(m_pad->Mirror().Bytes()[PadSettingsRecord::kBrightness], 1);

    // Record 3 is written at 192.
    m_sim->ClearFrameLog();
    ASSERT_EQ(m_pad->WriteSettings(3, 0), kResultOk);
    ASSERT_EQ(Frames(6).size(), 1u);
    EXPECT_EQ(Frames(6)[0].offset, 192);
    const Bytes all = m_sim->Parameters();
    EXPECT_EQ(all[192], 2) << "byte 0 is the index the pad named";

    // No record beyond 255, and nothing sent for it.
    m_sim->ClearFrameLog();
    EXPECT_EQ(m_pad->WriteSettings(256, 0), kResultFailed);
    EXPECT_EQ(m_pad->WriteSettings(-1, 0), kResultFailed);
    EXPECT_TRUE(m_sim->FrameLog().empty());
}

TEST_F(PadDeviceTest, FailuresLeaveTheMirrorAndAreReported) {
    UseLight(Light(3, 4, 2, 0, 1, 2, 3));
    const PadWireRecord before = m_pad->Mirror().Bytes();
    ASSERT_EQ(m_sim->AddFaults("status=0xFF@5+1"), 1); // the record read, after the index read
    EXPECT_EQ(m_pad->ReadSettings(), kResultDeviceFailed);
    EXPECT_EQ(m_pad->Mirror().Bytes(), before);

    ASSERT_EQ(m_sim->AddFaults("status=0xFF@6"), 1);
    EXPECT_EQ(m_pad->WriteSettings(0, 0), kResultDeviceFailed);
    ASSERT_EQ(m_view.failures.size(), 1u);
    EXPECT_EQ(m_view.failures[0], kResultDeviceFailed);
    EXPECT_FALSE(m_sim->InConfig()) << "the session is closed after a failed write";

    // Without a link there is nothing to tell the user and nothing is sent.
    m_pad->Link().ClosePath();
    m_sim->ClearFrameLog();
    EXPECT_EQ(m_pad->WriteSettings(0, 0), kResultFailed);
    m_pad->QueueSettingsWrite(0, 0);
    EXPECT_EQ(m_view.failures.size(), 1u);
    EXPECT_EQ(m_pad->ReadSettings(), kResultFailed);
    EXPECT_TRUE(m_sim->FrameLog().empty());
}

TEST_F(PadDeviceTest, ConnectReadsTheInformationAndSyncReadsTheRecord) {
    Bytes own = SimFactoryPadSettingsRecord();
    own[kSimPadRecordOwnByte] = 0x5C;
    ASSERT_TRUE(m_sim->SetParameters(0, own));
    m_view.shown.clear();
    m_pad->OnConnect(); // without the worker it runs here and now
    std::vector<uint8_t> commands;
    for (const SimFrameRecord& f : m_sim->FrameLog())
        commands.push_back(f.command);
    EXPECT_EQ(commands, (std::vector<uint8_t>{1, 3, 2, 5, 5})) << "information, then the record";
    const Bytes info = m_sim->DeviceInfo();
    EXPECT_EQ(Bytes(m_pad->DeviceInfo().begin(), m_pad->DeviceInfo().end()), info);
    ASSERT_FALSE(m_view.shown.empty()) << "the page is filled";
    EXPECT_EQ(m_view.shown.back().mode, m_pad->Profile().GetLightInfo().mode);
    EXPECT_GT(m_view.modeNames, 0u) << "the pad's lighting names are listed";
    EXPECT_TRUE(m_pad->LightThreadRunning());
    // The mirror holds the pad's own bytes under the profile's lighting.
    EXPECT_EQ(m_pad->Mirror().Bytes()[4], 0x5C);
    EXPECT_EQ(m_pad->Mirror().Bytes()[9], own[9]);
    EXPECT_EQ(m_pad->Mirror().Bytes()[PadSettingsRecord::kRed + 1], m_pad->Profile().GetLightInfo().green);
    EXPECT_NE(own[PadSettingsRecord::kRed + 1], m_pad->Profile().GetLightInfo().green);

    // The pad reports a change: its record becomes the mirror.
    Bytes record = SimFactoryPadSettingsRecord();
    record[kSimPadRecordMode] = 7;
    ASSERT_TRUE(m_sim->SetParameters(0, record));
    m_pad->Link().SetBackgroundPause(true);
    m_pad->OnSyncRequest();
    EXPECT_EQ(m_pad->Mirror().Bytes()[PadSettingsRecord::kMode], 7);
    EXPECT_FALSE(m_pad->Link().BackgroundPause()) << "a sync request ends the background pause";
}

TEST_F(PadDeviceTest, RestoringTheDefaultsReachesTheMirror) {
    UseLight(Light(8, 0, 0, 0, 0, 0, 0));
    m_pad->RestoreDefaults();
    const LightState restored = m_pad->Profile().GetLightInfo();
    EXPECT_EQ(restored.brightness, 4) << "DefaultData/MousePad.Json";
    EXPECT_EQ(restored.green, 128);
    ASSERT_EQ(m_pad->WriteSettings(0, 0), kResultOk);
    const Bytes written = Written();
    EXPECT_EQ(written[2], 4);
    EXPECT_EQ(written[7], 128);
    EXPECT_EQ(written[3], 4 - restored.speed);
}

TEST_F(PadDeviceTest, TheStatusPollHandsOnThePhone) {
    ASSERT_TRUE(m_sim->SetPowerStatus(57, 2, 1));
    m_pad->StatusPoll();
    ASSERT_EQ(m_view.status.size(), 1u);
    EXPECT_EQ(Bytes(m_view.status[0].begin(), m_view.status[0].end()), (Bytes{57, 2, 0, 0, 0, 1}));
    EXPECT_EQ(m_pad->LastStatus(), m_view.status[0]);

    // Byte 3 is the program's: wireless only behind a receiver, whatever the pad sent.
    m_sim->SetStatusBlock({57, 2, 0, 9, 0, 3});
    m_pad->StatusPoll();
    ASSERT_EQ(m_view.status.size(), 2u);
    EXPECT_EQ(m_view.status[1][3], 0);
    EXPECT_EQ(m_view.status[1][5], 3);

    // A failed read shows nothing new.
    ASSERT_EQ(m_sim->AddFaults("status=0xFF@26"), 1);
    m_pad->StatusPoll();
    EXPECT_EQ(m_view.status.size(), 2u);
}

TEST_F(PadDeviceTest, EveryFrameStreamsThe15LedsIn45Bytes) {
    UseLight(Light(3, 4, 2, 0, 0xFF, 0x40, 0x00)); // static red-orange at full brightness
    ASSERT_TRUE(m_pad->StartLightThread());
    ASSERT_TRUE(WaitUntil([&] {
        const std::vector<light::Rgba> c = m_pad->LightPreview().Colours();
        return c.size() == 15 && c[14].a == 255 && c[14].r == 0xFF;
    }));
    ASSERT_EQ(m_pad->RefreshLighting(), kResultOk);
    const std::vector<SimFrameRecord> frames = Frames(18);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].length, 45);
    EXPECT_EQ(frames[0].offset, 0);
    const Bytes live = m_sim->LiveLighting();
    for (size_t i = 0; i < 15; ++i) {
        EXPECT_EQ(live[3 * i], (0xFF * 255) >> 8) << "LED " << i;
        EXPECT_EQ(live[3 * i + 1], (0x40 * 255) >> 8) << "LED " << i;
        EXPECT_EQ(live[3 * i + 2], 0) << "LED " << i;
    }
    EXPECT_EQ(live[45], 0) << "nothing past the pad's LEDs";

    // A moving effect changes what the pad receives from frame to frame.
    UseLight(Light(0, 4, 4, 1, 0, 0, 0)); // multi-colour wave, fastest
    ASSERT_EQ(m_pad->RefreshLighting(), kResultOk);
    const Bytes first = m_sim->LiveLighting();
    EXPECT_TRUE(WaitUntil([&] {
        EXPECT_EQ(m_pad->RefreshLighting(), kResultOk);
        return m_sim->LiveLighting() != first;
    }));

    // With live lighting off nothing goes out.
    m_pad->SetLiveLighting(false);
    m_sim->ClearFrameLog();
    EXPECT_EQ(m_pad->RefreshLighting(), kResultOk);
    EXPECT_TRUE(Frames(18).empty());
}

} // namespace nk7x::test
