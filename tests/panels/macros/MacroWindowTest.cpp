// The macro editor in the main window with the emulated keyboard: deleting a macro that keys use
// fixes their assignments and downloads the macros to the keyboard, a recording ends and is saved
// when the keyboard is unplugged, and the Macros tab is drawn for the docs.
#include "panels/macros/MacroPanelSupport.h"

#include "devices/keyboard/KeyboardRecords.h"
#include "macros/MacroStore.h"
#include "panels/profile/DeviceProfileUI.h"
#include "support/KeyboardWindowFixture.h"
#include "support/Wait.h"
#include "ui/controls/SkinImage.h"

#include <QAbstractButton>
#include <QDir>
#include <QImage>
#include <QListWidget>
#include <QStackedWidget>
#include <QTest>

#include <cstdlib>
#include <thread>

namespace nk7x::test {
namespace {

class MacroWindowTest : public KeyboardWindowFixture<::testing::Test> {
  protected:
    void SetUp() override {
        OpenWindow();
        if (HasFatalFailure())
            return;
        m_panel = m_page->MacroPanel();
        ASSERT_NE(m_panel, nullptr) << "the keyboard page has the macro editor";
        ASSERT_NE(m_window->Macros(), nullptr);
        m_window->Macros()->SetShowMessage([this](const QString& text, bool, int, bool) {
            m_messages.push_back(text);
            return 1;
        });
        m_hook = std::make_shared<FakeInputHook::Shared>();
        m_window->Macros()->SetHook(std::make_unique<RecordingHook>(
            std::make_unique<FakeInputHook>(m_hook, "fake devices"), nullptr));
        auto* tab = qobject_cast<QAbstractButton*>(m_window->FindControl(QStringLiteral("macro_Op_tab")));
        ASSERT_NE(tab, nullptr);
        tab->click();
        QApplication::processEvents();
    }
    void TearDown() override { CloseWindow(); }

    MacroStore Store() const { return MacroStore(m_page->Keyboard().DataFolder()); }
    void ClickNamed(const char* name) {
        auto* b = qobject_cast<QAbstractButton*>(m_window->FindControl(QString::fromLatin1(name)));
        ASSERT_NE(b, nullptr) << name;
        ASSERT_TRUE(b->isEnabled()) << name;
        b->click();
    }
    void Hooked(const InputEvent& e, size_t rowsAfter) {
        std::thread reader([&] { EXPECT_TRUE(SendInput(*m_hook, e)); });
        reader.join();
        EXPECT_TRUE(QTest::qWaitFor([&] { return m_panel->Actions().Size() == rowsAfter; }, 10000));
    }
    // A macro typed in: Ctrl+C, recorded with the fixed delay.
    void RecordCopy() {
        ClickNamed("macro_btn_starredio");
        Hooked(KeyInputEvent(0x1D, false, true), 1);
        Hooked(KeyInputEvent(0x2E, false, true), 2);
        Hooked(KeyInputEvent(0x2E, false, false), 3);
        Hooked(KeyInputEvent(0x1D, false, false), 4);
        ClickNamed("macro_btn_stopredio");
    }

