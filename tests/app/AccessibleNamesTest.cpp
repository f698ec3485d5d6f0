// The keyboard page as a screen reader meets it: every control it can act on carries a name in the
// user's language, in each of the page's views, and the keys of the picture can be pressed through
// the accessibility interface as a click would.
#include "support/KeyboardWindowFixture.h"

#include "devices/DeviceBase.h"
#include "ui/controls/DeviceKeyButtonUI.h"
#include "windows/AboutWnd.h"
#include "windows/MessageBox.h"
#include "windows/SetWnd.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

using namespace nk7x;
using namespace nk7x::test;

namespace {

bool Interactive(QAccessible::Role role) {
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::Slider:
    case QAccessible::SpinBox:
    case QAccessible::EditableText:
    case QAccessible::ListItem:
    case QAccessible::PageTab:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
    case QAccessible::ScrollBar:
    case QAccessible::Dial:
    case QAccessible::Link:
    case QAccessible::MenuItem:
    case QAccessible::TreeItem:
    case QAccessible::Cell:
    case QAccessible::ColorChooser:
        return true;
    default:
        return false;
    }
}

struct Walk {
    int interactive = 0;
    std::vector<std::string> unnamed; // "role objectName"
    std::map<QString, QString> names; // object name -> accessible name
};

// Walks the tree as an assistive client does: through the interfaces' children, leaving out what is
// invisible (with everything below it).
void WalkTree(QAccessibleInterface* iface, Walk& walk, int depth = 0) {
    if (!iface || !iface->isValid() || depth > 64)
        return;
    const QAccessible::State state = iface->state();
    if (state.invisible)
        return;
    const QAccessible::Role role = iface->role();
    if (Interactive(role) && !state.disabled) {
        ++walk.interactive;
        const QString name = iface->text(QAccessible::Name).trimmed();
        QObject* object = iface->object();
        const QString objectName = object ? object->objectName() : QString();
        if (name.isEmpty())
            walk.unnamed.push_back(
                std::to_string(static_cast<int>(role)) + " " +
                (object ? object->metaObject()->className() : "?") + " '" + objectName.toStdString() +
                "' in '" +
                (object && object->parent() ? object->parent()->objectName().toStdString() : std::string()) +
                "'");
        else if (!objectName.isEmpty())
            walk.names[objectName] = name;
    }
    for (int i = 0; i < iface->childCount(); ++i)
        WalkTree(iface->child(i), walk, depth + 1);
}

class AccessibleNamesTest : public KeyboardWindowFixture<::testing::Test> {
  protected:
    void SetUp() override { OpenWindow(); }
    void TearDown() override { CloseWindow(); }

    void ShowView(const char* tab) {
        auto* button = m_window->findChild<QAbstractButton*>(QString::fromLatin1(tab));
        ASSERT_NE(button, nullptr) << tab;
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::qWait(20);
    }

    Walk WalkWindow() {
        Walk walk;
        WalkTree(QAccessible::queryAccessibleInterface(m_window.get()), walk);
        return walk;
    }

    int LanguageIndex(const char* name) {
        const auto& list = m_window->LanguageSwitch().List();
        for (size_t i = 0; i < list.size(); ++i)
            if (list[i].file.find(name) != std::string::npos)
                return static_cast<int>(i);
        return -1;
    }
};

constexpr const char* kViews[] = {"deng_Op_tab", "key_Op_tab", "macro_Op_tab", "system_Op_tab"};

} // namespace

TEST_F(AccessibleNamesTest, EveryControlOfTheKeyboardPageHasANameInTheLanguage) {
    const int english = LanguageIndex("lan_en");
    const int german = LanguageIndex("lan_de");
    ASSERT_GE(english, 0);
    ASSERT_GE(german, 0);
    std::map<std::string, std::map<QString, QString>> namesByView[2];
    int language = 0;
    for (int index : {english, german}) {
        m_window->LanguageSwitch().ApplyLanguage(index);
        for (const char* tab : kViews) {
            ShowView(tab);
            Walk walk = WalkWindow();
            std::printf("[ a11y ] %s %s: %d interactive, %zu unnamed\n", index == english ? "en" : "de", tab,
                        walk.interactive, walk.unnamed.size());
            EXPECT_GT(walk.interactive, 50) << tab;
            for (const std::string& control : walk.unnamed)
                ADD_FAILURE() << (index == english ? "en " : "de ") << tab << ": no name: " << control;
            namesByView[language][tab] = std::move(walk.names);
        }
        ++language;
    }
    // The names follow the language: the view tabs and the lights under the keys say it in German.
    const auto& en = namesByView[0]["deng_Op_tab"];
    const auto& de = namesByView[1]["deng_Op_tab"];
    for (const char* control : {"deng_Op_tab", "key_Op_tab", "light_0"}) {
        const QString name = QString::fromLatin1(control);
        ASSERT_TRUE(en.count(name) && de.count(name)) << control << " is named in both languages";
        EXPECT_NE(en.at(name), de.at(name)) << control << ": " << en.at(name).toStdString();
    }
    EXPECT_EQ(de.at(QStringLiteral("deng_Op_tab")),
              m_window->Texts().Text(QStringLiteral("deng_Op_tab_text")));
}

