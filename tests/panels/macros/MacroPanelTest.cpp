// The macro editor against real files in a temporary folder: the list operations and what they
// leave on disk, import and export, broken files, the event operations, and recordings driven
// through a hook backend whose events come from another thread as the evdev backend's do.
#include "panels/macros/MacroPanelSupport.h"

#include "macros/MacroEvent.h"
#include "macros/MacroStore.h"
#include "panels/macros/MacroKeyAssignments.h"
#include "profiles/json/JsonFile.h"

#include <QApplication>
#include <QFile>
#include <QFocusEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <sstream>
#include <thread>

namespace nk7x::test {
namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class MacroPanelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_folder = m_dir.filePath(QStringLiteral("kind")).toStdString() + "/";
        ASSERT_NE(m_window.panel, nullptr) << "the layout builds the panel";
        m_panel = m_window.panel;
        m_panel->SetDataFolder(m_folder);
        m_panel->LoadMacroList();
        m_window.show();
    }

    MacroStore Store() const { return MacroStore(m_folder); }
    QLineEdit* Edit(const char* name) {
        return qobject_cast<QLineEdit*>(m_window.FindControl(QString::fromLatin1(name)));
    }
    bool Enabled(const char* name) {
        QWidget* w = m_window.FindControl(QString::fromLatin1(name));
        return w && w->isEnabled();
    }
    std::vector<std::string> ListedNames() {
        std::vector<std::string> out;
        for (int i = 0; i < m_panel->NameList()->count(); ++i)
            out.push_back(m_panel->NameList()->item(i)->text().toStdString());
        return out;
    }
    std::vector<MacroEvent> SavedEvents(int index) {
        const std::vector<MacroInfo> infos = Store().LoadIndex();
        return Store().LoadEvents(infos.at(static_cast<size_t>(index)).guid);
    }
    // A hooked event as the evdev reader thread hands it over; waits until the UI thread has it.
    void Hooked(const InputEvent& e, size_t rowsAfter) {
        std::thread reader([&] { EXPECT_TRUE(SendInput(*m_window.hook, e)); });
        reader.join();
        EXPECT_TRUE(QTest::qWaitFor([&] { return m_panel->Actions().Size() == rowsAfter; }, 10000))
            << "rows " << m_panel->Actions().Size() << ", expected " << rowsAfter;
    }

    QTemporaryDir m_dir;
    std::string m_folder;
    MacroPanelWindow m_window;
    CMacroSetControlUI* m_panel = nullptr;
};

