// The keyboard page's layout and its settings controls as the page fills them.
#include "keyboard_test_support.h"

#include "ui/controls/SelectPanelUI.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QSet>
#include <QSlider>
#include <QStackedWidget>
#include <QTest>

namespace nk7x::test {
namespace {

TEST(KeyboardPageLayout, HoldsEveryControlThePageAndItsRoutesUse) {
    KeyboardPageWindow window;
    ASSERT_NE(window.page, nullptr) << "the page layout did not load";
    EXPECT_EQ(window.page->property("layoutClass").toString(), QStringLiteral("BrindovaKeyboardDevice"));
    EXPECT_EQ(window.keyPanel->metaObject()->className(), QByteArray("nk7x::CSelectPanelUI"));
    EXPECT_EQ(window.made, 252);
    const std::pair<const char*, const char*> panels[] = {{"DeviceProfileItem", "DeviceProfileUI"},
                                                          {"LightControlItem", "LightSetControlUI"},
                                                          {"KeySetControlItem", "KeySetControlUI"},
                                                          {"MacroControlItem", "MacroSetControlUI"}};
    for (const auto& [name, cls] : panels) {
        QWidget* w = window.Find<QWidget>(name);
        ASSERT_NE(w, nullptr) << name;
        // Unknown to this test's factory, so the loader kept the place with the class noted.
        EXPECT_EQ(w->property("layoutClass").toString(), QString::fromLatin1(cls)) << name;
    }
    auto* functions = window.Find<QStackedWidget>("device_function_switch");
    ASSERT_NE(functions, nullptr);
    ASSERT_EQ(functions->count(), 4);
    // The tabs the function modes select: lighting (1) and keys (2) share tab 0 and differ in the
    // key function switch inside it; macros (3) are tab 1, the settings (4) tab 3.
    auto* keyFunctions = window.Find<QStackedWidget>("device_key_function_switch");
    ASSERT_NE(keyFunctions, nullptr);
    EXPECT_TRUE(functions->widget(0)->isAncestorOf(keyFunctions));
    EXPECT_GE(keyFunctions->count(), 3);
    EXPECT_NE(keyFunctions->widget(0)->findChild<QWidget*>(QStringLiteral("LightControlItem")), nullptr);
    EXPECT_NE(keyFunctions->widget(1)->findChild<QWidget*>(QStringLiteral("KeySetControlItem")), nullptr);
    EXPECT_NE(functions->widget(1)->findChild<QWidget*>(QStringLiteral("MacroControlItem")), nullptr);
    EXPECT_NE(functions->widget(3)->findChild<QWidget*>(QStringLiteral("polling_rate_option_0")), nullptr);
    for (const char* name :
         {"polling_rate_option_0", "polling_rate_option_1", "polling_rate_option_2", "polling_rate_option_3",
          "winlockflag_option", "wflag_option", "6flag_option", "repeat_delay_check_0",
          "repeat_delay_check_1", "repeat_delay_check_2", "repeat_delay_check_3", "default_btn"})
        EXPECT_NE(window.Find<QAbstractButton>(name), nullptr) << name;
    EXPECT_NE(window.Find<QSlider>("repeat_rate_slider"), nullptr);
    EXPECT_NE(window.Find<QLabel>("repeat_delay_time_label1"), nullptr);
    EXPECT_NE(window.Find<QLineEdit>("repeat_input_richedit"), nullptr);
    auto* probe = window.Find<QLabel>("text_test");
    ASSERT_NE(probe, nullptr);
    EXPECT_TRUE(probe->isHidden());
    auto* notice = window.Find<QLabel>("keyboard_write_notice");
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->isHidden());
    // The key panel is the page's only "SelectPanel".
    EXPECT_EQ(window.page->findChildren<CSelectPanelUI*>().size(), 1);
}

TEST(KeyboardPageLayout, TheTwoOptionGroupsAreIndependent) {
    KeyboardPageWindow window;
    window.show();
    QTest::mouseClick(window.Find<QAbstractButton>("polling_rate_option_2"), Qt::LeftButton);
    QTest::mouseClick(window.Find<QAbstractButton>("repeat_delay_check_1"), Qt::LeftButton);
    EXPECT_TRUE(window.Find<QAbstractButton>("polling_rate_option_2")->isChecked());
    EXPECT_TRUE(window.Find<QAbstractButton>("repeat_delay_check_1")->isChecked());
    QTest::mouseClick(window.Find<QAbstractButton>("polling_rate_option_0"), Qt::LeftButton);
    EXPECT_FALSE(window.Find<QAbstractButton>("polling_rate_option_2")->isChecked());
    EXPECT_TRUE(window.Find<QAbstractButton>("repeat_delay_check_1")->isChecked());
}

TEST(KeyboardSettingsView, FillsEveryControlWithoutANotification) {
    KeyboardPageWindow window;
    window.show();
    KeyboardSettingsControls c;
    c.pollingOption = 3;
    c.winLock = true;
    c.wFlag = false;
    c.key6Flag = true;
    c.repeatRate = 20;
    c.repeatDelayOption = 2;
    window.Find<QLineEdit>("repeat_input_richedit")->setText(QStringLiteral("aaaa"));
    window.got.clear();
    ShowKeyboardSettings(window.page, c, &EnglishTexts());
    EXPECT_TRUE(window.got.empty()) << window.got.front().type.toStdString() << " from "
                                    << window.got.front().name.toStdString();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(window.Find<QAbstractButton>(QStringLiteral("polling_rate_option_%1").arg(i))->isChecked(),
                  i == 3);
        EXPECT_EQ(window.Find<QAbstractButton>(QStringLiteral("repeat_delay_check_%1").arg(i))->isChecked(),
                  i == 2);
    }
    EXPECT_TRUE(window.Find<QAbstractButton>("winlockflag_option")->isChecked());
    EXPECT_FALSE(window.Find<QAbstractButton>("wflag_option")->isChecked());
    EXPECT_TRUE(window.Find<QAbstractButton>("6flag_option")->isChecked());
    EXPECT_EQ(window.Find<QSlider>("repeat_rate_slider")->value(), 20);
    EXPECT_EQ(window.Find<QLabel>("repeat_delay_time_label1")->text(),
              EnglishTexts().Text(QStringLiteral("Repeat_Delay_Time")) + QStringLiteral("750ms"));
    auto* field = window.Find<QLineEdit>("repeat_input_richedit");
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_EQ(field->placeholderText(), EnglishTexts().Text(QStringLiteral("Repeat_input_text")));