TEST_F(AccessibleNamesTest, AKeyOfThePicturePressedThroughTheAccessibilityInterfaceIsSelected) {
    ShowView("key_Op_tab");
    ASSERT_EQ(m_page->Device().GetFunctionMode(), 2) << "the keys view is shown";
    // Found as a client finds it: by its name in the tree, not by the widget.
    auto* key = m_window->findChild<CDeviceKeyButtonUI*>(QStringLiteral("key_30"));
    ASSERT_NE(key, nullptr);
    ASSERT_FALSE(key->text().isEmpty());
    QAccessibleInterface* found = nullptr;
    std::function<void(QAccessibleInterface*)> find = [&](QAccessibleInterface* iface) {
        if (!iface || found || iface->state().invisible)
            return;
        if (iface->role() == QAccessible::PushButton && iface->text(QAccessible::Name) == key->text() &&
            iface->object() && iface->object()->objectName().startsWith(QLatin1String("key_")))
            found = iface;
        for (int i = 0; i < iface->childCount() && !found; ++i)
            find(iface->child(i));
    };
    find(QAccessible::queryAccessibleInterface(m_window.get()));
    ASSERT_NE(found, nullptr) << "key '" << key->text().toStdString() << "' in the tree";
    // Its colour as the description, "#RRGGBB".
    const QString colour = found->text(QAccessible::Description);
    EXPECT_TRUE(colour.contains(QRegularExpression(QStringLiteral("#[0-9A-F]{6}")))) << colour.toStdString();

    QAccessibleActionInterface* actions = found->actionInterface();
    ASSERT_NE(actions, nullptr);
    ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    const int before = m_page->Device().SelectedKey();
    actions->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_page->Device().SelectedKey() == 30; }, 2000))
        << "selected " << m_page->Device().SelectedKey() << " (was " << before << ")";
}

TEST_F(AccessibleNamesTest, TheSettingsAboutAndMessageWindowsNameEveryControlInTheLanguage) {
    const int german = LanguageIndex("lan_de");
    ASSERT_GE(german, 0);
    m_window->LanguageSwitch().ApplyLanguage(german);
    auto walkOf = [](QWidget* top, const char* what) {
        Walk walk;
        WalkTree(QAccessible::queryAccessibleInterface(top), walk);
        std::printf("[ a11y ] de %s: %d interactive, %zu unnamed\n", what, walk.interactive,
                    walk.unnamed.size());
        EXPECT_GT(walk.interactive, 0) << what;
        for (const std::string& control : walk.unnamed)
            ADD_FAILURE() << what << ": no name: " << control;
        return walk;
    };

    m_window->TrayMenu()->findChild<QAction*>(QStringLiteral("setwnd_menu"))->trigger();
    QPointer<CSetWnd> settings = m_window->Windows().Settings();
    ASSERT_FALSE(settings.isNull());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(settings.data()));
    const Walk settingsWalk = walkOf(settings.data(), "settings");
    // The caption's picture button says what it does in the language shown.
    ASSERT_TRUE(settingsWalk.names.count(QStringLiteral("closebtn")));
    EXPECT_FALSE(settingsWalk.names.at(QStringLiteral("closebtn")).isEmpty());
    settings->close();

    m_window->TrayMenu()->findChild<QAction*>(QStringLiteral("about_menu"))->trigger();
    QPointer<CAboutWnd> about = m_window->Windows().About();
    ASSERT_FALSE(about.isNull());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(about.data()));
    walkOf(about.data(), "about");
    about->close();

    QPointer<CMsgWnd> box =
        ShowNotice(m_window.get(), QString(), QStringLiteral("A notice"), CMsgWnd::kDefaultDpi);
    ASSERT_FALSE(box.isNull());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box.data()));
    const Walk boxWalk = walkOf(box.data(), "message box");
    ASSERT_TRUE(boxWalk.names.count(QStringLiteral("closebtn")));
    EXPECT_EQ(boxWalk.names.at(QStringLiteral("closebtn")),
              m_window->Texts().Text(QStringLiteral("message_close_tip")));
    box->Close(CMsgWnd::kConfirm);
}
