// The main window used from the keyboard alone: Tab walks through the page's controls with a frame
// around the one that has the focus, a click leaves no frame, the arrows move between the keys of
// the keyboard picture and Enter selects one, and Escape closes the secondary windows (settings,
// about).
#include "support/KeyboardWindowFixture.h"

#include "devices/keyboard/KeyboardTables.h"
#include "ui/FocusMark.h"
#include "ui/controls/DeviceKeyButtonUI.h"
#include "windows/AboutWnd.h"
#include "windows/SetWnd.h"

#include <QAbstractButton>
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>

using namespace nk7x;
using namespace nk7x::test;

namespace {

class KeyboardUseTest : public KeyboardWindowFixture<::testing::Test> {
  protected:
    void SetUp() override { OpenWindow(); }
    void TearDown() override { CloseWindow(); }

    // The key of the picture named `label` in the key tables ("Q", "Caplk"), with its index.
    CDeviceKeyButtonUI* Key(const char* label, int* index = nullptr) const {
        for (int i = 0; i < kKeyboardKeyCount; ++i) {
            const char* name = DefaultKeyCodeTable[static_cast<size_t>(i)].label;
            if (name && std::strcmp(name, label) == 0) {
                if (index)
                    *index = i;
                return m_window->findChild<CDeviceKeyButtonUI*>(QStringLiteral("key_%1").arg(i));
            }
        }
        return nullptr;
    }
    static QString FocusName() {
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
    }
    // A key pressed on the control that has the focus (none: on the window).
    void Press(Qt::Key key) const {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : m_window.get(), key);
    }
};

} // namespace

TEST_F(KeyboardUseTest, TabReachesTheViewTabsWithAFrameAroundTheFocus) {
    m_window->activateWindow();
    QApplication::setActiveWindow(m_window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    std::set<QString> reached;
    int framed = 0;
    int steps = 0;
    std::set<QString> unframed;
    for (int i = 0; i < 400; ++i) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : m_window.get(), Qt::Key_Tab);
        focus = QApplication::focusWidget();
        if (!focus)
            continue;
        ++steps;
        reached.insert(focus->objectName());
        QWidget* frame = FocusMark::Shown();
        if (frame && frame->geometry().contains(
                         QRect(focus->mapTo(frame->parentWidget(), QPoint(0, 0)), focus->size())))
            ++framed;
        else
            unframed.insert(focus->objectName() + QLatin1Char('/') + focus->metaObject()->className());
        if (const char* out = std::getenv("NK7X_SCREENSHOT_DIR");
            out && focus->objectName() == QLatin1String("deng_Op_tab"))
            m_window->grab().save(QString::fromLocal8Bit(out) + QStringLiteral("/focus-mark.png"));
    }
    // The view tabs are one group: Tab reaches the view shown, the arrows move between them.
    EXPECT_TRUE(reached.count(QStringLiteral("deng_Op_tab"))) << "the lighting view's tab is reached by Tab";
    EXPECT_GT(reached.size(), 20u) << [&] {
        std::string s;
        for (const QString& n : reached)
            s += n.toStdString() + " ";
        return s;
    }();
    EXPECT_GT(steps, 0);
    EXPECT_EQ(framed, steps) << "every control Tab reached carries the frame; not: " << [&] {
        std::string s;
        for (const QString& n : unframed)
            s += n.toStdString() + " ";
        return s;
    }();

    auto* lighting = m_window->findChild<QAbstractButton*>(QStringLiteral("deng_Op_tab"));
    ASSERT_NE(lighting, nullptr);
    lighting->setFocus(Qt::TabFocusReason);
    QTest::keyClick(lighting, Qt::Key_Right);
    EXPECT_EQ(QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString(),
              QStringLiteral("key_Op_tab"));
    EXPECT_EQ(m_page->Device().GetFunctionMode(), 2) << "the arrow shows the keys view";

    // A click moves the focus without a frame.
    auto* keys = m_window->findChild<QAbstractButton*>(QStringLiteral("key_Op_tab"));
    ASSERT_NE(keys, nullptr);
    QTest::mouseClick(keys, Qt::LeftButton);
    EXPECT_EQ(FocusMark::Shown(), nullptr);
}

