// The keyboard page built from a small layout: its picture and tables, its panels, and what the
// keyboard object reports reaching the key buttons.
#include "devices/discovery/DeviceTables.h"
#include "panels/light/LightControlUI.h"
#include "panels/pages/BrindovaKeyboardDevice.h"
#include "panels/profile/DeviceProfileUI.h"
#include "ui/ControlFactory.h"
#include "ui/UiWindow.h"
#include "ui/controls/CustomControls.h"
#include "ui/controls/DeviceKeyButtonUI.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace nk7x;

namespace {

const char* const kLayout = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
  <class>keyboard_device_page</class>
  <widget class="BrindovaKeyboardDevice" name="keyboard_device_page">
    <layout class="QVBoxLayout" name="page_layout">
      <item><widget class="DeviceProfileUI" name="DeviceProfileItem"/></item>
      <item><widget class="SelectPanel" name="keyboard_device_key_light"/></item>
      %LIGHT%
    </layout>
  </widget>
</ui>
)";

class Host : public UiWindow {
  public:
    QWidget* CreateControl(const QString& cls) override {
        if (cls == CBrindovaKeyboardDevice::ClassName())
            return new CBrindovaKeyboardDevice;
        if (cls == CDeviceProfileUI::ClassName())
            return new CDeviceProfileUI;
        if (cls == QLatin1String(kLightControlClass))
            return new CLightControlUI;
        return UiWindow::CreateControl(cls);
    }
};

class KeyboardPageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        ::setenv("XDG_DATA_HOME", m_dir.filePath("data").toLocal8Bit().constData(), 1);
        ::setenv("NK7X_PROGRAM_DIR", NK7X_SOURCE_DIR, 1);
        RegisterCustomControls();
    }
    void TearDown() override { ::unsetenv("XDG_DATA_HOME"); }

    // The page as the main window builds it: configured, then its content loaded.
    std::unique_ptr<CBrindovaKeyboardDevice> Build(bool withLight) {
        QString text = QString::fromLatin1(kLayout);
        text.replace("%LIGHT%",
                     withLight ? R"(<item><widget class="LightSetControlUI" name="LightControlItem"/></item>)"
                               : "");
        QFile f(m_dir.filePath("keyboarddevice.xml"));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.toUtf8());
        f.close();
        auto* page = qobject_cast<CBrindovaKeyboardDevice*>(m_host.BuildLayout(f.fileName(), nullptr));
        EXPECT_NE(page, nullptr);
        if (!page)
            return nullptr;
        CDeviceBase& d = page->Device();
        d.SetLayoutName("XML\\DeviceXml\\keyboarddevice.xml");
        d.SetButtonCount(126);
        d.SetKeyCount(126);
        d.SetKindName("keyboard");
        d.SetLightingName("tavro_light");
        DeviceSlot identity;
        identity.kind = DeviceKind::Keyboard;
        d.SetIdentity(identity);
        page->LoadContent();
        return std::unique_ptr<CBrindovaKeyboardDevice>(page);
    }

    QTemporaryDir m_dir;
    Host m_host;
};

} // namespace

TEST_F(KeyboardPageTest, BuildsThePictureTablesAndPanels) {
    auto page = Build(true);
    ASSERT_TRUE(page);
    ASSERT_NE(page->KeyPanel(), nullptr);
    EXPECT_EQ(page->KeyPanel()->objectName(), "keyboard_device_key_light");
    for (int n : {0, 64, 110, 125}) {
        ASSERT_NE(page->Button(n), nullptr) << n;
        EXPECT_EQ(page->Button(n)->objectName(), QStringLiteral("key_%1").arg(n));
        ASSERT_NE(page->KeyButton(n), nullptr) << n;
        EXPECT_EQ(page->KeyButton(n)->property("userdata").toString(), QStringLiteral("light_%1").arg(n));
        EXPECT_NE(page->Button(n), page->KeyButton(n));
    }
    ASSERT_NE(page->ProfilePanel(), nullptr);
    EXPECT_EQ(page->ProfilePanel()->DeviceType(), 1);
    EXPECT_EQ(page->ProfilePanel()->SelectedTab(), 1);
    EXPECT_FALSE(page->Device().ProfileName().empty()) << "the listed profile is the device's";
    EXPECT_EQ(page->Device().ProfileName(), page->ProfilePanel()->GetSelectedUUID());
    ASSERT_NE(page->LightPanel(), nullptr);
    EXPECT_EQ(page->LightPanel()->LayoutStyle(), DeviceKind::Keyboard);

    // Building again (a second LoadContent) keeps the same buttons.
    CDeviceKeyButtonUI* esc = page->Button(0);
    page->LoadContent();
    EXPECT_EQ(page->Button(0), esc);
}

TEST_F(KeyboardPageTest, APageWithoutLightingPanelStillWorks) {
    auto page = Build(false);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->LightPanel(), nullptr);
    page->SettingsChanged(KeyboardSettingsControls{}, LightState{});
    page->NameListsChanged({"m1"}, LightNameLists{});
    page->CustomGroupSelected(2);
    EXPECT_EQ(page->MacroNames(), std::vector<std::string>{"m1"});
}

TEST_F(KeyboardPageTest, TheFunctionModeEnablesTheFnKeyAndCaptionsBecomeTooltips) {
    auto page = Build(true);
    ASSERT_TRUE(page);
    CDeviceKeyButtonUI* fn = page->Button(110);
    ASSERT_NE(fn, nullptr);
    page->Device().SetFunctionMode(2);
    EXPECT_FALSE(fn->isEnabled());
    page->Device().SetFunctionMode(1);
    EXPECT_TRUE(fn->isEnabled());

    KeyCaption own{0, {}, "keyboard_key_Esc", true};
    KeyCaption changed{1, {}, "keyboard_key_A", false};
    KeyCaption unnamed{2, {}, "", false};
    KeyCaption outside{126, {}, "keyboard_key_B", false};
    page->Button(2)->setToolTip("old");
    page->KeyCaptionsChanged({own, changed, unnamed, outside});
    EXPECT_EQ(page->Button(0)->toolTip(), "keyboard_key_Esc\nKey_Setkeyboard_key_Esc")
        << "keys shown without texts";
    EXPECT_TRUE(page->Button(0)->IsKeySetImageHidden());
    EXPECT_FALSE(page->Button(1)->IsKeySetImageHidden()) << "a changed key shows its key-set image";
    EXPECT_TRUE(page->Button(2)->toolTip().isEmpty());

    // The keyboard object's own captions after a refresh: factory names everywhere.
    page->Keyboard().LoadProfile();
    page->Keyboard().RefreshPage();
    EXPECT_TRUE(page->Button(0)->toolTip().startsWith("keyboard_key_Esc"));
}
