// No caption is cut off in any language: on every device page (keyboard, mouse, mouse pad,
// headset) in each of its views, and in the settings, about and skin windows, every label's text,
// group title and button caption fits the room the window gives it, at the window's own scale.
// (The drawn key caps are left out: they shorten their names on purpose.) One window per device
// kind goes through all the languages.
#include "app/MainWnd.h"
#include "panels/DeviceOptionUI.h"
#include "panels/pages/BrindovaHS6533Device.h"
#include "panels/pages/BrindovaKeyboardDevice.h"
#include "panels/pages/BrindovaMouseDevice.h"
#include "panels/pages/BrindovaMousePadDevice.h"
#include "support/PrivateWindowFolders.h"
#include "support/TestSupport.h"
#include "tools/sim/SimDevice.h"
#include "ui/controls/DeviceKeyButtonUI.h"
#include "windows/AboutWnd.h"
#include "windows/SetWnd.h"
#include "windows/SkinFrame.h"

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QStackedWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace nk7x;
using namespace nk7x::test;

namespace {

// The visible captions under `root` wider than their control (or, wrapped, taller), as
// "name 'text' (needs N, has M)".
std::vector<std::string> CutCaptions(const QWidget* root) {
    std::vector<std::string> cut;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!w->isVisible() || qobject_cast<CDeviceKeyButtonUI*>(w))
            continue;
        QString text;
        int need = 0;
        int room = 0;
        const char* measure = "";
        if (auto* label = qobject_cast<QLabel*>(w)) {
            if (label->text().isEmpty() || !label->pixmap().isNull() || label->textFormat() == Qt::RichText ||
                (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text())))
                continue;
            text = label->text();
            const QRect box = label->contentsRect();
            if (label->wordWrap()) {
                // A wrapped text is cut by a word wider than the label or by lines below its foot.
                const QRect used = label->fontMetrics().boundingRect(
                    QRect(0, 0, box.width(), 100000), int(label->alignment()) | Qt::TextWordWrap, text);
                need = used.width();
                room = box.width();
                if (need <= room + 1) {
                    need = used.height();
                    room = box.height();
                    measure = " high";
                }
            } else {
                need = label->fontMetrics().horizontalAdvance(text);
                room = box.width();
            }
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
                          std::to_string(need) + ", has " + std::to_string(room) + measure + ")");
    }
    return cut;
}

// A view as the user opens it: the tab button that shows it (none: the page's only view), the
// screenshot's name, and what tells that the page shows it.
struct View {
    const char* tab;
    const char* shot;
    std::function<bool()> shown;
};

class LanguageFitTest : public ::testing::Test {
  protected:
    void TearDown() override {
        m_window.reset();
        m_device.reset();
    }

