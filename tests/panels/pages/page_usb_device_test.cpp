// The device page base: its key-button scan, the function tabs, live colours and timers armed from
// another thread.
#include "devices/discovery/DeviceTables.h"
#include "panels/DeviceOptionUI.h"
#include "panels/pages/BrindovaUSBDevice.h"
#include "ui/controls/DeviceKeyButtonUI.h"
#include "ui/controls/SelectPanelUI.h"

#include <QStackedWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <thread>

using namespace nk7x;

namespace {

CDeviceKeyButtonUI* AddKey(QWidget* parent, const QString& name, const QString& userData = {}) {
    auto* b = new CDeviceKeyButtonUI(parent);
    b->setObjectName(name);
    if (!userData.isEmpty())
        b->setProperty("userdata", userData);
    return b;
}

// A page as a layout would give it: a key panel with buttons, and a second panel whose buttons
// are not the page's.
struct ScanPage {
    CBrindovaUSBDevice page;
    CSelectPanelUI* keys = nullptr;
    ScanPage() {
        page.Device().SetLayoutName("XML\\DeviceXml\\test.xml");
        page.Device().SetButtonCount(4);
        page.Device().SetKeyCount(3);
        auto* before = new QWidget(&page); // not a key panel
        AddKey(before, "key_0", "light_0");
        keys = new CSelectPanelUI(&page);
        new CSelectPanelUI(&page); // a second key panel is not looked at
        AddKey(keys, "key_0", "light_2");
        AddKey(keys, "KEY_3");
        AddKey(keys, "key_4", "light_3"); // beyond both tables
        AddKey(keys, "key", "light");     // no number: nothing
        AddKey(keys, "light_1", "Light_1");
        auto* deep = new QWidget(keys);
        AddKey(deep, "key_1", "light_0"); // not a direct child
    }
};

} // namespace

TEST(PageNames, SplitAtTheLastUnderscore) {
    EXPECT_EQ(SplitPageName("key_12").prefix, "key_");
    EXPECT_EQ(SplitPageName("key_12").number, 12);
    EXPECT_EQ(SplitPageName("color_option_3").prefix, "color_option_");
    EXPECT_EQ(SplitPageName("color_option_3").number, 3);
    EXPECT_EQ(SplitPageName("light_x7").number, 0) << "no leading digit";
    EXPECT_EQ(SplitPageName("light_7x").number, 7);
    EXPECT_TRUE(SplitPageName("light").prefix.isEmpty());
    EXPECT_EQ(SplitPageName("key_99999999999999").number, INT32_MAX) << "saturates";
}

TEST(UsbPage, ScanTakesTheFirstKeyPanelsDirectButtonsByNameAndUserData) {
    ScanPage s;
    s.page.LoadContent();
    ASSERT_EQ(s.page.KeyPanel(), s.keys);
    ASSERT_EQ(s.page.ButtonTableSize(), 4);
    ASSERT_EQ(s.page.KeyButtonTableSize(), 3);
    EXPECT_EQ(s.page.Button(0)->parentWidget(), s.keys);
    EXPECT_EQ(s.page.Button(0)->objectName(), "key_0");
    EXPECT_EQ(s.page.Button(1), nullptr) << "nested buttons are not the panel's";
    EXPECT_EQ(s.page.Button(3)->objectName(), "KEY_3") << "prefixes compare without case";
    EXPECT_EQ(s.page.Button(4), nullptr);
    EXPECT_EQ(s.page.Button(-1), nullptr);
    EXPECT_EQ(s.page.KeyButton(0), nullptr);
    EXPECT_EQ(s.page.KeyButton(1)->objectName(), "light_1");
    EXPECT_EQ(s.page.KeyButton(2)->objectName(), "key_0");
    EXPECT_EQ(s.page.KeyButton(3), nullptr);
    CDeviceKeyButtonUI* lit = s.page.KeyButton(2);
    EXPECT_EQ(lit->LiveColor(), 0xFFFFFFu);
    EXPECT_EQ(lit->Brightness(), 255);
    EXPECT_TRUE(lit->IsLightShown());
    EXPECT_FALSE(s.page.Button(3)->IsLightShown()) << "only the live-colour buttons are lit";
}

TEST(UsbPage, NoLayoutEmptiesEveryTable) {
    ScanPage s;
    s.page.LoadContent();
    ASSERT_NE(s.page.Button(0), nullptr);
    s.page.Device().SetLayoutName("");
    s.page.LoadContent();
    EXPECT_EQ(s.page.Device().ButtonCount(), 0);
    EXPECT_EQ(s.page.Device().KeyCount(), 0);
    EXPECT_EQ(s.page.ButtonTableSize(), 0);
    EXPECT_EQ(s.page.KeyButtonTableSize(), 0);
}

