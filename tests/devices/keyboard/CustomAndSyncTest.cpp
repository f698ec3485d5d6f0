// Custom per-key colours, the key-event thread with sync requests and key events, macro keys that
// lost their macro, and the base page's tables and switches.
#include "KeyboardTestSupport.h"

#include <chrono>
#include <optional>

#include "devices/NotifyCodes.h"
#include "devices/PlainDevice.h"
#include "devices/discovery/DeviceTables.h"
#include "macros/MacroStore.h"
#include "tools/sim/KeyboardLayout.h"

namespace nk7x::test {
namespace {

class CustomColourTest : public KeyboardTest {
  protected:
    void SetUp() override {
        KeyboardTest::SetUp();
        ASSERT_EQ(m_kbd->ReadKeyLayout(), kResultOk);
        m_kbd->LoadProfile();
    }
    void EnterMode19(uint8_t group) {
        LightState s = m_kbd->GetLightSettings();
        s.mode = kCustomLightMode;
        s.customGroup = group;
        s.red = 0x40;
        s.green = 0x80;
        s.blue = 0xC0;
        m_kbd->SetLightSettings(s);
    }
};

TEST_F(CustomColourTest, ThePageHoldsScaledColoursAtEachLed) {
    EnterMode19(2);
    auto& colours = m_kbd->KeyColours();
    for (size_t k = 0; k < colours.size(); ++k)
        colours[k] = {static_cast<uint8_t>(k), 200, 0xFF, static_cast<uint8_t>(k % 2 ? 128 : 255)};
    m_sim->ClearFrameLog();
    ASSERT_EQ(m_kbd->SendCustomColors(), kResultOk);
    const std::vector<uint8_t> page = m_sim->LightingPage(2);
    ASSERT_EQ(page.size(), 512u);
    for (int k = 0; k < kKeyboardKeyCount; ++k) {
        const uint8_t led = m_kbd->KeyLed(k);
        if (led == kKeyNotFound)
            continue;
        const int a = k % 2 ? 128 : 255;
        EXPECT_EQ(page[3 * led], (k * a) >> 8) << k;
        EXPECT_EQ(page[3 * led + 1], (200 * a) >> 8) << k;
        EXPECT_EQ(page[3 * led + 2], (255 * a) >> 8) << k;
    }
    // Page 2 starts at 1024 of the lighting area.
    const auto writes = Frames(11);
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes[0].offset, 1024);
    EXPECT_TRUE(m_sim->LightingPage(0) == std::vector<uint8_t>(512, 0));
}

TEST_F(CustomColourTest, OutsideTheCustomModeNothingIsSent) {
    LightState s = m_kbd->GetLightSettings();
    s.mode = 3;
    m_kbd->SetLightSettings(s);
    m_sim->ClearFrameLog();
    EXPECT_EQ(m_kbd->SendCustomColors(), kResultFailed);
    m_kbd->SetCustomKeyColor(0);
    EXPECT_TRUE(Frames(11).empty());
}

TEST_F(CustomColourTest, AKeyColourIsStoredAndSentUnscaled) {
    EnterMode19(1);
    m_kbd->SelectCustomGroup(1);
    auto& colours = m_kbd->KeyColours();
    colours[0].alpha = 10; // alpha does not scale a single key's page
    m_kbd->SetCustomKeyColor(0);
    const uint8_t led = m_kbd->KeyLed(0);
    ASSERT_NE(led, kKeyNotFound);
    const std::vector<uint8_t> page = m_sim->LightingPage(1);
    EXPECT_EQ(std::vector<uint8_t>(page.begin() + 3 * led, page.begin() + 3 * led + 3),
              (std::vector<uint8_t>{0x40, 0x80, 0xC0}));
    const std::vector<CustomColor> stored = m_kbd->Profile().GetCustomColors(1, 126);
    EXPECT_EQ(stored[0], (CustomColor{0x40, 0x80, 0xC0, 10}));
    EXPECT_EQ(m_kbd->Profile().GetCustomGroup(), 1);
    // Out of range keys change nothing.
    m_sim->ClearFrameLog();
    m_kbd->SetCustomKeyColor(126);
    m_kbd->SetCustomKeyColor(-1);
    EXPECT_TRUE(Frames(11).empty());
}

TEST_F(CustomColourTest, FillAndEnterLoadTheGroup) {
    EnterMode19(0);
    m_kbd->SelectCustomGroup(3);
    m_kbd->FillCustomColors(true);
    std::vector<CustomColor> stored = m_kbd->Profile().GetCustomColors(3, 126);
    EXPECT_EQ(stored[100].red, 0x40);
    EXPECT_EQ(stored[100].blue, 0xC0);
    // Entering the mode again loads group 3 back into the colour table.
    for (auto& c : m_kbd->KeyColours())
        c = {};
    m_kbd->EnterCustomMode();
    EXPECT_EQ(m_kbd->KeyColours()[100].green, 0x80);
    EXPECT_EQ(m_view.groups.back(), 3);
    m_kbd->FillCustomColors(false);
    EXPECT_EQ(m_kbd->Profile().GetCustomColors(3, 126)[5].red, 0);
}

TEST_F(CustomColourTest, AFailedPageIsReported) {
    EnterMode19(0);
    ASSERT_EQ(m_sim->AddFaults("status=0xFF@11"), 1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(m_kbd->SendCustomColors(), kResultDeviceFailed);
    EXPECT_GE(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(190)); // pause before a retry
    ASSERT_FALSE(m_view.failures.empty());
    EXPECT_EQ(m_view.failures.back().first, KeyboardWrite::CustomColours);
}

class KeyEventTest : public KeyboardTest {
  protected:
    void SetUp() override {
        KeyboardTest::SetUp();
        ASSERT_EQ(m_kbd->ReadKeyLayout(), kResultOk);
        m_kbd->LoadProfile();
        ASSERT_EQ(m_kbd->StartKeyEventThread(m_sim->NotificationPath()), 1);
        // Wait until the reader's connection is there, so no notification is missed.
        for (int i = 0; i < 200 && m_sim->ConnectionCount() < 2; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_EQ(m_sim->ConnectionCount(), 2);
    }
    DebugCaptureLines m_debug;
};

TEST_F(KeyEventTest, SyncRequestReadsTheKeyboardsSettingsIntoTheProfile) {
    std::vector<uint8_t> record(26, 0);
    record[1] = 7;
    record[6] = 0x11;
    record[19] = 1;
    record[20] = 1;
    ASSERT_TRUE(m_sim->SetParameters(0, record));
    ASSERT_EQ(m_sim->SendNotification(kNotifySync), 2);
    ASSERT_TRUE(m_view.WaitForTimers(1, 2000));
    EXPECT_EQ(m_view.Timers()[0], std::make_pair(kSyncTimerId, 100));
    // The timer's handler, on the page's thread.
    const int updates = m_view.settingsUpdates;
    m_kbd->OnSyncRequest();
    EXPECT_EQ(m_view.settingsUpdates, updates + 1);
    EXPECT_EQ(m_kbd->Profile().GetLightInfo().mode, 7);
    EXPECT_EQ(m_kbd->Profile().GetLightInfo().red, 0x11);
    EXPECT_EQ(m_kbd->Profile().GetSystemStages().wKeyFlag, 1);
    EXPECT_EQ(m_kbd->Profile().GetSystemStages().key6Flag, 1);
    EXPECT_TRUE(m_view.controls.wFlag);
    EXPECT_TRUE(m_debug.Has("接收到自动添加设备的同步信息要求"));
    EXPECT_TRUE(m_debug.Has("接收到自动添加设备的同步信息要求  TEST"));
}

TEST_F(KeyEventTest, SettingsWrittenByAnotherProgramReachTheProfileWhole) {
    // A second program (a diagnostic tool) writes the settings record while this program's link
    // is open; every reply to its frames reaches this program's connection too.
    CDeviceCommandLink other;
    ASSERT_EQ(other.OpenPath(m_sim->CommandPath()), 1);
    std::vector<uint8_t> record(26, 0);
    record[1] = 9;
    record[2] = 3;
    record[6] = 0x22;
    record[7] = 0x33;
    record[8] = 0x44;
    record[19] = 1;
    ASSERT_EQ(other.BeginConfig(), kResultOk);
    ASSERT_EQ(other.WriteParameters(record.data(), record.size(), 0), kResultOk);
    ASSERT_EQ(other.EndConfig(), kResultOk);
    ASSERT_EQ(m_sim->SendNotification(kNotifySync), 3);
    ASSERT_TRUE(m_view.WaitForTimers(1, 2000));
    m_kbd->OnSyncRequest();
    other.ClosePath();

    EXPECT_EQ(m_kbd->Profile().GetLightInfo().mode, 9);
    EXPECT_EQ(m_kbd->Profile().GetLightInfo().red, 0x22);
    EXPECT_EQ(m_kbd->Profile().GetLightInfo().green, 0x33);
    EXPECT_EQ(m_kbd->Profile().GetLightInfo().blue, 0x44);
    EXPECT_EQ(m_kbd->Profile().GetSystemStages().wKeyFlag, 1);
    const std::vector<uint8_t> stored = m_sim->Parameters();
    EXPECT_EQ(std::vector<uint8_t>(stored.begin(), stored.begin() + 26), record)
        << "the keyboard's record was changed by reading it back";
}

TEST_F(KeyEventTest, AFailedReadBackChangesNeitherTheProfileNorTheKeyboard) {
    const LightState before = m_kbd->Profile().GetLightInfo();
    const std::vector<uint8_t> device = m_sim->Parameters();
    m_sim->ClearFrameLog();
    // The record read (the second parameter read) gets no answer.
    ASSERT_EQ(m_sim->AddFaults("noreply@5+1"), 1);
    m_kbd->OnSyncRequest();
    EXPECT_EQ(m_kbd->Profile().GetLightInfo().mode, before.mode);
    EXPECT_EQ(m_kbd->Profile().GetLightInfo().red, before.red);
    EXPECT_EQ(m_sim->Parameters(), device);
    for (const SimFrameRecord& f : m_sim->FrameLog())
        EXPECT_NE(f.command, 6) << "a failed read-back wrote to the keyboard";
}

TEST_F(KeyEventTest, RedSyncSetsTheFlagAndKeysReachThePreview) {
    ASSERT_EQ(m_sim->SendNotification(kNotifySyncRed), 2);
    ASSERT_TRUE(m_view.WaitForTimers(1, 2000));
    EXPECT_TRUE(m_kbd->ForcedRed());

    const int position = SimKeyPosition(43); // Q
    ASSERT_EQ(m_sim->SendNotification(static_cast<uint16_t>(kNotifyKeyDown + position)), 2);
    ASSERT_EQ(m_sim->SendNotification(static_cast<uint16_t>(kNotifyKeyUp + position)), 2);
    ASSERT_EQ(m_sim->SendNotification(static_cast<uint16_t>(kNotifyKeyDown + 200)), 2); // no key there
    ASSERT_EQ(m_sim->SendNotification(kNotifyStatus), 2);
    ASSERT_EQ(m_sim->SendNotification(kNotifySync), 2);
    ASSERT_TRUE(m_view.WaitForTimers(2, 2000)); // everything before it has been read
    std::lock_guard<std::mutex> lock(m_kbd->reactiveMutex);
    EXPECT_EQ(m_kbd->reactiveKeys, (std::vector<std::pair<int, int>>{{43, 1}, {43, 2}}));
}

TEST_F(KeyEventTest, StopEndsAWaitingReadPromptly) {
    const auto start = std::chrono::steady_clock::now();
    m_kbd->StopKeyEventThread();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_FALSE(m_kbd->KeyEventThreadRunning());
    EXPECT_FALSE(m_kbd->NotificationLink().IsOpen());
    EXPECT_TRUE(m_debug.Has("MS设备同步线程设定退出"));
    // It can be started again on the same interface.
    const uint64_t accepted = m_sim->Counters().connectionsAccepted;
    ASSERT_EQ(m_kbd->StartKeyEventThread(m_sim->NotificationPath()), 1);
    // The old connection must be gone and the new one taken before the device sends.
    for (int i = 0;
         i < 400 && (m_sim->Counters().connectionsAccepted <= accepted || m_sim->ConnectionCount() != 2); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(m_sim->ConnectionCount(), 2);
    ASSERT_EQ(m_sim->SendNotification(kNotifySync), 2);
    EXPECT_TRUE(m_view.WaitForTimers(1, 2000));
}

TEST(KeyEventThread, AnAbsentInterfaceIsRefused) {
    CKeyboardDevice kbd;
    EXPECT_EQ(kbd.StartKeyEventThread("sim#vid_0c45&pid_0820&mi_01&col03#/nonexistent/kbd-mi01.sock"), 0);
    EXPECT_FALSE(kbd.KeyEventThreadRunning());
    EXPECT_NE(kbd.NotificationLink().Transport().LastOpenError(), HidOpenError::None);
}

TEST(KeyEventThread, DispatchByCode) {
    std::vector<std::string> seen;
    KeyEventHandlers h;
    h.onSync = [&] { seen.push_back("sync"); };
    h.onSyncRed = [&] { seen.push_back("red"); };
    h.onStatus = [&] { seen.push_back("status"); };
    h.onKey = [&](int p, KeyEventKind kind) {
        seen.push_back(std::to_string(p) + (kind == KeyEventKind::Press ? "/press" : "/release"));
    };
    for (uint16_t code : {uint16_t(0x401), uint16_t(0x402), uint16_t(0x404), uint16_t(0x500), uint16_t(0x5FF),
                          uint16_t(0x600 + 3), uint16_t(0x403), uint16_t(0x700), uint16_t(0)})
        DispatchNotification(code, h);
    EXPECT_EQ(seen, (std::vector<std::string>{"sync", "red", "status", "0/press", "255/press", "3/release"}));
}

// The page turns each key event back into its code for OnNotification; that code must decode to
// the same position and kind.
TEST(KeyEventThread, KeyEventCodesDecodeToTheirPositionAndKind) {
    for (KeyEventKind kind : {KeyEventKind::Press, KeyEventKind::Release}) {
        for (int position : {0, 17, 255}) {
            const std::optional<Notification> n = DecodeNotification(KeyEventCode(kind, position));
            ASSERT_TRUE(n.has_value()) << position;
            EXPECT_EQ(n->code, kind == KeyEventKind::Press ? NotifyCode::KeyDown : NotifyCode::KeyUp);
            EXPECT_EQ(n->position, position);
        }
    }
    EXPECT_EQ(KeyEventKindFromNumber(1), KeyEventKind::Press);
    EXPECT_EQ(KeyEventKindFromNumber(2), KeyEventKind::Release);
    EXPECT_EQ(KeyEventKindFromNumber(0), std::nullopt);
    EXPECT_EQ(KeyEventKindFromNumber(3), std::nullopt);
}

class MacroKeyTest : public KeyboardTest {};

TEST_F(MacroKeyTest, KeysOfMissingMacrosGoBackToTheirDefaults) {
    m_kbd->LoadProfile();
    MacroStore store(KindFolder());
    MacroInfo a, b;
    ASSERT_EQ(store.Create(a), MacroResult::Ok);
    ASSERT_EQ(store.Create(b), MacroResult::Ok);
    std::vector<KeyAssignment> list = m_kbd->Profile().GetKeyList();
    ASSERT_EQ(list.size(), 126u);
    list[10].assignment = {0x70, 3, 0}; // macro 3 of two
    list[11].assignment = {0x71, 1, 0}; // macro 1 exists
    list[12].assignment = {0x71, 2, 0}; // macro 2 of two
    m_kbd->Profile().SetKeyList(list);
    m_kbd->Profile().Save();
    m_kbd->LoadProfile();
    m_kbd->PurgeMacroKeys();
    const std::vector<KeyAssignment> now = m_kbd->Profile().GetKeyList();
    EXPECT_EQ(now[10].assignment, now[10].defaultAssignment);
    EXPECT_EQ(now[11].assignment, (KeyCode{0x71, 1, 0}));
    EXPECT_EQ(now[12].assignment, now[12].defaultAssignment);
    EXPECT_EQ(m_view.macroNames.size(), 2u);
    ASSERT_EQ(m_view.captions.size(), 126u);
    EXPECT_TRUE(m_view.captions[10].factoryName);
    EXPECT_FALSE(m_view.captions[11].factoryName);
}

class DeviceBaseTest : public KeyboardTest {};

TEST_F(DeviceBaseTest, KeyTablesAndColours) {
    CDeviceBase& base = *m_kbd;
    EXPECT_EQ(base.KeyCount(), 126);
    base.SetKeyColour(3, {1, 2, 3, 4});
    EXPECT_EQ(base.GetKeyColour(3), (KeyColour{1, 2, 3, 4}));
    base.SetKeyColour(-1, {9, 9, 9, 9});
    base.SetKeyColour(126, {9, 9, 9, 9});
    EXPECT_EQ(base.GetKeyColour(-1), KeyColour{});
    EXPECT_EQ(base.GetKeyColour(126), KeyColour{});
    base.LightListTable()[3].mode = 5;
    base.SetKeyCount(126); // the same count still clears
    EXPECT_EQ(base.GetKeyColour(3), KeyColour{});
    EXPECT_EQ(base.LightListTable()[3].mode, 0);
    EXPECT_EQ(PackKeyButtonColour({0x11, 0x22, 0x33, 0}), 0x223311u);
}

TEST_F(DeviceBaseTest, FunctionModesSelectTabs) {
    EXPECT_EQ(FunctionTabsFor(4, DeviceKind::Keyboard), (FunctionTabs{3, -1}));
    EXPECT_EQ(FunctionTabsFor(4, DeviceKind::MousePad), (FunctionTabs{0, 2}));
    EXPECT_EQ(FunctionTabsFor(2, DeviceKind::Keyboard), (FunctionTabs{0, 1}));
    EXPECT_EQ(FunctionTabsFor(8, DeviceKind::Mouse), (FunctionTabs{1, -1}));
    EXPECT_EQ(FunctionTabsFor(5, DeviceKind::Headset), (FunctionTabs{2, -1}));
    EXPECT_EQ(FunctionTabsFor(9, DeviceKind::Keyboard), (FunctionTabs{0, 0}));
    m_kbd->SetFunctionMode(2);
    EXPECT_EQ(m_kbd->GetFunctionMode(), 2);
    EXPECT_EQ(m_view.fnEnabled, std::vector<bool>{false});
}

TEST_F(DeviceBaseTest, LiveLightingIsEnteredOnKeyboardsOnly) {
    DeviceSlot slot;
    slot.kind = DeviceKind::Keyboard;
    m_kbd->SetIdentity(slot);
    m_sim->ClearFrameLog();
    m_kbd->SetLiveLighting(true);
    EXPECT_EQ(Frames(28).size(), 1u);
    slot.kind = DeviceKind::Mouse;
    m_kbd->SetIdentity(slot);
    EXPECT_EQ(m_kbd->GetIdentity().kind, DeviceKind::Mouse);
    m_kbd->SetLiveLighting(true);
    EXPECT_EQ(Frames(28).size(), 1u);
}

TEST_F(DeviceBaseTest, DataFolderIsCreated) {
    const std::string folder = m_kbd->DataFolder();
    EXPECT_EQ(folder, KindFolder() + "/");
    EXPECT_TRUE(std::filesystem::is_directory(KindFolder()));
}

} // namespace
} // namespace nk7x::test

namespace nk7x::test {
namespace {

class LiveLightingTest : public KeyboardTest {};

TEST_F(LiveLightingTest, TheBasePageStreamsScaledColoursButNeverKey126) {
    CPlainDevice page;
    ASSERT_EQ(page.Link().OpenPath(m_sim->CommandPath()), 1);
    page.SetKeyCount(127);
    page.SetKeyColour(0, {200, 100, 50, 128});
    page.SetKeyColour(126, {255, 255, 255, 255});
    ASSERT_EQ(page.RefreshLighting(), kResultOk);
    const std::vector<uint8_t> live = m_sim->LiveLighting();
    EXPECT_EQ(std::vector<uint8_t>(live.begin(), live.begin() + 3), (std::vector<uint8_t>{100, 50, 25}));
    EXPECT_EQ(std::vector<uint8_t>(live.begin() + 378, live.begin() + 381), (std::vector<uint8_t>{0, 0, 0}));
    // 127 keys x 3 bytes in 56-byte pieces.
    EXPECT_EQ(Frames(18).size(), 7u);
    m_sim->ClearFrameLog();
    page.SetLiveLighting(false);
    EXPECT_EQ(page.RefreshLighting(), kResultOk);
    EXPECT_TRUE(Frames(18).empty());
}

} // namespace
} // namespace nk7x::test