    // Starts the emulated device, then the window, and waits for the device's page filled.
    template <class Page> void Open(SimKind kind, DeviceFamily family) {
        ASSERT_TRUE(m_folders.IsValid());
        SimOptions o;
        o.folder = m_sim.Path();
        o.kind = kind;
        m_device = std::make_unique<SimDevice>(o);
        ASSERT_EQ(m_device->Start(), 1) << m_device->LastError();
        m_window = std::make_unique<MainWnd>(m_folders.Options());
        m_window->Create();
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->isVisible(); }, 5000));
        const auto pages = m_window->Devices().PagesOf(family);
        ASSERT_EQ(pages.size(), 1u);
        auto* page = qobject_cast<Page*>(pages[0]);
        ASSERT_NE(page, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return page->ConnectsDone() >= 1; }, 8000)) << "the page is filled";
        m_page = page;
        ASSERT_EQ(m_window->Devices().CurrentPage(), m_page);
    }

    int LanguageCount() { return static_cast<int>(m_window->LanguageSwitch().List().size()); }
    std::string LanguageName(int i) { return m_window->LanguageSwitch().List()[static_cast<size_t>(i)].name; }

    // Every caption cut in `root`, told as a failure naming the language and the place.
    void ExpectAllFit(const QWidget* root, int language, const std::string& where) {
        for (const std::string& caption : CutCaptions(root))
            ADD_FAILURE() << LanguageName(language) << ", " << where << ": " << caption;
    }

    // NK7X_SCREENSHOT_DIR/fit-<language>-<name>.png, when asked for.
    void Screenshot(QWidget* w, int language, const char* name) {
        if (const char* out = std::getenv("NK7X_SCREENSHOT_DIR"))
            w->grab().save(QDir(QString::fromLocal8Bit(out))
                               .filePath(QStringLiteral("fit-%1-%2.png")
                                             .arg(QString::fromStdString(LanguageName(language)),
                                                  QString::fromLatin1(name))));
    }

    // In each language: the device list names the device in it (`nameKey`), and each view, opened
    // by a click on its tab, shows every caption whole.
    void CheckEveryViewInEveryLanguage(const char* nameKey, const std::vector<View>& views) {
        const int languages = LanguageCount();
        ASSERT_GE(languages, 9);
        for (int i = 0; i < languages; ++i) {
            m_window->LanguageSwitch().ApplyLanguage(i);
            ASSERT_NE(m_page->ListEntry(), nullptr);
            auto* entryName = m_page->ListEntry()->findChild<QLabel*>(QStringLiteral("device_select_name"));
            ASSERT_NE(entryName, nullptr);
            EXPECT_EQ(entryName->text(), m_window->Texts().Text(QString::fromLatin1(nameKey)))
                << LanguageName(i);
            for (const View& view : views) {
                if (view.tab) {
                    auto* button = m_page->findChild<QAbstractButton*>(QString::fromLatin1(view.tab));
                    ASSERT_NE(button, nullptr) << view.tab;
                    ASSERT_TRUE(button->isVisible()) << view.tab;
                    QTest::mouseClick(button, Qt::LeftButton);
                    EXPECT_TRUE(button->isChecked()) << view.tab;
                }
                if (view.shown) {
                    ASSERT_TRUE(view.shown()) << view.shot << " is shown";
                }
                QTest::qWait(20);
                ExpectAllFit(m_window.get(), i, view.tab ? view.tab : view.shot);
                Screenshot(m_window.get(), i, view.shot);
            }
        }
    }

    // Whether the page's stack of views `name` shows view `index`.
    std::function<bool()> Showing(const char* name, int index) const {
        return [this, name, index] {
            auto* stack = m_page->findChild<QStackedWidget*>(QString::fromLatin1(name));
            return stack && stack->currentIndex() == index;
        };
    }

    PrivateWindowFolders m_folders;
    TempSimFolder m_sim;
    std::unique_ptr<SimDevice> m_device;
    std::unique_ptr<MainWnd> m_window;
    CBrindovaUSBDevice* m_page = nullptr;
};

} // namespace

TEST_F(LanguageFitTest, NoCaptionOfTheKeyboardPageIsCutOffInAnyLanguage) {
    Open<CBrindovaKeyboardDevice>(SimKind::Keyboard, DeviceFamily::Keyboard);
    auto* keyboard = static_cast<CBrindovaKeyboardDevice*>(m_page);
    auto inMode = [keyboard](int mode) {
        return [keyboard, mode] { return keyboard->Device().GetFunctionMode() == mode; };
    };
    CheckEveryViewInEveryLanguage("kb_device_name_text", {{"deng_Op_tab", "keyboard-lighting", {}},
                                                          {"key_Op_tab", "keyboard-keys", inMode(2)},
                                                          {"macro_Op_tab", "keyboard-macros", {}},
                                                          {"system_Op_tab", "keyboard-system", {}}});
}

TEST_F(LanguageFitTest, NoCaptionOfTheMousePageIsCutOffInAnyLanguage) {
    Open<CBrindovaMouseDevice>(SimKind::Mouse, DeviceFamily::Mouse);
    const char* stack = "mouse_option_layout";
    CheckEveryViewInEveryLanguage("ms_device_name_text",
                                  {{"mouse_device_seting_option_0", "mouse-lighting", Showing(stack, 0)},
                                   {"mouse_device_seting_option_1", "mouse-dpi", Showing(stack, 1)},
                                   {"mouse_device_seting_option_2", "mouse-settings", Showing(stack, 2)},
                                   {"mouse_device_seting_option_3", "mouse-shoot", Showing(stack, 3)},
                                   {"mouse_device_seting_option_4", "mouse-buttons", Showing(stack, 4)},
                                   {"mouse_device_seting_option_5", "mouse-macros", Showing(stack, 5)}});
}

