// The editor's event rows on a long macro: only the rows in view have widgets, and whatever
// scrolls into view shows its event, its typed delay and what a recording changed.
#include "panels/macros/MacroPanelSupport.h"

#include "macros/MacroEvent.h"
#include "macros/MacroStore.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

namespace nk7x::test {
namespace {

constexpr std::size_t kLongMacro = 3990;

class MacroRowsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        const std::string folder = m_dir.filePath(QStringLiteral("kind")).toStdString() + "/";
        MacroStore store(folder);
        MacroInfo info;
        ASSERT_EQ(store.Create(info), MacroResult::Ok);
        for (std::size_t i = 0; i < kLongMacro; ++i)
            m_events.push_back(MacroEvent{i % 2 == 0, static_cast<int>(MacroEventType::KeyboardKey),
                                          static_cast<uint8_t>(0x04 + (i / 2) % 26),
                                          static_cast<uint16_t>(i)});
        ASSERT_EQ(store.Save(info, m_events), MacroResult::Ok);
        ASSERT_NE(m_window.panel, nullptr);
        m_panel = m_window.panel;
        m_panel->SetDataFolder(folder);
        m_panel->LoadMacroList();
        m_window.show();
        m_panel->SelectMacroAt(0);
        QApplication::processEvents();
        ASSERT_EQ(List()->count(), static_cast<int>(kLongMacro));
    }

    QListWidget* List() { return m_panel->ActionList(); }
    int RowsWithWidgets() {
        int n = 0;
        for (int i = 0; i < List()->count(); ++i)
            n += List()->itemWidget(List()->item(i)) != nullptr;
        return n;
    }
    QLineEdit* DelayField(int row) {
        QWidget* w = List()->itemWidget(List()->item(row));
        return w ? w->findChild<QLineEdit*>(QStringLiteral("macro_delay")) : nullptr;
    }
    void ScrollTo(int row) {
        List()->scrollToItem(List()->item(row));
        QApplication::processEvents();
    }

    QTemporaryDir m_dir;
    std::vector<MacroEvent> m_events;
    MacroPanelWindow m_window;
    CMacroSetControlUI* m_panel = nullptr;
};

} // namespace

TEST_F(MacroRowsTest, RowsInViewHaveWidgetsShowingTheirEvents) {
    const int shown = RowsWithWidgets();
    EXPECT_GT(shown, 0);
    EXPECT_LT(shown, 40) << "rows far from the view have no widgets";
    ASSERT_NE(DelayField(0), nullptr);
    EXPECT_EQ(DelayField(0)->text(), QStringLiteral("0"));

    // A delay typed at the end is kept while its row is out of view.
    const int last = static_cast<int>(kLongMacro) - 1;
    ScrollTo(last);
    ASSERT_NE(DelayField(last), nullptr) << "the last row came into view";
    EXPECT_EQ(DelayField(last)->text(), QString::number(last));
    DelayField(last)->selectAll();
    QTest::keyClicks(DelayField(last), QStringLiteral("77"));
    EXPECT_EQ(m_panel->Actions().Row(static_cast<std::size_t>(last)).delayText, "77");
    ScrollTo(0);
    EXPECT_EQ(DelayField(last), nullptr);
    EXPECT_LT(RowsWithWidgets(), 40);
    ScrollTo(last);
    ASSERT_NE(DelayField(last), nullptr);
    EXPECT_EQ(DelayField(last)->text(), QStringLiteral("77"));

    // A row moved from far away shows its own event where it lands.
    m_panel->Actions().Move(5, static_cast<std::size_t>(last));
    QApplication::processEvents();
    ASSERT_NE(DelayField(last), nullptr);
    EXPECT_EQ(DelayField(last)->text(), QStringLiteral("5"));
}

TEST_F(MacroRowsTest, ARecordingOntoALongMacroShowsEachNewRowAndItsDelay) {
    m_panel->StartRecording(DelayMode::Recorded, RecordPlacement::Append);
    m_window.now = 1000;
    ASSERT_EQ(m_panel->HandleInput(KeyInputEvent(0x1E, false, true)), RecordOutcome::Added); // A
    m_window.now = 1040;
    ASSERT_EQ(m_panel->HandleInput(KeyInputEvent(0x1E, false, false)), RecordOutcome::Added);
    QApplication::processEvents();
    const int first = static_cast<int>(kLongMacro);
    ASSERT_EQ(List()->count(), first + 2);
    EXPECT_EQ(List()->currentRow(), first + 1);
    ASSERT_NE(DelayField(first), nullptr) << "the new rows are in view";
    ASSERT_NE(DelayField(first + 1), nullptr);
    EXPECT_EQ(DelayField(first)->text(), QStringLiteral("40")) << "the second event gave the first its wait";
    EXPECT_LT(RowsWithWidgets(), 40);
    m_panel->StopRecording();
}

} // namespace nk7x::test
