// Pictures of the main window's keyboard page for the docs, taken when NK7X_SCREENSHOT_DIR is set:
// the emulated keyboard is connected and the lighting modes are chosen as a user chooses them, so
// each picture shows what the routes made of the choice (static, wave, reactive after key presses,
// custom colours painted key by key).
#include "app/MainWnd.h"
#include "devices/KeyEventThread.h"
#include "panels/light/LightControlUI.h"
#include "panels/pages/BrindovaKeyboardDevice.h"
#include "support/KeyboardWindowFixture.h"
#include "support/TestSupport.h"
#include "tools/sim/SimDevice.h"
#include "ui/controls/DeviceKeyButtonUI.h"
#include "ui/controls/LiveColor.h"

#include <QAbstractSlider>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

using namespace nk7x;

namespace {

constexpr int kStaticMode = 6;
constexpr int kWaveMode = 1;
constexpr int kReactiveMode = 7;
constexpr int kCustomMode = 19;
constexpr int kTopLevel = 4;

QString OutDir() {
    const char* out = std::getenv("NK7X_SCREENSHOT_DIR");
    return out ? QString::fromLocal8Bit(out) : QString();
}

class PageScreenshots : public test::KeyboardWindowFixture<::testing::Test> {
  protected:
    void SetUp() override {
        if (OutDir().isEmpty())
            GTEST_SKIP() << "NK7X_SCREENSHOT_DIR not set";
        OpenWindow();
        if (HasFatalFailure())
            return;
        ASSERT_EQ(m_window->Devices().CurrentPage(), m_page);
        ASSERT_EQ(m_page->Keyboard().DeviceKeyCount(), 126);
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_page->Device().NotificationLink().IsOpen(); }, 2000));
    }
    void TearDown() override { CloseWindow(); }

    // Chooses the mode in the page's list; the keyboard's parameter memory holds it afterwards.
    void ChooseMode(int mode) {
        ASSERT_TRUE(m_window->RaiseByName("light_combo_modeSelect", "itemselect", mode));
        EXPECT_EQ(m_page->LightPanel()->GetMode(), mode);
        EXPECT_EQ(m_page->Keyboard().GetLightSettings().mode, mode);
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_device->Parameters()[1] == mode; }, 2000))
            << "the keyboard got mode " << mode << ", holds " << int(m_device->Parameters()[1]);
    }
    // Moves the slider as a user drags it; the slider raises the change itself.
    void Slide(const char* name, int value) {
        auto* slider =
            qobject_cast<QAbstractSlider*>(UiWindow::FindSubControlByName(m_page, QString::fromLatin1(name)));
        ASSERT_NE(slider, nullptr) << name;
        slider->setValue(value);
        EXPECT_EQ(slider->value(), value) << name;
    }
    void ChooseColour(uint8_t r, uint8_t g, uint8_t b) {
        Raise("deng_Color_Pallet", "colorchanged",
              qint64(0xFF000000u | uint32_t{r} << 16 | uint32_t{g} << 8 | b));
        const LightState s = m_page->Keyboard().GetLightSettings();
        EXPECT_EQ(s.red, r);
        EXPECT_EQ(s.green, g);
        EXPECT_EQ(s.blue, b);
    }
    // The key whose caption is the text of `nameKey`, or -1.
    int KeyNamed(const char* nameKey) {
        const QString name = m_window->Texts().Text(QString::fromLatin1(nameKey));
        for (int k = 0; k < 126; ++k) {
            CDeviceKeyButtonUI* b = m_page->Button(k);
            if (b && b->toolTip().section(QLatin1Char('\n'), 0, 0) == name)
                return k;
        }
        return -1;
    }
    std::vector<int> Keys(std::initializer_list<const char*> names) {
        std::vector<int> keys;
        for (const char* n : names) {
            const int k = KeyNamed(n);
            EXPECT_GE(k, 0) << n;
            if (k >= 0)
                keys.push_back(k);
        }
        return keys;
    }
    bool Lit(int key) {
        CDeviceKeyButtonUI* b = m_page->KeyButton(key);
        return b && b->IsLightShown() && b->Brightness() > 0 && b->LiveColor() != 0;
    }
    void Save(const char* file) {
        const QImage shot = m_window->grab().toImage();
        ASSERT_FALSE(shot.isNull());
        QDir().mkpath(OutDir());
        EXPECT_TRUE(shot.save(QDir(OutDir()).filePath(QString::fromLatin1(file)))) << file;
    }
};

} // namespace

TEST_F(PageScreenshots, StaticColour) {
    ChooseMode(kStaticMode);
    Slide("deng_light_slider", kTopLevel);
    EXPECT_EQ(m_page->Keyboard().GetLightSettings().brightness, kTopLevel);
    ChooseColour(0x2F, 0x9B, 0xFF);
    QTest::qWait(400);
    // Every key of the layout shows the one colour.
    const int esc = KeyNamed("keyboard_key_Esc");
    const int space = KeyNamed("keyboard_key_Space");
    ASSERT_GE(esc, 0);
    ASSERT_GE(space, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Lit(esc) && Lit(space); }, 2000));
    EXPECT_EQ(m_page->KeyButton(esc)->LiveColor(), m_page->KeyButton(space)->LiveColor());
    const QColor shown = LiveColorToQColor(m_page->KeyButton(esc)->LiveColor());
    EXPECT_GT(shown.blue(), shown.red()) << "a blue colour";
    Save("screenshot-keyboard-static.png");
}

