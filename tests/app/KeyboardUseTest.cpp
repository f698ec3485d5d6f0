// The main window used from the keyboard alone: Tab walks through the page's controls with a frame
// around the one that has the focus, a click leaves no frame, and Escape closes the secondary
// windows (settings, about).
#include "support/KeyboardWindowFixture.h"

#include "ui/FocusMark.h"
#include "windows/AboutWnd.h"
#include "windows/SetWnd.h"

#include <QAbstractButton>
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

using namespace nk7x;
using namespace nk7x::test;

namespace {

class KeyboardUseTest : public KeyboardWindowFixture<::testing::Test> {
  protected:
    void SetUp() override { OpenWindow(); }
    void TearDown() override { CloseWindow(); }
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
