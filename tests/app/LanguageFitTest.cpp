// No caption of the keyboard page is cut off in any language, in any of its views: every label's
// text, group title and button caption fits the room the window gives it, at the window's own
// scale. (The drawn key caps are left out: they shorten their names on purpose.)
#include "support/KeyboardWindowFixture.h"
#include "ui/controls/DeviceKeyButtonUI.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>

#include <gtest/gtest.h>

#include <string_view>

using namespace nk7x;
using namespace nk7x::test;

namespace {

class LanguageFitTest : public KeyboardWindowFixture<::testing::Test> {
  protected:
    void SetUp() override { OpenWindow(); }
    void TearDown() override { CloseWindow(); }

    // The visible captions wider than their control, as "name 'text' (needs N, has M)".
    std::vector<std::string> CutCaptions() const {
        std::vector<std::string> cut;
        for (QWidget* w : m_window->findChildren<QWidget*>()) {
            if (!w->isVisible() || qobject_cast<CDeviceKeyButtonUI*>(w))
                continue;
            QString text;
            int need = 0;
            int room = 0;
            if (auto* label = qobject_cast<QLabel*>(w)) {
                if (label->wordWrap() || label->text().isEmpty() || !label->pixmap().isNull())
                    continue;
                text = label->text();
                need = label->fontMetrics().horizontalAdvance(text);
                room = label->contentsRect().width();
            } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
                if (group->title().isEmpty())
                    continue;
                // The title sits on the frame, 10 px in, with 4 px on each side (the page's style).
                text = group->title();
                need = group->fontMetrics().horizontalAdvance(text) + 18;
                room = group->width();
            } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
                if (button->text().isEmpty())
                    continue;
                text = button->text();
                need = button->sizeHint().width();
                room = button->width();
            }
            if (need > room + 1)
                cut.push_back(w->objectName().toStdString() + " '" + text.toStdString() + "' (needs " +
                              std::to_string(need) + ", has " + std::to_string(room) + ")");
        }
        return cut;
    }
};

} // namespace

TEST_F(LanguageFitTest, NoCaptionOfTheKeyboardPageIsCutOffInAnyLanguage) {
    const int languages = static_cast<int>(m_window->LanguageSwitch().List().size());
    ASSERT_GE(languages, 9);
    for (int i = 0; i < languages; ++i) {
        m_window->LanguageSwitch().ApplyLanguage(i);
        // The device list names the keyboard in the language too.
        auto* entryName = m_window->findChild<QLabel*>(QStringLiteral("device_select_name"));
        ASSERT_NE(entryName, nullptr);
        EXPECT_EQ(entryName->text(), m_window->Texts().Text(QStringLiteral("kb_device_name_text")))
            << m_window->LanguageSwitch().List()[static_cast<size_t>(i)].name;
        // Every view of the page: lighting, keys, macros, system.
        for (const char* tab : {"deng_Op_tab", "key_Op_tab", "macro_Op_tab", "system_Op_tab"}) {
            auto* button = m_window->findChild<QAbstractButton*>(QString::fromLatin1(tab));
            ASSERT_NE(button, nullptr) << tab;
            QTest::mouseClick(button, Qt::LeftButton);
            QTest::qWait(20);
            if (std::string_view(tab) == "key_Op_tab") {
                ASSERT_EQ(m_page->Device().GetFunctionMode(), 2) << "the keys view is shown";
            }
            for (const std::string& caption : CutCaptions())
                ADD_FAILURE() << m_window->LanguageSwitch().List()[static_cast<size_t>(i)].name << ", " << tab
                              << ": " << caption;
        }
    }
}
