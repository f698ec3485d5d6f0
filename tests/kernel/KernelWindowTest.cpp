// The window (offscreen) under the real kernel with all five emulated kinds on the USB bus: each
// page connects through its hidraw node and is filled, and what the pages write reaches the devices
// byte for byte: the keyboard's settings record and key table, the mouse's settings record, the
// headset's LED reports on the control pipe. nk7x-cli works on a node the window streams to.
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "app/MainWnd.h"
#include "devices/NotifyCodes.h"
#include "devices/headset/HeadsetLightReports.h"
#include "devices/keyboard/KeyboardRecords.h"
#include "devices/mouse/MouseRecords.h"
#include "kernel/KernelSupport.h"
#include "panels/pages/BrindovaHS6533Device.h"
#include "panels/pages/BrindovaKeyboardDevice.h"
#include "panels/pages/BrindovaMouseDevice.h"
#include "panels/pages/BrindovaMousePadDevice.h"
#include "support/PrivateWindowFolders.h"
#include "tools/sim/SimDeviceRows.h"
#include "ui/UiNotify.h"

namespace nk7x::test {
namespace {

using ::testing::HasSubstr;

std::vector<uint8_t> Head(const std::vector<uint8_t>& v, size_t n) {
    return {v.begin(), v.begin() + static_cast<std::ptrdiff_t>(std::min(n, v.size()))};
}

template <class Page> Page* FilledPage(MainWnd& window, DeviceFamily family) {
    // A page is built when its device first comes (the count below tells whether it came).
    (void)QTest::qWaitFor([&] { return !window.Devices().PagesOf(family).empty(); }, 30000);
    const auto pages = window.Devices().PagesOf(family);
    if (pages.size() != 1)
        return nullptr;
    auto* page = qobject_cast<Page*>(pages[0]);
    if (!page || !QTest::qWaitFor([&] { return page->ConnectsDone() >= 1; }, 30000))
        return nullptr;
    return page;
}

void Show(MainWnd& window, CBrindovaUSBDevice* page) {
    for (int i = 0; i < window.Devices().PageCount(); ++i) {
        if (window.Devices().Page(i) == page)
            window.Devices().ShowEntry(i, true);
    }
    ASSERT_EQ(window.Devices().CurrentPage(), page);
}

} // namespace

TEST(KernelWindow, EveryKindConnectsThroughHidrawAndItsWritesCrossTheBusWhole) {
    const std::string obstacle = KernelTestObstacle();
    ASSERT_TRUE(obstacle.empty()) << obstacle;
    PrivateWindowFolders folders;
    TempSimFolder sim;
    std::map<std::string, std::unique_ptr<SimDevice>> devices;
    for (auto [kind, name] : {std::pair{SimKind::Keyboard, "kbd1"},
                              {SimKind::Mouse, "mouse1"},
                              {SimKind::Pad, "pad1"},
                              {SimKind::Headset, "headset1"}}) {
        devices[name] = PlugGadget(sim.Path(), kind, name);
        ASSERT_NE(devices[name], nullptr);
        ASSERT_FALSE(WaitForHostNode(SimUsbSerial(name), 1).node.empty()) << name;
    }
    SimDevice& kbd = *devices["kbd1"];
    SimDevice& mouse = *devices["mouse1"];
    SimDevice& headset = *devices["headset1"];

    MainWnd window(folders.Options());
    window.Create();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.isVisible(); }, 30000));
    auto* keyboardPage = FilledPage<CBrindovaKeyboardDevice>(window, DeviceFamily::Keyboard);
    auto* mousePage = FilledPage<CBrindovaMouseDevice>(window, DeviceFamily::Mouse);
    auto* padPage = FilledPage<CBrindovaMousePadDevice>(window, DeviceFamily::MousePad);
    auto* headsetPage = FilledPage<CBrindovaHS6533Device>(window, DeviceFamily::Headset);
    ASSERT_NE(keyboardPage, nullptr) << "keyboard page filled";
    ASSERT_NE(mousePage, nullptr) << "mouse page filled";
    ASSERT_NE(padPage, nullptr) << "pad page filled";
    ASSERT_NE(headsetPage, nullptr) << "headset page filled";
    // Each page's link is on the device's hidraw node.
    EXPECT_THAT(keyboardPage->Keyboard().Link().Transport().DevicePath(),
                HasSubstr(WaitForHostNode(SimUsbSerial("kbd1"), 1).node));
    EXPECT_THAT(mousePage->Mouse().Link().Transport().DevicePath(),
                HasSubstr(WaitForHostNode(SimUsbSerial("mouse1"), 1).node));
    // The pages read their devices: the mouse's button table, the keyboard's layout.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !mousePage->Mouse().ButtonTable().empty(); }, 10000));

    // A lighting change on the keyboard: the record the profile gives, whole, in the keyboard.
    Show(window, keyboardPage);
    // Every page has its own lighting panel: the keyboard's mode list.
    QWidget* modes = keyboardPage->findChild<QWidget*>(QStringLiteral("light_combo_modeSelect"));
    ASSERT_NE(modes, nullptr);
    ASSERT_TRUE(RaiseNotify(modes, QStringLiteral("itemselect"), 3));
    ASSERT_TRUE(QTest::qWaitFor([&] { return kbd.SettingsRecord(0)[1] == 3; }, 10000));
    CKeyboardProfiledata& kp = keyboardPage->Keyboard().Profile();
    const auto expectedKeyboard =
        KeyboardSettingsRecord::From(0, kp.GetLightInfo(), kp.GetSystemStages()).Serialise();
    EXPECT_EQ(Hex(kbd.SettingsRecord(0)), Hex({expectedKeyboard.begin(), expectedKeyboard.end()}));

    // A change made on the keyboard itself arrives as a consumer-control input report through the
    // same hidraw node: the page reads the settings back.
    kbd.SetParameters(1, {5});
    const uint64_t readsBefore = kbd.Counters().perCommand[5];
    ASSERT_GE(kbd.SendNotification(kNotifySync), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return kbd.Counters().perCommand[5] > readsBefore; }, 10000))
        << "the notification reached the page";
    EXPECT_TRUE(QTest::qWaitFor([&] { return kp.GetLightInfo().mode == 5; }, 10000))
        << "and the record was read back";

    // A key assignment written to the keyboard's table at the key's position.
    CKeyboardDevice& keyboard = keyboardPage->Keyboard();
    const KeyCode code{0x20, 0x00, 0x3A}; // F1 on another key
    ASSERT_TRUE(keyboard.SetKeyAssignment(1, code));
    keyboard.QueueProfileKeyAssignmentsWrite(0);
    const size_t at = size_t(keyboard.KeyPosition(1)) * 3;
    auto entry = [&] {
        const std::vector<uint8_t> table = kbd.KeyTable();
        return at + 3 <= table.size() ? Hex({table.begin() + static_cast<std::ptrdiff_t>(at),
                                             table.begin() + static_cast<std::ptrdiff_t>(at + 3)})
                                      : std::string("short table");
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return entry() == "20 00 3a"; }, 10000)) << entry();

    // A DPI edit on the mouse: its settings record as the profile gives it.
    Show(window, mousePage);
    mousePage->Mouse().SetStageSteps(0, 24);
    ASSERT_TRUE(QTest::qWaitFor([&] { return mouse.SettingsRecord(0)[16] == 24; }, 10000));
    const auto expectedMouse = mousePage->Mouse().ProfileRecord(0, 1).Serialise();
    EXPECT_EQ(Hex(Head(mouse.SettingsRecord(0), expectedMouse.size())),
              Hex({expectedMouse.begin(), expectedMouse.end()}));

    // nk7x-cli on the node the window streams the mouse's colours to: both get their answers.
    const uint64_t framesBefore = mouse.Counters().liveFrames;
    for (int i = 0; i < 3; ++i) {
        const RunResult r = RunProgram(
            "nk7x-cli", {"--path", mousePage->Mouse().Link().Transport().DevicePath(), "params", "0", "16"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_THAT(r.out, HasSubstr(Hex(Head(mouse.Parameters(), 8))));
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return mouse.Counters().liveFrames >= framesBefore + 10; }, 10000))
        << "the window's stream goes on";
    EXPECT_TRUE(mousePage->Mouse().Link().IsOpen());

    // The headset's LED frames: whole 17-byte reports, all by SET_REPORT, twelve in the order of a
    // frame; the emulator took every one it saw.
    Show(window, headsetPage);
    ASSERT_TRUE(QTest::qWaitFor([&] { return headset.HeadsetLeds().reports >= 48; }, 20000))
        << "reports: " << headset.HeadsetLeds().reports;
    EXPECT_EQ(headset.HeadsetLeds().refused, 0u);
    std::vector<SimFrameRecord> leds;
    for (const SimFrameRecord& f : headset.FrameLog()) {
        if (f.lightingReport)
            leds.push_back(f);
    }
    ASSERT_GE(leds.size(), 24u);
    const std::array<uint8_t, 12> banks = {0x22, 0x22, 0x44, 0x44, 0x22, 0x22,
                                           0x44, 0x44, 0x22, 0x22, 0x44, 0x44};
    const std::array<uint8_t, 12> codes = {0xAA, 0xAD, 0xAA, 0xAD, 0xAB, 0xAE,
                                           0xAB, 0xAE, 0xAC, 0xAF, 0xAC, 0xAF};
    size_t inOrder = 0, best = 0;
    for (size_t i = 0; i < leds.size(); ++i) {
        const SimFrameRecord& f = leds[i];
        EXPECT_EQ(f.size, kHeadsetReportSize);
        EXPECT_TRUE(f.controlPipe) << "report " << i << " by SET_REPORT";
        EXPECT_EQ(f.raw[0], 0xFF);
        EXPECT_EQ(f.raw[3], 0);
        for (size_t v = 4; v < 11; ++v)
            EXPECT_LE(f.raw[v], kHeadsetMaxColourValue);
        // Runs of reports in the frame's order (the gadget keeps one SET_REPORT at a time, so a slow
        // reader may miss one; a whole frame in order must still be there).
        const size_t slot = inOrder % 12;
        inOrder = (f.raw[1] == banks[slot] && f.raw[2] == codes[slot]) ? inOrder + 1
                  : (f.raw[1] == banks[0] && f.raw[2] == codes[0])     ? 1
                                                                       : 0;
        best = std::max(best, inOrder);
    }
    EXPECT_GE(best, 12u) << "one whole frame in order";
    std::printf("headset: %zu LED reports seen, longest run in frame order %zu\n", leds.size(), best);
}

} // namespace nk7x::test