TEST_F(MacroPanelTest, CreateRenameAndDeleteKeepTheListAndTheFilesInStep) {
    EXPECT_FALSE(Enabled("macro_btn_export")) << "nothing selected: nothing to export";
    ASSERT_TRUE(m_window.Click("macro_btn_name_add"));
    ASSERT_TRUE(m_window.Click("macro_btn_name_add"));
    ASSERT_TRUE(m_window.Click("macro_btn_name_add"));
    EXPECT_EQ(ListedNames(), (std::vector<std::string>{"macro_1", "macro_2", "macro_3"}));
    EXPECT_EQ(Store().LoadNames(), ListedNames());
    EXPECT_EQ(m_panel->SelectedMacro(), 2) << "a new macro is selected";
    EXPECT_TRUE(Enabled("macro_action_layout"));
    EXPECT_TRUE(Enabled("mouse_move_layout"));

    // A name already listed (case ignored) is refused with the message; a blank one silently.
    m_panel->SelectMacroAt(1);
    Edit("macro_edit_macroname")->setText(QStringLiteral("MACRO_1"));
    ASSERT_TRUE(m_window.Click("macro_btn_name_edit"));
    ASSERT_EQ(m_window.messages.size(), 1u);
    EXPECT_EQ(m_window.messages[0], QStringLiteral("message_text_5"));
    Edit("macro_edit_macroname")->setText(QStringLiteral("   "));
    ASSERT_TRUE(m_window.Click("macro_btn_name_edit"));
    EXPECT_EQ(m_window.messages.size(), 1u);
    EXPECT_EQ(Store().LoadNames()[1], "macro_2");
    Edit("macro_edit_macroname")->setText(QStringLiteral("Fast fire"));
    ASSERT_TRUE(m_window.Click("macro_btn_name_edit"));
    EXPECT_EQ(Store().LoadNames()[1], "Fast fire");
    EXPECT_EQ(ListedNames()[1], "Fast fire");
    EXPECT_TRUE(Edit("macro_edit_macroname")->text().isEmpty());

    // The first macro gets events, then is deleted: its file goes, the next one is selected.
    m_panel->SelectMacroAt(0);
    ASSERT_TRUE(m_panel->InsertMenuItem(QStringLiteral("left_click")));
    const std::string firstFile = Store().MacroPath(Store().LoadIndex()[0].guid);
    ASSERT_TRUE(QFile::exists(QString::fromStdString(firstFile)));
    m_window.nextAnswers = {0}; // Cancel
    ASSERT_TRUE(m_window.Click("macro_btn_name_sub"));
    EXPECT_EQ(Store().LoadNames().size(), 3u) << "cancelled";
    ASSERT_TRUE(m_window.Click("macro_btn_name_sub"));
    EXPECT_EQ(m_window.messages.back(), QStringLiteral("message_text_4"));
    EXPECT_EQ(ListedNames(), (std::vector<std::string>{"Fast fire", "macro_3"}));
    EXPECT_EQ(Store().LoadNames(), ListedNames());
    EXPECT_FALSE(QFile::exists(QString::fromStdString(firstFile)));
    EXPECT_EQ(m_panel->SelectedMacro(), 0);
    EXPECT_EQ(m_panel->Actions().Size(), 0u);

    m_panel->DeleteSelectedMacro();
    m_panel->DeleteSelectedMacro();
    EXPECT_TRUE(ListedNames().empty());
    for (const char* name : {"macro_btn_export", "macro_btn_name_sub", "macro_btn_name_edit",
                             "macro_action_layout", "mouse_move_layout"})
        EXPECT_FALSE(Enabled(name)) << name;

    // A new panel on the same folder lists what the files say.
    m_panel->LoadMacroList();
    EXPECT_TRUE(ListedNames().empty());
}

TEST(MacroKeyFixTest, DeletingAMacroResetsItsKeysAndMovesLaterOnesDown) {
    auto key = [](uint8_t type, uint8_t b1) {
        KeyAssignment k;
        k.assignment = {type, b1, 0};
        k.defaultAssignment = {0x20, 0, 0x04};
        return k;
    };
    std::vector<KeyAssignment> keys = {key(0x70, 0), key(0x70, 1), key(0x71, 2), key(0x20, 1)};
    EXPECT_TRUE(AnyKeyUsesMacro(keys, 1));
    EXPECT_FALSE(AnyKeyUsesMacro(keys, 3));
    const MacroKeyFix fix = FixKeysForRemovedMacro(keys, 1);
    EXPECT_TRUE(fix.referenced);
    EXPECT_TRUE(fix.changed);
    EXPECT_EQ(keys[0].assignment, (KeyCode{0x70, 0, 0}));
    EXPECT_EQ(keys[1].assignment, (KeyCode{0x20, 0, 0x04})) << "back to its default";
    EXPECT_EQ(keys[2].assignment, (KeyCode{0x71, 1, 0})) << "follows its macro down";
    EXPECT_EQ(keys[3].assignment, (KeyCode{0x20, 1, 0})) << "not a macro key";
    std::vector<KeyAssignment> none = {key(0x70, 0)};
    EXPECT_FALSE(FixKeysForRemovedMacro(none, 3).changed);
}