    // Values outside the options select the first one; the other options lose their check.
    c.pollingOption = 7;
    c.repeatDelayOption = -1;
    c.winLock = false;
    ShowKeyboardSettings(window.page, c, &EnglishTexts());
    EXPECT_TRUE(window.got.empty());
    EXPECT_TRUE(window.Find<QAbstractButton>("polling_rate_option_0")->isChecked());
    EXPECT_FALSE(window.Find<QAbstractButton>("polling_rate_option_3")->isChecked());
    EXPECT_TRUE(window.Find<QAbstractButton>("repeat_delay_check_0")->isChecked());
    EXPECT_FALSE(window.Find<QAbstractButton>("repeat_delay_check_2")->isChecked());
    EXPECT_FALSE(window.Find<QAbstractButton>("winlockflag_option")->isChecked());
    EXPECT_TRUE(window.Find<QLabel>("repeat_delay_time_label1")->text().endsWith(QLatin1String(" 250ms")));
    // A user's click afterwards still reaches the window.
    QTest::mouseClick(window.Find<QAbstractButton>("polling_rate_option_1"), Qt::LeftButton);
    EXPECT_GE(window.Count(QStringLiteral("selectchanged")), 1);
}

TEST(KeyboardSettingsView, AMissingPageOrControlIsSkipped) {
    ShowKeyboardSettings(nullptr, {}, nullptr);
    ShowWriteFailedNotice(nullptr, KeyboardWrite::Settings, -102, nullptr);
    QWidget bare;
    ShowKeyboardSettings(&bare, {}, nullptr);
    // Without a notice area the page still gets a notice.
    ShowWriteFailedNotice(&bare, KeyboardWrite::Macros, -1, &EnglishTexts());
    auto* notice = bare.findChild<QLabel*>(QStringLiteral("keyboard_write_notice"));
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->text().contains(QLatin1String("-1")));
}

TEST(KeyboardSettingsView, TheWriteNoticeNamesTheFailureAndGoesAway) {
    KeyboardPageWindow window;
    window.show();
    auto* notice = window.Find<QLabel>("keyboard_write_notice");
    ASSERT_NE(notice, nullptr);
    ShowWriteFailedNotice(window.page, KeyboardWrite::Settings, -102, &EnglishTexts());
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(notice->text(),
              EnglishTexts().Text(QStringLiteral("keyboard_write_failed_settings")).arg(-102));
    EXPECT_TRUE(notice->text().contains(QLatin1String("-102")));
    // No box: nothing modal is up.
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // Each kind of transfer has its own text.
    QSet<QString> keys;
    for (KeyboardWrite w : {KeyboardWrite::Settings, KeyboardWrite::KeyAssignments, KeyboardWrite::Macros,
                            KeyboardWrite::CustomColours}) {
        keys.insert(WriteFailedTextKey(w));
        EXPECT_TRUE(EnglishTexts().Has(WriteFailedTextKey(w)));
    }
    EXPECT_EQ(keys.size(), 4);

    // A second failure replaces the text and restarts the time.
    QTest::qWait(kWriteNoticeMs / 2);
    ShowWriteFailedNotice(window.page, KeyboardWrite::CustomColours, -103, &EnglishTexts());
    EXPECT_TRUE(notice->text().contains(QLatin1String("-103")));
    QTest::qWait(kWriteNoticeMs / 2 + 300);
    EXPECT_TRUE(notice->isVisible()) << "the second notice went with the first one's time";
    QTest::qWait(kWriteNoticeMs / 2 + 300);
    EXPECT_FALSE(notice->isVisible());
}

} // namespace
} // namespace nk7x::test
