// The key assignment editor's controls: what an assignment shows, what the controls collect, key
// picking from the key pressed in the name field, the macro list and the language.
#include "KeysTestSupport.h"

#include "panels/keys/KeyPicking.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace nk7x::test {
namespace {

KeyAssignment Record(KeyCode assignment, KeyCode defaultAssignment = {0x20, 0x00, 0x29}) {
    KeyAssignment r;
    r.assignment = assignment;
    r.defaultAssignment = defaultAssignment;
    return r;
}

std::size_t Row(std::string_view name) {
    return FindKeyByName(name).value_or(0);
}

// A key pressed and released while `field` has the focus, as the platform delivers it.
void PressKey(QWidget* field, Qt::Key key) {
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(field, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(field, &up);
}

TEST(KeySetPanel, HoldsEveryNamedControlAndOffersTheKeyboardFunctions) {
    KeySetWindow w;
    ASSERT_NE(w.panel, nullptr) << "the layout did not load";
    for (const char* name :
         {"keyset_function_combo", "keyset_mousekey_combo", "keyset_mouseswing_combo",
          "keyset_mousewheel_combo", "keyset_mousedpi_combo", "keyset_media_combo", "keyset_system_combo",
          "keyset_macro_combo", "keyset_macro_over_combo", "keyset_gunkey_combo", "keyset_combokey_combo"})
        EXPECT_NE(w.Find<QComboBox>(name), nullptr) << name;
    for (const char* name :
         {"keyset_mouseswing_num_edit", "keyset_mouseswing_delay_edit", "keyset_mouseswing_speed_edit",
          "keyset_mousewheel_num_edit", "keyset_mousewheel_delay_edit", "keyset_mousewheel_speed_edit",
          "keyset_mousefire_interval_edit", "keyset_mousefire_num_edit", "keyset_keyboard_text_edit",
          "keyset_macro_cycle_edit"})
        EXPECT_NE(w.Find<QLineEdit>(name), nullptr) << name;
    for (const char* name : {"key_ComBox_check_0", "key_ComBox_check_1", "key_ComBox_check_2",
                             "key_ComBox_check_3", "key_ComBox_check_4", "key_butt_keydefalut",
                             "key_butt_keysave", "key_butt_keycancel", "key_butt_prosave"})
        EXPECT_NE(w.Find<QAbstractButton>(name), nullptr) << name;
    auto* pages = w.Find<QStackedWidget>("function_switch_tablayout");
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(pages->count(), kCategoryCount);
    EXPECT_NE(w.Find<QWidget>("keyset_layout"), nullptr);
    EXPECT_NE(w.Find<QWidget>("keyset_macro_cycle_layout"), nullptr);

    // The lists hold their tables' rows; a keyboard has no DPI and no gun key function.
    EXPECT_EQ(w.Find<QComboBox>("keyset_media_combo")->count(), 18);
    EXPECT_EQ(w.Find<QComboBox>("keyset_mousekey_combo")->count(), 5);
    EXPECT_EQ(w.Find<QComboBox>("keyset_combokey_combo")->count(), 11);
    EXPECT_EQ(w.Find<QComboBox>("keyset_macro_over_combo")->count(), 5);
    EXPECT_EQ(w.Find<QComboBox>("keyset_function_combo")->count(), 10);
    EXPECT_EQ(w.panel->CategoryIndex(kCategoryDpi), -1);
    EXPECT_EQ(w.panel->CategoryIndex(kCategoryGunKey), -1);
    EXPECT_EQ(w.panel->CategoryOfItem(w.panel->CategoryIndex(kCategoryMacro)), kCategoryMacro);
    EXPECT_EQ(w.panel->CategoryOfItem(99), -1);
    w.panel->SetDeviceType(2);
    EXPECT_EQ(w.Find<QComboBox>("keyset_function_combo")->count(), kCategoryCount);
    // Every item is translated.
    for (QComboBox* combo : w.panel->findChildren<QComboBox*>())
        for (int i = 0; i < combo->count(); ++i)
            EXPECT_FALSE(combo->itemText(i).contains(QLatin1Char('_')))
                << combo->objectName().toStdString() << " " << combo->itemText(i).toStdString();
}

TEST(KeySetPanel, ShowsAnAssignmentWithoutANotificationAndHidesWhatItCannotShow) {
    KeySetWindow w;
    ASSERT_NE(w.panel, nullptr);
    w.show();
    auto* editor = w.Find<QWidget>("keyset_layout");
    EXPECT_FALSE(editor->isVisible()) << "hidden until a key is selected";
    EXPECT_TRUE(w.Find<QWidget>("keyset_hint")->isVisible());

    w.panel->SetKey(Record({0x30, 0xE9, 0x00}));
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(w.panel->SelectedCategory(), kCategoryMedia);
    EXPECT_EQ(w.Find<QStackedWidget>("function_switch_tablayout")->currentIndex(), kCategoryMedia);
    EXPECT_EQ(w.Find<QComboBox>("keyset_media_combo")->currentIndex(), 6);
    EXPECT_EQ(w.Find<QComboBox>("keyset_media_combo")->currentText(),
              English().Text("keyboard_key_Volume Up"));

    w.panel->SetKey(Record({0x20, 0x01, 0x05}));
    EXPECT_EQ(w.panel->SelectedCategory(), kCategoryKeyboard);
    EXPECT_EQ(w.panel->GetModifier(), 1);
    EXPECT_EQ(w.Find<QLineEdit>("keyset_keyboard_text_edit")->text(), English().Text("keyboard_key_B"));

    w.panel->SetKey(Record({0x12, 0x35, 0x80 | 125}));
    EXPECT_EQ(w.Find<QComboBox>("keyset_mousewheel_combo")->currentIndex(), 1);
    EXPECT_EQ(w.Find<QLineEdit>("keyset_mousewheel_num_edit")->text(), QStringLiteral("3"));
    EXPECT_EQ(w.Find<QLineEdit>("keyset_mousewheel_delay_edit")->text(), QStringLiteral("3"));
    EXPECT_EQ(w.Find<QLineEdit>("keyset_mousewheel_speed_edit")->text(), QStringLiteral("5"));
    EXPECT_EQ(w.panel->CollectAssignment().assignment, (KeyCode{0x12, 0x35, 0x80 | 125}));

    // A DPI key on a keyboard, or a type of no function: the editor hides, nothing is collected.
    w.panel->SetKey(Record({0x13, 0x01, 0x00}));
    EXPECT_FALSE(editor->isVisible());
    w.panel->SetKey(Record({0x66, 0x01, 0x02}));
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(w.panel->Current().assignment, (KeyCode{0x66, 0x01, 0x02}));
    EXPECT_TRUE(w.got.empty()) << "showing raised " << w.got.front().type.toStdString();
}

TEST(KeySetPanel, CollectsWhatTheControlsSayAndKeepsTheRecordWhereTheySayNothing) {
    KeySetWindow w;
    ASSERT_NE(w.panel, nullptr);
    w.panel->SetKey(Record({0x30, 0xE9, 0x00}));
    // The swing page with typed text: numbers are read from the leading digits, cut to their fields.
    w.panel->OnFunctionSelected(w.panel->CategoryIndex(kCategorySwing));
    w.Find<QComboBox>("keyset_mouseswing_combo")->setCurrentIndex(1);
    w.Find<QLineEdit>("keyset_mouseswing_num_edit")->setText(QStringLiteral("12 px"));
    w.Find<QLineEdit>("keyset_mouseswing_delay_edit")->setText(QStringLiteral("x"));
    w.Find<QLineEdit>("keyset_mouseswing_speed_edit")->setText(QStringLiteral("20"));
    EXPECT_EQ(w.panel->CollectAssignment().assignment, (KeyCode{0x11, 0x04, 0x80 | 12}));

    // A table with nothing selected keeps what the key had.
    w.panel->OnFunctionSelected(w.panel->CategoryIndex(kCategorySystem));
    EXPECT_EQ(w.Find<QComboBox>("keyset_system_combo")->currentIndex(), -1);
    EXPECT_EQ(w.panel->CollectAssignment().assignment, (KeyCode{0x11, 0x04, 0x80 | 12}));

    // Choosing the keyboard function starts with an empty key and no modifier.
    w.panel->OnFunctionSelected(w.panel->CategoryIndex(kCategoryKeyboard));
    EXPECT_EQ(w.panel->GetModifier(), -1);
    EXPECT_TRUE(w.Find<QLineEdit>("keyset_keyboard_text_edit")->text().isEmpty());
    EXPECT_EQ(w.panel->CollectAssignment().assignment, (KeyCode{0x20, 0x00, 0x00}));

    // Default, then back to the stored assignment.
    w.panel->ShowDefault();
    EXPECT_EQ(w.panel->SelectedCategory(), kCategoryDefault);
    EXPECT_EQ(w.panel->CollectAssignment().assignment, (KeyCode{0x20, 0x00, 0x29}));
    w.panel->ShowCurrent();
    EXPECT_EQ(w.panel->SelectedCategory(), kCategoryDefault);
}

TEST(KeySetPanel, MacroChoicesFollowTheListAndTheRepeatMode) {
    KeySetWindow w;
    ASSERT_NE(w.panel, nullptr);
    w.show();
    w.panel->FillMacroNames({"one", "two", "three"});
    auto* macros = w.Find<QComboBox>("keyset_macro_combo");
    auto* modes = w.Find<QComboBox>("keyset_macro_over_combo");
    auto* count = w.Find<QWidget>("keyset_macro_cycle_layout");
    EXPECT_EQ(macros->count(), 3);
    EXPECT_EQ(macros->currentIndex(), -1);

    w.panel->SetKey(Record({0x71, 1, 5}));
    EXPECT_EQ(macros->currentIndex(), 1);
    EXPECT_EQ(modes->currentIndex(), kCountedRepeatMode);
    EXPECT_TRUE(count->isVisible());
    EXPECT_EQ(w.Find<QLineEdit>("keyset_macro_cycle_edit")->text(), QStringLiteral("5"));
    modes->setCurrentIndex(2);
    w.panel->OnRepeatModeSelected(2);
    EXPECT_FALSE(count->isVisible());
    EXPECT_EQ(w.panel->CollectAssignment().assignment, (KeyCode{0x70, 1, 2}));

    // A macro beyond the list: nothing selected, and the key keeps its bytes.
    w.panel->SetKey(Record({0x70, 3, 1}));
    EXPECT_EQ(w.panel->SelectedCategory(), kCategoryMacro);
    EXPECT_EQ(macros->currentIndex(), -1);
    EXPECT_EQ(modes->currentIndex(), -1);
    EXPECT_EQ(w.panel->CollectAssignment().assignment, (KeyCode{0x70, 3, 1}));

    // The editor's list follows renames and removals; bad indices are ignored.
    w.panel->RenameMacroName(0, "first");
    w.panel->RenameMacroName(1, "");
    w.panel->RenameMacroName(-1, "x");
    w.panel->RemoveMacroName(-1);
    w.panel->RemoveMacroName(7);
    w.panel->RemoveMacroName(2);
    w.panel->AddMacroName("four");
    ASSERT_EQ(macros->count(), 3);
    EXPECT_EQ(macros->itemText(0), QStringLiteral("first"));
    EXPECT_EQ(macros->itemText(1), QStringLiteral("two"));
    EXPECT_EQ(macros->itemText(2), QStringLiteral("four"));
}

TEST(KeySetPanel, PicksTheKeyPressedInTheNameField) {
    KeySetWindow w;
    ASSERT_NE(w.panel, nullptr);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.panel->SetKey(Record({0x20, 0x00, 0x04}));
    auto* field = w.Find<QLineEdit>("keyset_keyboard_text_edit");
    field->setFocus();
    QSignalSpy picked(w.panel, &CKeySetControlUI::keyPicked);

    PressKey(field, Qt::Key_B);
    EXPECT_EQ(picked.count(), 1);
    EXPECT_EQ(field->text(), English().Text("keyboard_key_B"));
    EXPECT_EQ(w.panel->GetModifier(), 0);
    EXPECT_EQ(w.panel->Current().assignment, (KeyCode{0x20, 0x00, 0x05}));

    // Right Alt selects the Alt option and empties the key; the next key keeps the Alt.
    PressKey(field, Qt::Key_AltGr);
    EXPECT_EQ(w.panel->GetModifier(), 3);
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_EQ(w.panel->Current().assignment, (KeyCode{0x20, 0x04, 0x00}));
    PressKey(field, Qt::Key_Tab);
    EXPECT_EQ(w.panel->Current().assignment, (KeyCode{0x20, 0x04, 0x2B}));
    EXPECT_TRUE(field->hasFocus()) << "Tab was the key picked, not a focus move";
    EXPECT_EQ(picked.count(), 3);

    // The entry for the input layer: a release or a key of another page changes nothing.
    w.panel->PickKey(KeyTable()[Row("keyboard_key_C")], false);
    w.panel->PickKey(KeyTable()[Row("keyboard_key_Volume Up")], true);
    EXPECT_EQ(picked.count(), 3);
    w.panel->PickKey(KeyTable()[Row("keyboard_key_RCtrl")], true);
    EXPECT_EQ(w.panel->Current().assignment, (KeyCode{0x20, 0x01, 0x00}));
}

TEST(KeyPicking, EvdevCodesAndToolkitKeysFindTheirRows) {
    EXPECT_EQ(KeyRowOfEvdevCode(30), FindKeyByName("keyboard_key_A"));
    EXPECT_EQ(KeyRowOfEvdevCode(1), FindKeyByName("keyboard_key_Esc"));
    EXPECT_EQ(KeyRowOfEvdevCode(97), std::optional<std::size_t>(4));  // right Ctrl
    EXPECT_EQ(KeyRowOfEvdevCode(100), std::optional<std::size_t>(6)); // right Alt
    EXPECT_EQ(KeyRowOfEvdevCode(54), std::optional<std::size_t>(5));  // right Shift
    EXPECT_EQ(KeyRowOfEvdevCode(42), std::optional<std::size_t>(1));  // left Shift
    EXPECT_EQ(KeyRowOfEvdevCode(103), FindKeyByName("keyboard_key_Up"));
    EXPECT_EQ(KeyRowOfEvdevCode(69), FindKeyByName("keyboard_key_Num Lock"));
    EXPECT_EQ(KeyRowOfEvdevCode(119), FindKeyByName("keyboard_key_Pause"));
    EXPECT_EQ(KeyRowOfEvdevCode(79), FindKeyByName("keyboard_key_Num 1"));
    EXPECT_FALSE(KeyRowOfEvdevCode(0));
    EXPECT_FALSE(KeyRowOfEvdevCode(240));

    EXPECT_EQ(KeyRowOfQtKey(Qt::Key_A, false), FindKeyByName("keyboard_key_A"));
    EXPECT_EQ(KeyRowOfQtKey(Qt::Key_1, true), FindKeyByName("keyboard_key_Num 1"));
    EXPECT_EQ(KeyRowOfQtKey(Qt::Key_1, false), FindKeyByName("keyboard_key_1"));
    EXPECT_EQ(KeyRowOfQtKey(Qt::Key_F12, false), FindKeyByName("keyboard_key_F12"));
    EXPECT_EQ(KeyRowOfQtKey(Qt::Key_Control, false), std::optional<std::size_t>(0));
    EXPECT_FALSE(KeyRowOfQtKey(Qt::Key_VolumeUp, false));
}

TEST(KeySetPanel, TranslatesItsListsAgainInAnotherLanguage) {
    KeySetWindow w;
    ASSERT_NE(w.panel, nullptr);
    w.panel->SetKey(Record({0x20, 0x00, 0x05}));
    auto* functions = w.Find<QComboBox>("keyset_function_combo");
    const QString english = functions->itemText(w.panel->CategoryIndex(kCategoryMacro));
    const LanguageTexts& zh = Texts("lang/lan_zh.json");
    w.panel->SetLanguageTexts(&zh);
    EXPECT_EQ(functions->itemText(w.panel->CategoryIndex(kCategoryMacro)), zh.Text("keyset_function_9_text"));
    EXPECT_NE(functions->itemText(w.panel->CategoryIndex(kCategoryMacro)), english);
    EXPECT_EQ(w.Find<QLineEdit>("keyset_keyboard_text_edit")->text(), zh.Text("keyboard_key_B"));
}

} // namespace
} // namespace nk7x::test