TEST_F(MacroPanelTest, ExportImportRoundTripAndBrokenFilesLoadEmpty) {
    ASSERT_TRUE(m_window.Click("macro_btn_name_add"));
    Edit("mouse_x_left_edit")->setText(QStringLiteral("300"));
    ASSERT_TRUE(m_window.Click("macro_inset_moveleftkey_btn"));
    ASSERT_TRUE(m_panel->InsertMenuItem(QStringLiteral("right_down")));
    const std::vector<MacroEvent> saved = SavedEvents(0);
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[0].type, 4);
    EXPECT_EQ(saved[0].button, 44) << "300 kept modulo 256";
    EXPECT_TRUE(saved[0].down);

    const QString exported = m_dir.filePath(QStringLiteral("out.mac"));
    m_window.nextFile = exported;
    ASSERT_TRUE(m_window.Click("macro_btn_export"));
    EXPECT_EQ(ReadAll(exported.toStdString()), ReadAll(Store().MacroPath(Store().LoadIndex()[0].guid)));

    m_window.nextFile = exported;
    ASSERT_TRUE(m_window.Click("macro_btn_import"));
    EXPECT_EQ(ListedNames(), (std::vector<std::string>{"macro_1", "macro_2"}));
    EXPECT_EQ(m_panel->SelectedMacro(), 1);
    ASSERT_EQ(m_panel->Actions().Size(), 2u) << "the imported macro is shown";
    EXPECT_EQ(SavedEvents(1), saved);

    // Not JSON, an object of the wrong shape, and events with nonsense in them.
    const char* broken[] = {
        "{not json", "[1,2,3]",
        R"({"Events":[{"Type":"x"},{"Type":10,"Button":4,"Action":"down","Delay":"70000"},7]})"};
    for (const char* text : broken) {
        const QString path = m_dir.filePath(QStringLiteral("broken.mac"));
        {
            std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
            out << text;
        }
        m_window.nextFile = path;
        ASSERT_TRUE(m_window.Click("macro_btn_import")) << text;
        EXPECT_EQ(m_panel->SelectedMacro(), m_panel->MacroCount() - 1) << text;
        m_panel->ReloadMacro();
        if (std::string(text).find("70000") != std::string::npos) {
            ASSERT_EQ(m_panel->Actions().Size(), 1u);
            EXPECT_EQ(m_panel->Actions().Row(0).delayText, "65535");
        } else {
            EXPECT_EQ(m_panel->Actions().Size(), 0u) << text;
        }
    }
    // An import the user cancels adds nothing.
    m_window.nextFile.clear();
    const int count = m_panel->MacroCount();
    ASSERT_TRUE(m_window.Click("macro_btn_import"));
    EXPECT_EQ(m_panel->MacroCount(), count);
}

TEST_F(MacroPanelTest, EventOperationsSaveAtOnce) {
    ASSERT_TRUE(m_window.Click("macro_btn_name_add"));
    ASSERT_TRUE(m_panel->InsertMenuItem(QStringLiteral("left_down")));
    EXPECT_FALSE(m_panel->Actions().Selected()) << "an insert into an empty list selects nothing";
    for (const char* item : {"middle_down", "middle_up", "right_down"})
        ASSERT_TRUE(m_panel->InsertMenuItem(QString::fromLatin1(item)));
    ASSERT_EQ(m_panel->Actions().Size(), 4u);
    ASSERT_TRUE(m_panel->InsertMenuItem(QStringLiteral("back_down")));
    ASSERT_EQ(m_panel->Actions().Size(), 5u);

    // A click with row 2 of 5 selected: press at 3, release at 4, the release selected.
    m_panel->Actions().Select(2);
    ASSERT_TRUE(m_panel->InsertMenuItem(QStringLiteral("left_click")));
    ASSERT_EQ(m_panel->Actions().Size(), 7u);
    EXPECT_EQ(m_panel->Actions().Row(3).Event()->button, 0x01);
    EXPECT_TRUE(m_panel->Actions().Row(3).Event()->down);
    EXPECT_FALSE(m_panel->Actions().Row(4).Event()->down);
    EXPECT_EQ(m_panel->Actions().Selected(), std::optional<size_t>(4));
    EXPECT_EQ(m_panel->ActionList()->currentRow(), 4) << "the list shows the selection";
    EXPECT_EQ(SavedEvents(0).size(), 7u);

    // Moves: not past the ends; to the top selects the moved row.
    m_panel->Actions().Select(0);
    EXPECT_FALSE(m_window.Click("macro_btn_up") && m_panel->Actions().Selected() != std::optional<size_t>(0));
    m_panel->Actions().Select(3);
    const MacroEvent third = *m_panel->Actions().Row(3).Event();
    ASSERT_TRUE(m_window.Click("macro_btn_uptop"));
    EXPECT_EQ(m_panel->Actions().Selected(), std::optional<size_t>(0));
    EXPECT_EQ(*m_panel->Actions().Row(0).Event(), third);
    EXPECT_EQ(SavedEvents(0)[0], third);
    ASSERT_TRUE(m_window.Click("macro_btn_delete"));
    EXPECT_EQ(SavedEvents(0).size(), 6u);

    // A typed delay is saved when the field loses the focus, and a revert shows it.
    QWidget* row = m_panel->ActionList()->itemWidget(m_panel->ActionList()->item(1));
    auto* delay = row->findChild<QLineEdit*>(QStringLiteral("macro_delay"));
    ASSERT_NE(delay, nullptr);
    delay->selectAll();
    QTest::keyClicks(delay, QStringLiteral("120"));
    QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(delay, &leave);
    ASSERT_TRUE(QTest::qWaitFor([&] { return SavedEvents(0)[1].delay == 120; }, 10000));
    m_panel->Actions().SetDelayText(1, "9");
    ASSERT_TRUE(m_window.Click("macro_btn_cancel"));
    EXPECT_EQ(m_panel->Actions().Row(1).delayText, "120");

    ASSERT_TRUE(m_window.Click("macro_btn_deleteall"));
    EXPECT_TRUE(SavedEvents(0).empty());
}

