// The mouse device object against the emulated mouse, by cable and behind its receiver: the button
// layout and the DPI arithmetic, the settings record both ways, key assignments, the shoot image,
// the status poll, and a sleeping mouse that makes every configuration step end quietly.
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

#include <json/value.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "devices/mouse/MouseDevice.h"
#include "devices/mouse/ShootImageBuild.h"
#include "macros/MacroStore.h"
#include "platform/Folders.h"
#include "profiles/json/JsonFile.h"
#include "tools/sim/SimDevice.h"

namespace nk7x::test {
namespace {

class RecordingMouseView : public IMouseView {
  public:
    void ArmTimer(int, int) override {}
    void SelectFunctionTabs(const FunctionTabs&) override {}
    void ShowKeyColour(int, uint32_t, uint8_t) override {}
    void DpiRangesChanged(const MouseDeviceInfo& info) override { ranges.push_back(info); }
    void MouseSettingsChanged(const MouseSettingsControls& c, const LightState&) override {
        shown.push_back(c);
    }
    void MouseWriteFailed(MouseWrite what, LinkResult result) override {
        failures.emplace_back(what, result);
    }
    void StatusChanged(const std::array<uint8_t, DeviceStatusRecord::kSize>& s) override {
        status.push_back(s);
    }

    std::vector<MouseDeviceInfo> ranges;
    std::vector<MouseSettingsControls> shown;
    std::vector<std::pair<MouseWrite, LinkResult>> failures;
    std::vector<std::array<uint8_t, DeviceStatusRecord::kSize>> status;
};

class MouseDeviceTest : public ::testing::Test {
  protected:
    void Plug(SimKind kind) {
        m_dirs = std::make_unique<DeviceTestRoot>("nk7x-mouse");
        SimOptions options;
        options.kind = kind;
        options.folder = m_dirs->SimFolder();
        m_sim = std::make_unique<SimDevice>(options);
        ASSERT_EQ(m_sim->Start(), 1) << m_sim->LastError();
        m_mouse = std::make_unique<CMouseDevice>(6);
        m_mouse->SetView(&m_view);
        m_mouse->SetProfileName("profile-one");
        m_mouse->SetLightingName("tavro_light");
        m_mouse->SetScreenSize(1920, 1080);
        ASSERT_EQ(m_mouse->Link().OpenPath(m_sim->CommandPath()), 1);
        m_mouse->Link().SetLongTimeouts(kind == SimKind::Receiver);
        m_mouse->LoadProfile();
    }
    void TearDown() override {
        m_mouse.reset();
        if (m_sim)
            m_sim->Stop();
        m_dirs.reset();
    }
    std::vector<uint8_t> Commands() const {
        std::vector<uint8_t> out;
        for (const SimFrameRecord& f : m_sim->FrameLog())
            out.push_back(f.command);
        return out;
    }
    // A profile file with `count` stages of distinct step counts, loaded by a new mouse object (a
    // loaded profile keeps the stages it had beyond those of a shorter list).
    void UseStages(Json::ArrayIndex count) {
        Json::Value profile = m_mouse->Profile().GetProfileValue();
        Json::Value& stages = profile["DPIStages"]["StageDPIs"];
        stages.resize(count);
        for (Json::ArrayIndex s = 0; s < count; ++s) {
            stages[s]["StageActive"] = 1;
            stages[s]["StageDPIX"] = 10 + s;
            stages[s]["StageDPIY"] = 10 + s;
        }
        const std::string path = m_mouse->Profile().GetProfilePath();
        Json::Value file;
        file["Device"].append(profile);
        ASSERT_EQ(WriteJson(path, file), 1);
        m_mouse = std::make_unique<CMouseDevice>(6);
        m_mouse->SetView(&m_view);
        m_mouse->SetProfileName("profile-one");
        m_mouse->SetLightingName("tavro_light");
        m_mouse->SetScreenSize(1920, 1080);
        ASSERT_EQ(m_mouse->Link().OpenPath(m_sim->CommandPath()), 1);
        m_mouse->LoadProfile();
        ASSERT_EQ(m_mouse->Profile().GetDpiStages().size(), count);
    }