TEST_F(LanguageFitTest, NoCaptionOfTheMousePadPageIsCutOffInAnyLanguage) {
    Open<CBrindovaMousePadDevice>(SimKind::Pad, DeviceFamily::MousePad);
    // The pad has one view, its lighting, and no tabs.
    CheckEveryViewInEveryLanguage("hard_mp_device_name_text", {{nullptr, "mousepad-lighting", {}}});
}

TEST_F(LanguageFitTest, NoCaptionOfTheHeadsetPageIsCutOffInAnyLanguage) {
    Open<CBrindovaHS6533Device>(SimKind::Headset, DeviceFamily::Headset);
    const char* stack = "hs6533_option_layout";
    CheckEveryViewInEveryLanguage("hd_device_name_text",
                                  {{"hs6533_device_seting_option_0", "headset-lighting", Showing(stack, 0)},
                                   {"hs6533_device_seting_option_1", "headset-sound", Showing(stack, 1)},
                                   {"hs6533_device_seting_option_2", "headset-voice", Showing(stack, 2)}});
}

TEST_F(LanguageFitTest, NoCaptionOfTheSettingsAboutAndSkinWindowsIsCutOffInAnyLanguage) {
    Open<CBrindovaKeyboardDevice>(SimKind::Keyboard, DeviceFamily::Keyboard);
    auto* settingsButton = m_window->findChild<QAbstractButton*>(QStringLiteral("setbtn"));
    auto* skinButton = m_window->findChild<QAbstractButton*>(QStringLiteral("skinbtn"));
    ASSERT_NE(settingsButton, nullptr);
    ASSERT_NE(skinButton, nullptr);
    QMenu* tray = m_window->TrayMenu();
    ASSERT_NE(tray, nullptr);
    auto* aboutItem = tray->findChild<QAction*>(QStringLiteral("about_menu"));
    ASSERT_NE(aboutItem, nullptr);

    const int languages = LanguageCount();
    ASSERT_GE(languages, 9);
    for (int i = 0; i < languages; ++i) {
        m_window->LanguageSwitch().ApplyLanguage(i);

        // Settings: the caption bar's button opens it, its close button closes it.
        QTest::mouseClick(settingsButton, Qt::LeftButton);
        QPointer<CSetWnd> settings = m_window->Windows().Settings();
        ASSERT_FALSE(settings.isNull());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(settings.data()));
        QTest::qWait(20);
        ExpectAllFit(settings.data(), i, "settings");
        Screenshot(settings.data(), i, "settings");
        auto* close = settings->findChild<QAbstractButton*>(QStringLiteral("closebtn"));
        ASSERT_NE(close, nullptr);
        QTest::mouseClick(close, Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return settings.isNull() || !settings->isVisible(); }, 2000));

        // About: chosen from the tray's menu, closed by its button.
        tray->popup(QPoint(0, 0));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(tray));
        QTest::mouseClick(tray, Qt::LeftButton, {}, tray->actionGeometry(aboutItem).center());
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->Windows().About() != nullptr; }, 2000));
        QPointer<CAboutWnd> about = m_window->Windows().About();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(about.data()));
        QTest::qWait(20);
        ExpectAllFit(about.data(), i, "about");
        Screenshot(about.data(), i, "about");
        auto* ok = about->findChild<QAbstractButton*>(QStringLiteral("about_ok_btn"));
        ASSERT_NE(ok, nullptr);
        QTest::mouseClick(ok, Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return about.isNull() || !about->isVisible(); }, 2000));

        // Skin picker: the caption bar's button opens it; both of its views, then Escape.
        QTest::mouseClick(skinButton, Qt::LeftButton);
        QPointer<CSkinFrame> skin = m_window->Windows().SkinPicker();
        ASSERT_FALSE(skin.isNull());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(skin.data()));
        for (const char* tab : {"skin_image", "skin_color"}) {
            auto* button = skin->findChild<QAbstractButton*>(QString::fromLatin1(tab));
            ASSERT_NE(button, nullptr) << tab;
            QTest::mouseClick(button, Qt::LeftButton);
            QTest::qWait(20);
            ExpectAllFit(skin.data(), i, tab);
            Screenshot(skin.data(), i, tab);
        }
        QTest::keyClick(skin.data(), Qt::Key_Escape);
        ASSERT_TRUE(QTest::qWaitFor([&] { return skin.isNull() || !skin->isVisible(); }, 2000));
    }
}