TEST_F(KeyboardUseTest, ArrowsMoveBetweenTheKeysOfThePictureAndEnterSelects) {
    m_window->activateWindow();
    QApplication::setActiveWindow(m_window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    auto* keysView = m_window->findChild<QAbstractButton*>(QStringLiteral("key_Op_tab"));
    ASSERT_NE(keysView, nullptr);
    QTest::mouseClick(keysView, Qt::LeftButton);
    ASSERT_EQ(m_page->Device().GetFunctionMode(), 2) << "the keys view is shown";
    int q = -1, w = -1, a = -1, s = -1, caps = -1;
    CDeviceKeyButtonUI* keyQ = Key("Q", &q);
    CDeviceKeyButtonUI* keyW = Key("W", &w);
    CDeviceKeyButtonUI* keyA = Key("A", &a);
    CDeviceKeyButtonUI* keyS = Key("S", &s);
    CDeviceKeyButtonUI* keyCaps = Key("Caplk", &caps);
    for (CDeviceKeyButtonUI* key : {keyQ, keyW, keyA, keyS, keyCaps})
        ASSERT_NE(key, nullptr);

    // A click on Q selects it and makes it the picture's stop in the Tab chain: Tab arrives there.
    QTest::mouseClick(keyQ, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_page->Device().SelectedKey() == q; }, 2000));
    for (int i = 0; i < 300 && !qobject_cast<CDeviceKeyButtonUI*>(QApplication::focusWidget()); ++i)
        Press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), keyQ) << "Tab reached " << FocusName().toStdString();
    // The picture is one stop: Tab leaves it at once and meets no other key on its way round.
    int otherKeys = 0;
    Press(Qt::Key_Tab);
    for (int i = 0; i < 300 && QApplication::focusWidget() != keyQ; ++i) {
        otherKeys += qobject_cast<CDeviceKeyButtonUI*>(QApplication::focusWidget()) ? 1 : 0;
        Press(Qt::Key_Tab);
    }
    ASSERT_EQ(QApplication::focusWidget(), keyQ) << "Tab comes round to the picture again";
    EXPECT_EQ(otherKeys, 0);

    Press(Qt::Key_Right);
    EXPECT_EQ(QApplication::focusWidget(), keyW) << FocusName().toStdString();
    QWidget* frame = FocusMark::Shown();
    ASSERT_NE(frame, nullptr) << "the focus frame follows the arrows";
    EXPECT_TRUE(
        frame->geometry().contains(QRect(keyW->mapTo(frame->parentWidget(), QPoint(0, 0)), keyW->size())));
    // Down goes to the key of the next row under W; Up comes back.
    Press(Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), keyS) << FocusName().toStdString();
    Press(Qt::Key_Up);
    EXPECT_EQ(QApplication::focusWidget(), keyW) << FocusName().toStdString();
    Press(Qt::Key_Down);
    // Left runs to the row's first key (left of Caps Lock) and stays there.
    for (int i = 0; i < 5; ++i)
        Press(Qt::Key_Left);
    QWidget* first = QApplication::focusWidget();
    ASSERT_NE(first, nullptr);
    const QRect capsPlace(keyCaps->mapTo(m_window.get(), QPoint(0, 0)), keyCaps->size());
    const QPoint firstCentre = first->mapTo(m_window.get(), first->rect().center());
    EXPECT_TRUE(first == keyCaps ||
                (firstCentre.x() < capsPlace.left() && firstCentre.y() > capsPlace.top() &&
                 firstCentre.y() < capsPlace.bottom()))
        << first->objectName().toStdString() << " is not the first key of Caps Lock's row";
    Press(Qt::Key_Left);
    EXPECT_EQ(QApplication::focusWidget(), first) << "the focus stays at the row's start";
    EXPECT_EQ(m_page->Device().SelectedKey(), q) << "moving the focus selects nothing";
    // End and Home: the row's last and first keys.
    Press(Qt::Key_End);
    const QWidget* last = QApplication::focusWidget();
    ASSERT_NE(last, nullptr);
    EXPECT_GT(last->mapTo(m_window.get(), QPoint(0, 0)).x(), keyS->mapTo(m_window.get(), QPoint(0, 0)).x());
    Press(Qt::Key_Home);
    EXPECT_EQ(QApplication::focusWidget(), first) << FocusName().toStdString();
    for (int i = 0; i < 10 && QApplication::focusWidget() != keyCaps && QApplication::focusWidget() != keyA;
         ++i)
        Press(Qt::Key_Right);
    EXPECT_EQ(QApplication::focusWidget(), keyCaps) << FocusName().toStdString();
    Press(Qt::Key_Right);
    ASSERT_EQ(QApplication::focusWidget(), keyA) << FocusName().toStdString();

    Press(Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_page->Device().SelectedKey() == a; }, 2000))
        << "selected " << m_page->Device().SelectedKey();
    EXPECT_EQ(QApplication::focusWidget(), keyA) << "the focus stays on the key selected";
    // Space selects as well.
    Press(Qt::Key_Right);
    ASSERT_EQ(QApplication::focusWidget(), keyS);
    Press(Qt::Key_Space);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_page->Device().SelectedKey() == s; }, 2000))
        << "selected " << m_page->Device().SelectedKey();
}

TEST_F(KeyboardUseTest, EscapeClosesTheSettingsAndTheAboutWindow) {
    CSetWnd* settings = m_window->Windows().OpenSettings(SecondaryWindows::Placement::Centred);
    ASSERT_NE(settings, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return settings->isVisible(); }, 2000));
    QTest::keyClick(settings, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !settings->isVisible(); }, 2000)) << "settings closed";

    CAboutWnd* about = m_window->Windows().OpenAbout();
    ASSERT_NE(about, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return about->isVisible(); }, 2000));
    QTest::keyClick(about, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !about->isVisible(); }, 2000)) << "about closed";
}
