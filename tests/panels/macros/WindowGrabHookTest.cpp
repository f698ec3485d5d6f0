// The window-grab hook on the offscreen platform (no native key codes): keys become scan codes
// through their toolkit names and reach no control, lock keys go on, mouse buttons are reported
// with their position and still reach the controls, and nothing arrives once uninstalled.
#include "platform/qt/WindowGrabInputHook.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <vector>

namespace nk7x::test {
namespace {

TEST(WindowGrabHookTest, KeysAreTakenAndClicksAreReportedWhileInstalled) {
    QWidget window;
    auto* box = new QVBoxLayout(&window);
    auto* field = new QLineEdit(&window);
    auto* button = new QPushButton(QStringLiteral("Stop"), &window);
    box->addWidget(field);
    box->addWidget(button);
    window.resize(200, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });

    WindowGrabInputHook hook(&window);
    std::vector<InputEvent> got;
    ASSERT_TRUE(hook.Install(HookMode::Record, [&](const InputEvent& e) { got.push_back(e); }));
    EXPECT_TRUE(hook.Installed());
    EXPECT_FALSE(hook.Limitations().empty()) << "the user is told what is not recorded";

    QTest::keyClick(field, Qt::Key_A, Qt::ShiftModifier); // Shift goes down first, and up last
    QTest::keyClick(field, Qt::Key_F5);
    EXPECT_TRUE(field->text().isEmpty()) << "keys reach no control while recording";
    ASSERT_EQ(got.size(), 6u);
    EXPECT_EQ(got[0].scanCode, 0x2A);
    EXPECT_TRUE(got[0].down);
    EXPECT_EQ(got[1].scanCode, 0x1E);
    EXPECT_FALSE(got[2].down);
    EXPECT_EQ(got[3].scanCode, 0x2A);
    EXPECT_FALSE(got[3].down);
    EXPECT_EQ(got[4].scanCode, 0x3F);
    for (const InputEvent& e : got)
        EXPECT_EQ(e.kind, InputEventKind::Key);

    got.clear();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicks, 1) << "the stop button still takes its click";
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].kind, InputEventKind::MouseButton);
    EXPECT_EQ(got[0].button, MouseButtonId::Left);
    EXPECT_TRUE(got[0].down);
    EXPECT_FALSE(got[1].down);
    ASSERT_TRUE(got[0].hasPosition);
    const QRect onScreen(button->mapToGlobal(QPoint(0, 0)), button->size());
    EXPECT_TRUE(onScreen.contains(got[0].x, got[0].y));

    // Key picking takes keys only.
    got.clear();
    ASSERT_TRUE(hook.Install(HookMode::KeyPick, [&](const InputEvent& e) { got.push_back(e); }));
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::keyClick(field, Qt::Key_Escape);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].scanCode, 0x01);

    hook.Uninstall();
    got.clear();
    QTest::keyClicks(field, QStringLiteral("ok"));
    EXPECT_EQ(field->text(), QStringLiteral("ok"));
    EXPECT_TRUE(got.empty());
}

// A held key: the toolkit repeats it as presses (and, on Wayland, releases) flagged as repeats. The
// recording gets the one press and the one release.
TEST(WindowGrabHookTest, AHeldKeysRepeatsAreNotRecorded) {
    QWidget window;
    auto* field = new QLineEdit(&window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    WindowGrabInputHook hook(&window);
    std::vector<InputEvent> got;
    ASSERT_TRUE(hook.Install(HookMode::Record, [&](const InputEvent& e) { got.push_back(e); }));
    auto send = [&](QEvent::Type type, bool repeat) {
        QKeyEvent event(type, Qt::Key_B, Qt::NoModifier, QStringLiteral("b"), repeat);
        QApplication::sendEvent(field, &event);
    };
    send(QEvent::KeyPress, false);
    for (int i = 0; i < 5; ++i) {
        send(QEvent::KeyRelease, true);
        send(QEvent::KeyPress, true);
    }
    send(QEvent::KeyRelease, false);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_TRUE(got[0].down);
    EXPECT_EQ(got[0].scanCode, 0x30);
    EXPECT_FALSE(got[1].down);
    EXPECT_TRUE(field->text().isEmpty()) << "the repeats reach no control either";
}

TEST(WindowGrabHookTest, ToolkitKeysMapToTheKeyTablesCodes) {
    EXPECT_EQ(KeyCodeFromQtKey(Qt::Key_Z, false), std::optional<uint16_t>(44)); // KEY_Z
    EXPECT_EQ(KeyCodeFromQtKey(Qt::Key_7, true), std::optional<uint16_t>(71));  // KEY_KP7
    EXPECT_EQ(KeyCodeFromQtKey(Qt::Key_7, false), std::optional<uint16_t>(8));  // KEY_7
    EXPECT_EQ(KeyCodeFromQtKey(Qt::Key_Exclam, false), std::optional<uint16_t>(2)) << "shifted 1";
    EXPECT_FALSE(KeyCodeFromQtKey(Qt::Key_VolumeUp, false));
    WindowGrabInputHook orphan(nullptr);
    EXPECT_FALSE(orphan.Install(HookMode::Record, [](const InputEvent&) {}));
    EXPECT_FALSE(orphan.LastError().empty());
}

} // namespace
} // namespace nk7x::test