    std::unique_ptr<DeviceTestRoot> m_dirs;
    std::unique_ptr<SimDevice> m_sim;
    RecordingMouseView m_view;
    std::unique_ptr<CMouseDevice> m_mouse;
};

} // namespace

TEST(MouseRecords, DpiArithmeticFollowsTheDeviceInformation) {
    DeviceInfoRecord raw{};
    raw[5] = 10;
    raw[11] = 50;
    raw[12] = 320 & 0xFF;
    raw[13] = 320 >> 8;
    raw[14] = 100;
    const MouseDeviceInfo info = MouseDeviceInfo::From(raw);
    EXPECT_EQ(info.MaxDpi(), 16000);
    EXPECT_EQ(info.StepsForDpi(75), 2) << "raised to the smallest DPI first";
    EXPECT_EQ(info.StepsForDpi(0), 2);
    EXPECT_EQ(info.StepsForDpi(1234), 24);
    EXPECT_EQ(info.StepsForDpi(99999), 320) << "never beyond the largest step count";
    EXPECT_EQ(MouseDeviceInfo{}.StepsForDpi(800), 0) << "no step: nothing to divide by";
}

TEST(MouseRecords, ButtonPositionsAreFoundByFactoryCode) {
    // The mouse lists its buttons in another order and lacks the last one.
    std::vector<uint8_t> table;
    for (int b : {1, 0, 2, 3, 4, 5, 6, 7, 8}) {
        const KeyCode& c = DefaultButtonCodeTable[static_cast<size_t>(b)].code;
        table.insert(table.end(), {c.type, c.b1, c.b2});
    }
    const auto map = BuildButtonPositionMap(table, 9);
    EXPECT_EQ(map[0], 1);
    EXPECT_EQ(map[1], 0);
    EXPECT_EQ(map[8], 8);
    EXPECT_EQ(map[9], kMouseButtonNotFound);
    EXPECT_EQ(BuildButtonPositionMap(table, 2)[2], kMouseButtonNotFound) << "only the first K entries count";
}

TEST_F(MouseDeviceTest, LayoutSettingsAndKeysByCable) {
    Plug(SimKind::Mouse);
    ASSERT_EQ(m_mouse->ReadButtonLayout(), kResultOk);
    EXPECT_EQ(m_mouse->Info().dpiStep, 50);
    EXPECT_EQ(m_mouse->Info().maxSteps, 320);
    EXPECT_EQ(m_mouse->Info().minDpi, 100);
    ASSERT_EQ(m_view.ranges.size(), 1u);
    for (int b = 0; b < kMouseButtonCount; ++b)
        EXPECT_EQ(m_mouse->ButtonPositions()[static_cast<size_t>(b)], b);

    // Two stages, a user effect (mode 9) and speed 1.
    UseStages(2);
    ASSERT_EQ(m_mouse->ReadButtonLayout(), kResultOk);
    LightState light = m_mouse->Profile().GetLightInfo();
    light.mode = 9;
    light.speed = 1;
    light.red = 0x40;
    m_mouse->SetLightSettings(light);
    ASSERT_EQ(m_mouse->WriteSettings(0, 0), kResultOk);
    const std::vector<uint8_t> record = m_sim->SettingsRecord(0);
    ASSERT_GE(record.size(), kMouseSettingsWriteBytes);
    EXPECT_EQ(record[1], 0) << "a user effect travels as mode 0; the program streams its colours";
    EXPECT_EQ(record[3], 3) << "the mouse counts the speed the other way round";
    EXPECT_EQ(record[6], 0x40);
    EXPECT_EQ(record[14 + 2], 10);
    EXPECT_EQ(record[23 + 2], 11);
    for (size_t b = 32; b <= 58; ++b)
        EXPECT_EQ(record[b], 0) << "byte " << b << ": stages the profile lacks travel as zeros";
    EXPECT_EQ(record[59], 1);
    EXPECT_EQ(record[60] | record[61] << 8, 1920);
    EXPECT_EQ(record[62] | record[63] << 8, 1080);

    // Read back: the speed is the profile's again, the direction stays the profile's.
    light.speed = 3;
    light.direction = 1;
    m_mouse->SetLightSettings(light);
    ASSERT_EQ(m_mouse->ReadSettings(), kResultOk);
    EXPECT_EQ(m_mouse->Profile().GetLightInfo().speed, 1);
    EXPECT_EQ(m_mouse->Profile().GetLightInfo().direction, 1);

    // Button 3 ("forward") does what button 4 did; the mouse's table changes at its position only.
    std::vector<KeyAssignment> keys(kMouseButtonCount);
    for (int b = 0; b < kMouseButtonCount; ++b)
        keys[static_cast<size_t>(b)].assignment = DefaultButtonCodeTable[static_cast<size_t>(b)].code;
    keys[3].assignment = DefaultButtonCodeTable[4].code;
    ASSERT_EQ(m_mouse->WriteKeyAssignments(0, keys), kResultOk);
    const std::vector<uint8_t> table = m_sim->KeyTable();
    EXPECT_EQ(table[9], DefaultButtonCodeTable[4].code.type);
    EXPECT_EQ(table[10], DefaultButtonCodeTable[4].code.b1);
    EXPECT_EQ(table[12], DefaultButtonCodeTable[4].code.type) << "button 4 keeps its own code";
    EXPECT_TRUE(m_view.failures.empty());
}

TEST_F(MouseDeviceTest, KeyAssignmentsWaitForARealButtonTable) {
    Plug(SimKind::Mouse);
    m_sim->ClearFrameLog();
    std::vector<KeyAssignment> keys(kMouseButtonCount);
    EXPECT_EQ(m_mouse->WriteKeyAssignments(0, keys), kResultFailed);
    EXPECT_TRUE(Commands().empty()) << "without a read table every button would be wiped";
}

TEST_F(MouseDeviceTest, ShootPatternsReachTheShootArea) {
    Plug(SimKind::Mouse);
    const std::string folder = m_mouse->DataFolder();
    for (int g = 0; g < kShootGunCount; ++g)
        std::filesystem::copy_file(ShootPatternPath(DefaultDataFolder(), g), ShootPatternPath(folder, g),
                                   std::filesystem::copy_options::overwrite_existing);
    const ShootImageBuild expected = BuildShootImage(folder);
    ASSERT_TRUE(expected.ok);
    ASSERT_EQ(m_mouse->DownloadShootPatterns(), kResultOk);
    const std::vector<uint8_t> area = m_sim->ShootArea();
    ASSERT_GE(area.size(), expected.bytes.size());
    EXPECT_TRUE(std::equal(expected.bytes.begin(), expected.bytes.end(), area.begin()));
}

TEST_F(MouseDeviceTest, BehindTheReceiverTheStatusSaysWirelessAndNothingIsStreamed) {
    Plug(SimKind::Receiver);
    ASSERT_TRUE(m_sim->SetPowerStatus(64, 2));
    m_mouse->StatusPoll();
    ASSERT_EQ(m_view.status.size(), 1u);
    EXPECT_EQ(m_view.status[0][0], 64);
    EXPECT_EQ(m_view.status[0][1], 2);
    EXPECT_EQ(m_view.status[0][3], 1) << "reported as wireless whatever the mouse sent";

    // The speed survives the radio both ways.
    LightState light = m_mouse->Profile().GetLightInfo();
    light.speed = 1;
    m_mouse->SetLightSettings(light);
    ASSERT_EQ(m_mouse->WriteSettings(0, 0), kResultOk);
    EXPECT_EQ(m_sim->SettingsRecord(0)[3], 3);
    ASSERT_EQ(m_mouse->ReadSettings(), kResultOk);
    EXPECT_EQ(m_mouse->Profile().GetLightInfo().speed, 1);

    // The lighting is never streamed through the receiver.
    m_sim->ClearFrameLog();
    ASSERT_EQ(m_mouse->RefreshLighting(), kResultOk);
    EXPECT_TRUE(Commands().empty());
}

TEST_F(MouseDeviceTest, ASleepingMouseEndsEveryStepQuietlyAfterItsProbe) {
    Plug(SimKind::Receiver);
    ASSERT_TRUE(m_sim->SetMouseAsleep(true));
    m_sim->ClearFrameLog();
    const CMouseDevice::LayoutRead layout = m_mouse->FetchButtonLayout();
    EXPECT_TRUE(layout.asleep);
    EXPECT_NE(m_mouse->ApplyButtonLayout(layout), kResultOk);
    EXPECT_EQ(m_mouse->WriteSettings(0, 0), kResultOk) << "nothing to tell the user";
    EXPECT_NE(m_mouse->ReadSettings(), kResultOk);
    EXPECT_EQ(m_mouse->DownloadShootPatterns(), kResultOk);
    const MacroDownload macros = m_mouse->DownloadMacros();
    EXPECT_EQ(macros.Code(), 0);
    for (uint8_t command : Commands())
        EXPECT_EQ(command, 0xAA) << "only probes go out while the mouse sleeps";
    EXPECT_GE(Commands().size(), 5u);
    EXPECT_TRUE(m_view.failures.empty());

    // Awake again, the same steps go through.
    ASSERT_TRUE(m_sim->SetMouseAsleep(false));
    EXPECT_EQ(m_mouse->ReadButtonLayout(), kResultOk);
}

// A mouse that falls asleep once a download has begun leaves it half done: that is a failure, told
// to the user, not a quiet end.
TEST_F(MouseDeviceTest, AMouseThatFallsAsleepInTheMiddleOfADownloadFailsIt) {
    Plug(SimKind::Receiver);
    {
        // One macro, so that there is something to send.
        MacroStore store(m_mouse->DataFolder());
        MacroInfo info;
        ASSERT_EQ(store.Create(info), MacroResult::Ok);
        const std::vector<MacroEvent> events = {{true, 10, 4, 5}, {false, 10, 4, 5}};
        ASSERT_EQ(store.Save(info, events), MacroResult::Ok);
    }
    ASSERT_EQ(m_sim->AddFaults("sleep@1"), 1); // asleep right after BeginConfig
    EXPECT_NE(m_mouse->DownloadShootPatterns(), kResultOk);
    EXPECT_EQ(m_sim->Counters().perCommand[23], 0u);
    ASSERT_FALSE(m_view.failures.empty());
    EXPECT_EQ(m_view.failures.back().first, MouseWrite::ShootPatterns);

    ASSERT_TRUE(m_sim->SetMouseAsleep(false));
    m_view.failures.clear();
    ASSERT_EQ(m_sim->AddFaults("sleep@1"), 1);
    const MacroDownload macros = m_mouse->DownloadMacros();
    EXPECT_EQ(macros.status, MacroDownload::Status::Sent);
    EXPECT_NE(macros.link, kResultOk);
    EXPECT_EQ(m_sim->Counters().perCommand[21], 0u);
    ASSERT_FALSE(m_view.failures.empty());
    EXPECT_EQ(m_view.failures.back().first, MouseWrite::Macros);
}

// A macro file that cannot be read would reach the mouse as a macro without events: the download
// is refused whole, as the keyboard's is, and the mouse keeps the macros it holds.
TEST_F(MouseDeviceTest, AnUnreadableMacroFileSendsTheMouseNothing) {
    Plug(SimKind::Mouse);
    MacroStore store(m_mouse->DataFolder());
    const std::vector<MacroEvent> events = {{true, 10, 4, 5}, {false, 10, 4, 5}};
    for (int i = 0; i < 2; ++i) {
        MacroInfo info;
        ASSERT_EQ(store.Create(info), MacroResult::Ok);
        ASSERT_EQ(store.Save(info, events), MacroResult::Ok);
    }
    const std::vector<MacroInfo> listed = store.LoadIndex();
    ASSERT_EQ(listed.size(), 2u);
    const std::vector<uint8_t> held = m_sim->MacroArea();
    std::ofstream(m_mouse->DataFolder() + listed[1].guid + ".mac", std::ios::trunc) << "{ not json";
    const MacroDownload answer = m_mouse->DownloadMacros();
    EXPECT_EQ(answer.status, MacroDownload::Status::NoImage);
    EXPECT_EQ(m_sim->Counters().perCommand[21], 0u) << "nothing reached the macro area";
    EXPECT_EQ(m_sim->MacroArea(), held);
}

} // namespace nk7x::test