TEST_F(MacroPanelTest, ARecordingTakesHookedKeysWithTheirGapsButNotTheStopClick) {
    ASSERT_TRUE(m_window.Click("macro_btn_name_add"));
    ASSERT_TRUE(m_window.Click("macro_btn_starredio"));
    ASSERT_TRUE(m_window.hook->installed);
    EXPECT_EQ(m_window.hook->mode, HookMode::Record);
    EXPECT_EQ(m_window.switching, (std::vector<bool>{false})) << "the device list is locked";
    QWidget* stop = m_window.FindControl(QStringLiteral("macro_btn_stopredio"));
    ASSERT_TRUE(stop->isVisible());
    EXPECT_FALSE(m_window.FindControl(QStringLiteral("macro_btn_starredio"))->isVisible());
    EXPECT_FALSE(Enabled("macro_tab_macroaction_edit"));
    EXPECT_TRUE(m_panel->ActionList()->viewport()->testAttribute(Qt::WA_TransparentForMouseEvents));

    // The click that will end the recording lands on the stop button first: not recorded.
    const QPoint centre = stop->mapToGlobal(stop->rect().center());
    m_window.now = 40;
    std::thread clicks([&] {
        SendInput(*m_window.hook, MouseInputEventAt(MouseButtonId::Left, true, centre.x(), centre.y()));
        SendInput(*m_window.hook, MouseInputEventAt(MouseButtonId::Left, false, centre.x(), centre.y()));
    });
    clicks.join();
    // Shift, A, A up, Shift up (scan codes 0x2A and 0x1E).
    m_window.now = 100;
    Hooked(KeyInputEvent(0x2A, false, true), 1);
    m_window.now = 250;
    Hooked(KeyInputEvent(0x1E, false, true), 2);
    Hooked(KeyInputEvent(0x1E, false, true), 2); // auto-repeat: dropped...
    m_window.now = 330;
    Hooked(KeyInputEvent(0x1E, false, false), 3); // ...so the release lands as the third row
    m_window.now = 400;
    Hooked(KeyInputEvent(0x2A, false, false), 4);

    const MacroActionList& rows = m_panel->Actions();
    ASSERT_EQ(rows.Size(), 4u);
    const MacroEvent shiftDown = *rows.Row(0).Event();
    EXPECT_EQ(shiftDown.type, static_cast<int>(MacroEventType::ModifierKey));
    EXPECT_EQ(shiftDown.button, 0x02);
    EXPECT_TRUE(shiftDown.down);
    EXPECT_EQ(rows.Row(1).Event()->type, static_cast<int>(MacroEventType::KeyboardKey));
    EXPECT_EQ(rows.Row(1).Event()->button, 0x04);
    EXPECT_FALSE(rows.Row(2).Event()->down);
    EXPECT_FALSE(rows.Row(3).Event()->down);
    EXPECT_EQ(rows.Row(0).delayText, "150");
    EXPECT_EQ(rows.Row(1).delayText, "80");
    EXPECT_EQ(rows.Row(2).delayText, "70");
    EXPECT_EQ(rows.Row(3).delayText, "0") << "the newest waits for the next event";
    EXPECT_EQ(m_panel->ActionList()->currentRow(), 3);
    EXPECT_TRUE(m_panel->ScrollPending() || m_panel->ActionList()->currentRow() == 3);

    ASSERT_TRUE(m_window.Click("macro_btn_stopredio"));
    EXPECT_FALSE(m_window.hook->installed);
    EXPECT_EQ(m_window.switching, (std::vector<bool>{false, true}));
    EXPECT_TRUE(m_window.FindControl(QStringLiteral("macro_btn_starredio"))->isVisible());
    EXPECT_FALSE(m_panel->ActionList()->viewport()->testAttribute(Qt::WA_TransparentForMouseEvents));
    const std::vector<MacroEvent> saved = SavedEvents(0);
    ASSERT_EQ(saved.size(), 4u);
    EXPECT_EQ(saved[0].delay, 150);
    EXPECT_EQ(saved[2].delay, 70);
    const Json::Value file = LoadJson(Store().MacroPath(Store().LoadIndex()[0].guid));
    EXPECT_TRUE(file["Events"][0]["Delay"].isString()) << "every save writes strings";

    // Events still queued when the recording ended are not recorded.
    EXPECT_FALSE(SendInput(*m_window.hook, KeyInputEvent(0x1E, false, true)));
    QTest::qWait(0);
    EXPECT_EQ(m_panel->Actions().Size(), 4u);
}