    CMacroSetControlUI* m_panel = nullptr;
    std::shared_ptr<FakeInputHook::Shared> m_hook;
    std::vector<QString> m_messages;
};

TEST_F(MacroWindowTest, DeletingAnAssignedMacroFixesTheKeysAndDownloadsTheRest) {
    ClickNamed("macro_btn_name_add");
    ASSERT_TRUE(m_panel->InsertMenuItem(QStringLiteral("left_click")));
    ClickNamed("macro_btn_name_add");
    ASSERT_TRUE(m_panel->InsertMenuItem(QStringLiteral("right_click")));
    ASSERT_TRUE(m_panel->InsertMenuItem(QStringLiteral("middle_click")));
    ASSERT_EQ(m_page->Keyboard().MacroNames().size(), 2u) << "the page knows the new names";

    CKeyboardDevice& keyboard = m_page->Keyboard();
    ASSERT_GE(keyboard.KeyList().size(), 3u);
    ASSERT_TRUE(keyboard.SetKeyAssignment(1, {0x70, 0, 0}));
    ASSERT_TRUE(keyboard.SetKeyAssignment(2, {0x70, 1, 0}));
    const KeyCode key1Default = keyboard.KeyList()[1].defaultAssignment;

    m_panel->SelectMacroAt(0);
    ClickNamed("macro_btn_name_sub");
    ASSERT_EQ(m_messages.size(), 2u) << "asked to confirm, then told the macro is in use";
    EXPECT_EQ(m_messages[0], QStringLiteral("message_text_4"));
    EXPECT_EQ(m_messages[1], QStringLiteral("message_text_2"));
    EXPECT_EQ(Store().LoadNames(), (std::vector<std::string>{"macro_2"}));
    EXPECT_EQ(keyboard.KeyList()[1].assignment, key1Default);
    EXPECT_EQ(keyboard.KeyList()[2].assignment, (KeyCode{0x70, 0, 0}));
    EXPECT_EQ(keyboard.MacroNames(), (std::vector<std::string>{"macro_2"}));

    // The remaining macro reaches the keyboard's macro memory.
    MacroImage image;
    ASSERT_TRUE(WaitUntil([&] {
        QApplication::processEvents();
        const std::vector<uint8_t> area = m_device->MacroArea();
        return MacroImage::Parse(std::span<const uint8_t>(area.data(), area.size()), image) &&
               image.macros.size() == 1;
    })) << "the macros were downloaded";
    EXPECT_EQ(image.macros[0], Store().LoadAll()[0].events);
    EXPECT_EQ(image.macros[0].size(), 4u);
}

// A click on a macro's name loads it: the events in the editor, Rename and Export on.
TEST_F(MacroWindowTest, AClickOnAMacrosNameLoadsIt) {
    ClickNamed("macro_btn_name_add");
    ASSERT_TRUE(m_panel->InsertMenuItem(QStringLiteral("left_click")));
    ClickNamed("macro_btn_name_add");
    ASSERT_EQ(m_panel->Actions().Size(), 0u) << "the new, empty macro is the one shown";
    auto* names = qobject_cast<QListWidget*>(m_window->FindControl(QStringLiteral("macro_name_list")));
    ASSERT_NE(names, nullptr);
    ASSERT_EQ(names->count(), 2);
    QTest::mouseClick(names->viewport(), Qt::LeftButton, {}, names->visualItemRect(names->item(0)).center());
    EXPECT_EQ(m_panel->Actions().Size(), 2u) << "the press and release of the left click";
    for (const char* name : {"macro_btn_name_edit", "macro_btn_export"}) {
        auto* b = qobject_cast<QAbstractButton*>(m_window->FindControl(QString::fromLatin1(name)));
        ASSERT_NE(b, nullptr) << name;
        EXPECT_TRUE(b->isEnabled()) << name;
    }
}

TEST_F(MacroWindowTest, UnpluggingDuringARecordingEndsAndSavesIt) {
    ClickNamed("macro_btn_name_add");
    ClickNamed("macro_btn_starredio");
    ASSERT_TRUE(m_window->Macros()->Recording());
    QWidget* list = m_window->FindControl(QStringLiteral("device_select_layout"));
    ASSERT_NE(list, nullptr);
    EXPECT_FALSE(list->isEnabled()) << "no other device while recording";
    EXPECT_FALSE(m_page->ProfilePanel()->isEnabled());
    Hooked(KeyInputEvent(0x1E, false, true), 1);
    Hooked(KeyInputEvent(0x1E, false, false), 2);

    m_device.reset(); // unplugged
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_window->Macros()->Recording(); }, 10000));
    EXPECT_FALSE(m_hook->installed);
    EXPECT_TRUE(list->isEnabled());
    const std::vector<Macro> saved = Store().LoadAll();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].events.size(), 2u);
}

TEST_F(MacroWindowTest, PictureOfTheMacrosTab) {
    SkinImage::SetImageFolder(QStringLiteral(NK7X_SOURCE_DIR "/skin"));
    ClickNamed("macro_btn_name_add");
    ClickNamed("macro_btn_name_add");
    auto* fixed = qobject_cast<QAbstractButton*>(m_window->FindControl(QStringLiteral("macro_check_time")));
    ASSERT_NE(fixed, nullptr);
    fixed->setChecked(true);
    RecordCopy();
    ASSERT_TRUE(m_panel->InsertMenuItem(QStringLiteral("left_click")));
    ClickNamed("macro_inset_moverightkey_btn");
    ASSERT_EQ(m_panel->Actions().Size(), 7u);
    ClickNamed("macro_btn_starredio");
    m_panel->ShowInputSource(m_window->Texts().Text(QStringLiteral("macro_source_all_text")), QString());
    m_panel->Actions().Select(2);
    QApplication::processEvents();

    auto* macros = m_window->FindControl(QStringLiteral("MacroControlItem"));
    ASSERT_NE(macros, nullptr);
    EXPECT_TRUE(macros->isVisible()) << "the Macros tab is shown";
    const QImage shot = m_window->grab().toImage();
    ASSERT_FALSE(shot.isNull());
    QDir().mkpath(QStringLiteral(NK7X_BINARY_DIR "/macropanel"));
    EXPECT_TRUE(shot.save(QStringLiteral(NK7X_BINARY_DIR "/macropanel/screenshot-macros.png")));
    if (const char* out = std::getenv("NK7X_SCREENSHOT_DIR")) {
        QDir().mkpath(QString::fromLocal8Bit(out));
        EXPECT_TRUE(
            shot.save(QDir(QString::fromLocal8Bit(out)).filePath(QStringLiteral("screenshot-macros.png"))));
    }
    // The editor fits the window and is drawn in the page's dark colours.
    const QRect editor(macros->mapTo(m_window.get(), QPoint(0, 0)), macros->size());
    ASSERT_TRUE(shot.rect().contains(editor));
    EXPECT_GT(editor.height(), 150);
    EXPECT_LT(shot.pixelColor(editor.left() + 4, editor.top() + 4).valueF(), 0.25);
    ClickNamed("macro_btn_stopredio");
}

} // namespace
} // namespace nk7x::test
