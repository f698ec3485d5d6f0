// The key assignment editor in the main window with the emulated keyboard: a key clicked on the
// picture is shown, a choice is stored in the key list and the profile object at once (not in the
// file, not in the keyboard), the write button sends the key table and saves the profile, and key
// captions say what the keys do. The page with the editor is drawn for the docs.
#include "devices/keyboard/KeyAssignmentCodes.h"
#include "macros/MacroStore.h"
#include "panels/keys/KeySetControlUI.h"
#include "profiles/KeyboardProfileData.h"
#include "support/KeyboardWindowFixture.h"
#include "support/Wait.h"
#include "ui/controls/DeviceKeyButtonUI.h"
#include "ui/controls/SkinImage.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTest>

#include <cstdlib>

namespace nk7x::test {
namespace {

class KeySetWindowTest : public KeyboardWindowFixture<::testing::Test> {
  protected:
    void SetUp() override {
        OpenWindow();
        if (HasFatalFailure())
            return;
        ASSERT_EQ(m_page->Keyboard().DeviceKeyCount(), 126);
        m_panel = m_page->KeySetPanel();
        ASSERT_NE(m_panel, nullptr) << "the page has no key assignment editor";
    }
    void TearDown() override { CloseWindow(); }

    template <class T> T* Find(const char* name) {
        return qobject_cast<T*>(UiWindow::FindSubControlByName(m_page, QString::fromLatin1(name)));
    }
    // The keys tab, chosen as the user chooses it.
    void ShowKeysTab() {
        auto* tab = Find<QAbstractButton>("key_Op_tab");
        ASSERT_NE(tab, nullptr);
        tab->click();
        ASSERT_EQ(m_page->Device().GetFunctionMode(), 2);
        auto* keys = Find<QStackedWidget>("device_key_function_switch");
        ASSERT_NE(keys, nullptr);
        ASSERT_TRUE(keys->currentWidget()->isAncestorOf(m_panel)) << "the keys tab shows the editor";
    }
    int KeyNamed(const char* nameKey) {
        const QString name = m_window->Texts().Text(QString::fromLatin1(nameKey));
        for (int k = 0; k < kKeyboardKeyCount; ++k) {
            CDeviceKeyButtonUI* b = m_page->Button(k);
            if (b && b->toolTip().section(QLatin1Char('\n'), 0, 0) == name)
                return k;
        }
        return -1;
    }
    void ClickKey(int key) {
        ASSERT_TRUE(m_window->RaiseByName(QStringLiteral("key_%1").arg(key), QStringLiteral("click")));
        ASSERT_EQ(m_page->Keyboard().SelectedKey(), key);
    }
    // An item chosen in a list as the user chooses it: the list shows it and says so.
    void Choose(const char* list, int index) {
        auto* combo = Find<QComboBox>(list);
        ASSERT_NE(combo, nullptr) << list;
        ASSERT_LT(index, combo->count()) << list;
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
    void ChooseFunction(int category) { Choose("keyset_function_combo", m_panel->CategoryIndex(category)); }
    KeyCode DeviceCode(int key) {
        const int p = m_page->Keyboard().KeyPosition(key);
        const std::vector<uint8_t> table = m_device->KeyTable();
        if (p == kKeyNotFound || table.size() < size_t(3 * p + 3))
            return {0xFF, 0xFF, 0xFF};
        return {table[size_t(3 * p)], table[size_t(3 * p + 1)], table[size_t(3 * p + 2)]};
    }
    KeyCode SavedCode(int key) {
        CKeyboardProfiledata saved;
        saved.LoadFromFile(m_page->Keyboard().Profile().GetProfilePath());
        const std::vector<KeyAssignment> list = saved.GetKeyList();
        return size_t(key) < list.size() ? list[size_t(key)].assignment : KeyCode{0xFF, 0xFF, 0xFF};
    }
    KeyCode ListCode(int key) { return m_page->Keyboard().KeyList().at(size_t(key)).assignment; }
    QString Caption(int key) { return m_page->Button(key)->toolTip().section(QLatin1Char('\n'), 0, 0); }

    CKeySetControlUI* m_panel = nullptr;
};

TEST_F(KeySetWindowTest, AChoiceIsStoredAtOnceAndWrittenOnlyByTheWriteButton) {
    ShowKeysTab();
    const int key = KeyNamed("keyboard_key_F5");
    ASSERT_GE(key, 0);
    const KeyCode factory{0x20, 0x00, 0x3E};
    ASSERT_EQ(DeviceCode(key), factory);
    ClickKey(key);
    EXPECT_TRUE(Find<QWidget>("keyset_layout")->isVisible());
    EXPECT_EQ(m_panel->SelectedCategory(), kCategoryDefault);

    ChooseFunction(kCategoryMedia);
    EXPECT_EQ(ListCode(key), factory) << "no media function chosen yet: the key keeps what it does";
    Choose("keyset_media_combo", 6);
    const KeyCode volumeUp{0x30, 0xE9, 0x00};
    EXPECT_EQ(ListCode(key), volumeUp);
    EXPECT_EQ(m_page->Keyboard().Profile().GetKeyList().at(size_t(key)).assignment, volumeUp);
    EXPECT_EQ(Caption(key), m_window->Texts().Text(QStringLiteral("keyboard_key_Volume Up")));

    // Storing again changes neither the file nor the keyboard.
    ASSERT_TRUE(m_window->RaiseByName(QStringLiteral("key_butt_keysave"), QStringLiteral("click")));
    EXPECT_EQ(SavedCode(key), factory);
    EXPECT_EQ(DeviceCode(key), factory);

    ASSERT_TRUE(m_window->RaiseByName(QStringLiteral("key_butt_prosave"), QStringLiteral("click")));
    EXPECT_EQ(SavedCode(key), volumeUp) << "the profile is saved";
    ASSERT_TRUE(QTest::qWaitFor([&] { return DeviceCode(key) == volumeUp; }, int(kWaitPatience.count())))
        << "the keyboard's key table holds the new function";
    EXPECT_EQ(DeviceCode(KeyNamed("keyboard_key_F6")), (KeyCode{0x20, 0x00, 0x3F})) << "other keys are kept";
    EXPECT_FALSE(Find<QAbstractButton>("key_butt_prosave")->isEnabled());
}

TEST_F(KeySetWindowTest, ModifiersAndPickedKeysAreStoredAsTheUserGoes) {
    ShowKeysTab();
    const int key = KeyNamed("keyboard_key_F7");
    ASSERT_GE(key, 0);
    ClickKey(key);
    ChooseFunction(kCategoryKeyboard);
    auto* field = Find<QLineEdit>("keyset_keyboard_text_edit");
    ASSERT_NE(field, nullptr);
    EXPECT_TRUE(field->text().isEmpty());

    // The Shift option, then B pressed in the field.
    Find<QAbstractButton>("key_ComBox_check_2")->click();
    EXPECT_EQ(ListCode(key), (KeyCode{0x20, 0x02, 0x00}));
    m_window->activateWindow();
    field->setFocus();
    QTest::keyClick(field, Qt::Key_B);
    EXPECT_EQ(ListCode(key), (KeyCode{0x20, 0x02, 0x05}));
    EXPECT_EQ(field->text(), m_window->Texts().Text(QStringLiteral("keyboard_key_B")));
    // One key per pick: the focus moves on, so a keyboard user is not held in the field (and the
    // keyboards a pick took are let go).
    EXPECT_TRUE(QTest::qWaitFor([&] { return !field->hasFocus(); }, 1000));

    // Another key shows its own assignment; back on this one the choice is there again.
    const int other = KeyNamed("keyboard_key_Q");
    ClickKey(other);
    EXPECT_EQ(m_panel->SelectedCategory(), kCategoryDefault);
    ClickKey(key);
    EXPECT_EQ(m_panel->SelectedCategory(), kCategoryKeyboard);
    EXPECT_EQ(m_panel->GetModifier(), 2);
    EXPECT_EQ(field->text(), m_window->Texts().Text(QStringLiteral("keyboard_key_B")));

    // Default shows the factory function; storing it puts the key back.
    ASSERT_TRUE(m_window->RaiseByName(QStringLiteral("key_butt_keydefalut"), QStringLiteral("click")));
    ASSERT_TRUE(m_window->RaiseByName(QStringLiteral("key_butt_keysave"), QStringLiteral("click")));
    EXPECT_EQ(ListCode(key), (KeyCode{0x20, 0x00, 0x40}));
}

TEST_F(KeySetWindowTest, MacrosAreListedAndCaptionedByName) {
    // Two macros in the page's folder; the name lists are read again as a language change does.
    MacroStore store(m_page->Keyboard().DataFolder());
    MacroInfo a;
    MacroInfo b;
    ASSERT_EQ(store.Create(a), MacroResult::Ok);
    ASSERT_EQ(store.Create(b), MacroResult::Ok);
    ASSERT_EQ(store.Rename(1, "Reload"), MacroResult::Ok);
    m_page->Keyboard().RefreshPage();
    auto* macros = Find<QComboBox>("keyset_macro_combo");
    ASSERT_EQ(macros->count(), 2);
    EXPECT_EQ(macros->itemText(1), QStringLiteral("Reload"));

    ShowKeysTab();
    const int key = KeyNamed("keyboard_key_F8");
    ASSERT_GE(key, 0);
    ClickKey(key);
    ChooseFunction(kCategoryMacro);
    Choose("keyset_macro_combo", 1);
    Choose("keyset_macro_over_combo", kCountedRepeatMode);
    EXPECT_TRUE(Find<QWidget>("keyset_macro_cycle_layout")->isVisible());
    Find<QLineEdit>("keyset_macro_cycle_edit")->setText(QStringLiteral("5"));
    ASSERT_TRUE(
        m_window->RaiseByName(QStringLiteral("keyset_macro_cycle_edit"), QStringLiteral("killfocus")));
    EXPECT_EQ(ListCode(key), (KeyCode{0x71, 1, 5}));
    EXPECT_EQ(Caption(key), QStringLiteral("Reload"));
    Choose("keyset_macro_over_combo", 2);
    EXPECT_FALSE(Find<QWidget>("keyset_macro_cycle_layout")->isVisible());
    EXPECT_EQ(ListCode(key), (KeyCode{0x70, 1, 2}));
}

TEST_F(KeySetWindowTest, PictureOfTheKeysTab) {
    SkinImage::SetImageFolder(QStringLiteral(NK7X_SOURCE_DIR "/skin"));
    ShowKeysTab();
    const int key = KeyNamed("keyboard_key_F9");
    ASSERT_GE(key, 0);
    ClickKey(key);
    ChooseFunction(kCategoryKeyboard);
    Find<QAbstractButton>("key_ComBox_check_1")->click();
    m_panel->PickKey(KeyTable()[FindKeyByName("keyboard_key_C").value()], true);
    ASSERT_EQ(ListCode(key), (KeyCode{0x20, 0x01, 0x06}));
    QApplication::processEvents();

    const QImage shot = m_window->grab().toImage();
    ASSERT_FALSE(shot.isNull());
    QDir().mkpath(QStringLiteral(NK7X_BINARY_DIR "/keys"));
    EXPECT_TRUE(shot.save(QStringLiteral(NK7X_BINARY_DIR "/keys/screenshot-keys.png")));
    if (const char* out = std::getenv("NK7X_SCREENSHOT_DIR")) {
        QDir().mkpath(QString::fromLocal8Bit(out));
        EXPECT_TRUE(
            shot.save(QDir(QString::fromLocal8Bit(out)).filePath(QStringLiteral("screenshot-keys.png"))));
    }
    // The editor is drawn, in the page's dark colours, below the picture.
    const QRect editor(Find<QWidget>("keyset_layout")->mapTo(m_window.get(), QPoint(0, 0)),
                       Find<QWidget>("keyset_layout")->size());
    ASSERT_TRUE(shot.rect().contains(editor)) << "the editor fits in the window";
    EXPECT_GT(editor.height(), 120);
    EXPECT_LT(shot.pixelColor(editor.left() + 4, editor.top() + 4).valueF(), 0.25);
}

} // namespace
} // namespace nk7x::test