TEST_F(MacroPanelTest, MenuRecordingsGoAroundTheSelectedEventAndAnEndedRecordingIsSaved) {
    ASSERT_TRUE(m_window.Click("macro_btn_name_add"));
    ASSERT_TRUE(m_panel->InsertMenuItem(QStringLiteral("left_down")));
    ASSERT_TRUE(m_panel->InsertMenuItem(QStringLiteral("left_up")));
    m_panel->Actions().Select(0);
    m_window.routes->ShowActionMenu();
    ASSERT_NE(m_window.routes->ActionMenu(), nullptr);
    EXPECT_EQ(m_window.routes->ActionMenu()->actions().front()->text(),
              EnglishMacroTexts().Text(QStringLiteral("redio_previous_record_time_text")));

    m_window.routes->OnMenuItem(QStringLiteral("redio_previous_ignore_time"));
    ASSERT_TRUE(m_window.routes->Recording());
    EXPECT_EQ(m_window.hook->mode, HookMode::RecordBefore);
    Hooked(KeyInputEvent(0x10, false, true), 3); // Q
    Hooked(KeyInputEvent(0x10, false, false), 4);
    EXPECT_EQ(m_panel->Actions().Row(0).Event()->button, 0x14) << "Q, pressed first, comes first";
    EXPECT_TRUE(m_panel->Actions().Row(0).Event()->down);
    EXPECT_EQ(m_panel->Actions().Row(2).Event()->type, 1) << "the selected event moved below";
    EXPECT_EQ(m_panel->Actions().Selected(), std::optional<size_t>(2));

    // The device going away ends the recording the way the stop button does.
    m_window.routes->StopRecording();
    EXPECT_FALSE(m_window.routes->Recording());
    EXPECT_FALSE(m_window.hook->installed);
    EXPECT_EQ(SavedEvents(0).size(), 4u);

    // Replace: the selected row takes the key, keeping its direction and delay.
    m_panel->Actions().Select(3);
    m_window.routes->OnMenuItem(QStringLiteral("macro_action_edit"));
    EXPECT_EQ(m_window.hook->mode, HookMode::RecordReplace);
    std::thread reader([&] { SendInput(*m_window.hook, KeyInputEvent(0x1F, false, true)); });
    reader.join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_panel->Actions().Row(3).Event()->type == 10; }, 10000));
    EXPECT_EQ(m_panel->Actions().Row(3).Event()->button, 0x16); // S
    EXPECT_FALSE(m_panel->Actions().Row(3).Event()->down);
    ASSERT_TRUE(m_window.Click("macro_btn_stopredio"));
    EXPECT_EQ(SavedEvents(0)[3].button, 0x16);
}

TEST_F(MacroPanelTest, WithoutAnyBackendTheRecordingSaysSo) {
    m_window.hook->refuse = true;
    ASSERT_TRUE(m_window.Click("macro_btn_name_add"));
    ASSERT_TRUE(m_window.Click("macro_btn_starredio"));
    auto* source = qobject_cast<QLabel*>(m_window.FindControl(QStringLiteral("macro_input_source")));
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->text(), EnglishMacroTexts().Text(QStringLiteral("macro_source_none_text")));
    EXPECT_TRUE(source->toolTip().contains(QStringLiteral("no access")));
    ASSERT_TRUE(m_window.Click("macro_btn_stopredio"));
}

} // namespace
} // namespace nk7x::test