TEST(UsbPage, WithoutKeyPanelTheTablesStayEmpty) {
    CBrindovaUSBDevice page;
    page.Device().SetLayoutName("x.xml");
    page.Device().SetButtonCount(2);
    page.Device().SetKeyCount(2);
    AddKey(&page, "key_0", "light_0"); // a button, but no key panel
    page.LoadContent();
    EXPECT_EQ(page.KeyPanel(), nullptr);
    EXPECT_EQ(page.Button(0), nullptr);
    EXPECT_EQ(page.KeyButton(0), nullptr);
}

TEST(UsbPage, FunctionModesSelectTabsOnlyWithBothSwitches) {
    CBrindovaUSBDevice page;
    auto* function = new QStackedWidget(&page);
    function->setObjectName("device_function_switch");
    for (int i = 0; i < 4; ++i)
        function->addWidget(new QWidget);
    page.Device().SetFunctionMode(5);
    EXPECT_EQ(function->currentIndex(), 0) << "nothing happens while a switch is missing";

    auto* keyFunction = new QStackedWidget(&page);
    keyFunction->setObjectName("device_key_function_switch");
    for (int i = 0; i < 3; ++i)
        keyFunction->addWidget(new QWidget);
    keyFunction->setCurrentIndex(1);
    DeviceSlot keyboard;
    keyboard.kind = DeviceKind::Keyboard;
    page.Device().SetIdentity(keyboard);
    page.Device().SetFunctionMode(4);
    EXPECT_EQ(function->currentIndex(), 3);
    EXPECT_EQ(keyFunction->currentIndex(), 1) << "mode 4 on a keyboard leaves the key switch alone";
    page.Device().SetFunctionMode(2);
    EXPECT_EQ(function->currentIndex(), 0);
    EXPECT_EQ(keyFunction->currentIndex(), 1);
    page.Device().SetFunctionMode(7);
    EXPECT_EQ(keyFunction->currentIndex(), 2);
    page.SelectFunctionTabs({9, 9}); // beyond the tabs: unchanged
    EXPECT_EQ(function->currentIndex(), 0);
    EXPECT_EQ(keyFunction->currentIndex(), 2);
}

TEST(UsbPage, LiveColoursReachOnlyVisibleButtons) {
    ScanPage s;
    s.page.LoadContent();
    s.page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&s.page));
    CDeviceKeyButtonUI* lit = s.page.KeyButton(2);
    CDeviceKeyButtonUI* hidden = s.page.KeyButton(1);
    hidden->hide();
    s.page.ShowKeyColour(2, 0x123456, 77);
    s.page.ShowKeyColour(1, 0x123456, 77);
    s.page.ShowKeyColour(3, 0x123456, 77); // outside: nothing
    s.page.ShowKeyColour(-1, 0x123456, 77);
    EXPECT_EQ(lit->LiveColor(), 0x123456u);
    EXPECT_EQ(lit->Brightness(), 77);
    EXPECT_EQ(hidden->LiveColor(), 0xFFFFFFu);

    // The device's own repaint uses the packing red | blue << 8 | green << 16.
    s.page.Device().SetKeyColour(2, KeyColour{0x11, 0x22, 0x33, 200});
    s.page.Device().SetLiveLighting(true);
    (void)s.page.Device().RefreshLighting(); // what it shows is checked below
    EXPECT_EQ(lit->LiveColor(), 0x223311u);
    EXPECT_EQ(lit->Brightness(), 200);
}

TEST(UsbPage, TimersArmedFromAnotherThreadRunOnTheEntry) {
    CBrindovaUSBDevice page;
    CDeviceOptionUI entry;
    page.SetListEntry(&entry);
    std::thread reader([&page] { page.ArmTimer(kSyncTimerId, 500); });
    reader.join();
    EXPECT_FALSE(entry.TimerArmed(kSyncTimerId)) << "queued to the UI thread, not armed there";
    ASSERT_TRUE(QTest::qWaitFor([&] { return entry.TimerArmed(kSyncTimerId); }, 1000));

    // A page gone before its call is delivered drops it.
    auto gone = std::make_unique<CBrindovaUSBDevice>();
    CDeviceOptionUI other;
    gone->SetListEntry(&other);
    std::thread late([p = gone.get()] { p->ArmTimer(kSyncTimerId, 500); });
    late.join();
    gone.reset();
    QTest::qWait(50);
    EXPECT_FALSE(other.TimerArmed(kSyncTimerId));
}