TEST_F(PageScreenshots, Wave) {
    ChooseMode(kWaveMode);
    Slide("deng_light_slider", kTopLevel);
    EXPECT_EQ(m_page->Keyboard().GetLightSettings().brightness, kTopLevel);
    Slide("deng_speed_slider", 3);
    EXPECT_EQ(m_page->Keyboard().GetLightSettings().speed, 3);
    Raise("deng_7color_check", "selectchanged", 1);
    EXPECT_EQ(m_page->Keyboard().GetLightSettings().multiColor, 1);
    QTest::qWait(600);
    // A wave across the columns: the left and right ends of the space row differ.
    const int left = KeyNamed("keyboard_key_Esc");
    const int right = KeyNamed("keyboard_key_Right");
    ASSERT_GE(left, 0);
    ASSERT_GE(right, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Lit(left) && Lit(right); }, 2000));
    EXPECT_NE(m_page->KeyButton(left)->LiveColor(), m_page->KeyButton(right)->LiveColor());
    Save("screenshot-keyboard-wave.png");
}

TEST_F(PageScreenshots, ReactiveAfterKeyPresses) {
    ChooseMode(kReactiveMode);
    Slide("deng_light_slider", kTopLevel);
    EXPECT_EQ(m_page->Keyboard().GetLightSettings().brightness, kTopLevel);
    Slide("deng_speed_slider", 0); // the slowest fade keeps the presses in the picture
    EXPECT_EQ(m_page->Keyboard().GetLightSettings().speed, 0);
    ChooseColour(0xFF, 0x6A, 0x1A);
    QTest::qWait(300);
    const std::vector<int> pressed =
        Keys({"keyboard_key_W", "keyboard_key_A", "keyboard_key_S", "keyboard_key_D", "keyboard_key_Space"});
    ASSERT_EQ(pressed.size(), 5u);
    const int other = KeyNamed("keyboard_key_Esc");
    ASSERT_GE(other, 0);
    EXPECT_FALSE(Lit(other)) << "no key is lit before a press";
    for (int k : pressed) {
        const uint16_t position = m_page->Keyboard().KeyPosition(k);
        ASSERT_GE(m_device->SendNotification(static_cast<uint16_t>(kNotifyKeyDown + position)), 1);
        QTest::qWait(40);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return Lit(pressed.front()) && Lit(pressed.back()); }, 2000))
        << "the pressed keys light up";
    QTest::qWait(150);
    Save("screenshot-keyboard-reactive.png");
    EXPECT_TRUE(Lit(pressed.back())) << "the last press was still lit when the picture was taken";
    EXPECT_FALSE(Lit(other));
}

TEST_F(PageScreenshots, CustomColoursPaintedKeyByKey) {
    ChooseMode(kCustomMode);
    ASSERT_EQ(m_page->Device().GetFunctionMode(), 1) << "the lighting tab is the one shown";
    Slide("deng_light_slider", kTopLevel);
    EXPECT_EQ(m_page->Keyboard().GetLightSettings().brightness, kTopLevel);
    // A dim base for the whole board, WASD in one colour and the arrows in another.
    ChooseColour(0x20, 0x50, 0xB0);
    Raise("custom_bright_color_btn", "click", 0);
    const std::vector<int> wasd =
        Keys({"keyboard_key_W", "keyboard_key_A", "keyboard_key_S", "keyboard_key_D"});
    const std::vector<int> arrows =
        Keys({"keyboard_key_Up", "keyboard_key_Down", "keyboard_key_Left", "keyboard_key_Right"});
    ASSERT_EQ(wasd.size(), 4u);
    ASSERT_EQ(arrows.size(), 4u);
    ChooseColour(0xFF, 0x30, 0x20);
    for (int k : wasd)
        Raise(m_page->Button(k)->objectName().toLatin1().constData(), "click", 0);
    ChooseColour(0x20, 0xE0, 0x60);
    for (int k : arrows)
        Raise(m_page->Button(k)->objectName().toLatin1().constData(), "click", 0);

    const std::vector<KeyColour>& colours = m_page->Keyboard().KeyColours();
    const int esc = KeyNamed("keyboard_key_Esc");
    ASSERT_GE(esc, 0);
    for (int k : wasd) {
        EXPECT_EQ(colours[size_t(k)].red, 0xFF) << k;
        EXPECT_EQ(colours[size_t(k)].green, 0x30) << k;
    }
    for (int k : arrows) {
        EXPECT_EQ(colours[size_t(k)].green, 0xE0) << k;
        EXPECT_EQ(colours[size_t(k)].blue, 0x60) << k;
    }
    EXPECT_EQ(colours[size_t(esc)].blue, 0xB0) << "an unpainted key keeps the base";
    EXPECT_EQ(colours[size_t(esc)].red, 0x20);
    // The buttons show the painted colours.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return m_page->KeyButton(wasd[0])->LiveColor() == PackLiveColor(0xFF, 0x30, 0x20) &&
                   m_page->KeyButton(arrows[0])->LiveColor() == PackLiveColor(0x20, 0xE0, 0x60);
        },
        2000))
        << std::hex << m_page->KeyButton(wasd[0])->LiveColor();
    QTest::qWait(300);
    Save("screenshot-keyboard-custom.png");
}
