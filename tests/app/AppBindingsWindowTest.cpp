// "Use for applications…" as a user meets it: the profile menu's button opens the window, a click
// on a running application and on Add binds it, the check makes the profile the default, Remove
// undoes a binding; each change is in the bindings file at once.
#include "app/AppProfiles.h"
#include "panels/profile/DeviceProfileUI.h"
#include "profiles/AppBindings.h"
#include "profiles/ProfileFolders.h"
#include "support/KeyboardWindowFixture.h"
#include "windows/AppBindingsWnd.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <filesystem>

#include <gtest/gtest.h>

using namespace nk7x;
using namespace nk7x::test;

namespace {

// A desktop with two applications open; nothing is ever in front.
class TwoAppsDesktop : public IWindowTracker {
  public:
    TrackerKind Kind() const override { return TrackerKind::X11; }
    std::string Name() const override { return "test desktop"; }
    bool Start(Listener, std::string*) override { return true; }
    void Stop() override {}
    std::vector<ActiveApp> OpenApps() override {
        return {ActiveApp{"steam_app_570", "", "", 0, ""}, ActiveApp{"firefox", "", "", 0, ""}};
    }
};

class AppBindingsWindowTest : public KeyboardWindowFixture<::testing::Test> {
  protected:
    void SetUp() override { OpenWindow(); }
    void TearDown() override { CloseWindow(); }

    static void Click(QWidget* w) {
        ASSERT_NE(w, nullptr);
        ASSERT_TRUE(w->isVisible()) << w->objectName().toStdString();
        QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
    }
    static void ClickItem(QListWidget* list, const QString& text) {
        const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << text.toStdString();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found[0]).center());
    }
    AppBindings Stored() const {
        AppBindings b;
        EXPECT_TRUE(b.Load(KindFolder(DeviceFamily::Keyboard) + "/" + kAppBindingsFileName));
        return b;
    }
};

} // namespace

TEST_F(AppBindingsWindowTest, ARunningApplicationIsBoundByClicksAndTheProfileMadeTheDefault) {
    m_window->FollowedApps()->Start(std::make_unique<TwoAppsDesktop>(), "");
    CDeviceProfileUI* panel = m_page->ProfilePanel();
    const std::string uuid = panel->List().UuidAt(panel->GetSelectedIndex());
    ASSERT_FALSE(uuid.empty());

    Click(m_window->FindControl(QStringLiteral("profile_fun_spread_btn")));
    Click(m_window->FindControl(QStringLiteral("device_apps_btn")));
    CAppBindingsWnd* wnd = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* w = qobject_cast<CAppBindingsWnd*>(top); w && w->isVisible())
                    wnd = w;
            return wnd != nullptr;
        },
        3000));
    auto* running = qobject_cast<QListWidget*>(wnd->FindControl(QStringLiteral("bindings_running_list")));
    auto* bound = qobject_cast<QListWidget*>(wnd->FindControl(QStringLiteral("bindings_list")));
    auto* edit = qobject_cast<QLineEdit*>(wnd->FindControl(QStringLiteral("bindings_app_edit")));
    auto* isDefault = qobject_cast<QCheckBox*>(wnd->FindControl(QStringLiteral("bindings_default_check")));
    auto* tracking = qobject_cast<QLabel*>(wnd->FindControl(QStringLiteral("bindings_tracking_state")));
    ASSERT_TRUE(running && bound && edit && isDefault && tracking);
    EXPECT_EQ(running->count(), 2) << "the applications with a window now";
    EXPECT_TRUE(tracking->text().contains("test desktop")) << tracking->text().toStdString();
    EXPECT_EQ(bound->count(), 0);

    ClickItem(running, QStringLiteral("steam_app_570"));
    EXPECT_EQ(edit->text(), "steam_app_570");
    Click(wnd->FindControl(QStringLiteral("bindings_add_btn")));
    ASSERT_EQ(bound->count(), 1);
    EXPECT_EQ(bound->item(0)->text(), "steam_app_570");
    EXPECT_TRUE(edit->text().isEmpty());
    // A typed name binds too.
    QTest::keyClicks(edit, QStringLiteral("NK7XEditor"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(bound->count(), 2);
    Click(isDefault);
    EXPECT_TRUE(isDefault->isChecked());
    if (const char* out = std::getenv("NK7X_SCREENSHOT_DIR"))
        wnd->grab().save(QString::fromLocal8Bit(out) + QStringLiteral("/screenshot-app-bindings.png"));

    AppBindings stored = Stored();
    ASSERT_EQ(stored.List().size(), 2u);
    EXPECT_EQ(stored.List()[0], (AppBinding{"steam_app_570", uuid}));
    EXPECT_EQ(stored.DefaultProfile(), uuid);

    // Remove undoes the selected binding; the default goes with the check.
    ClickItem(bound, QStringLiteral("steam_app_570"));
    Click(wnd->FindControl(QStringLiteral("bindings_remove_btn")));
    Click(isDefault);
    stored = Stored();
    ASSERT_EQ(stored.List().size(), 1u);
    EXPECT_EQ(stored.List()[0].app, "NK7XEditor");
    EXPECT_TRUE(stored.DefaultProfile().empty());
    QTest::keyClick(wnd, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !wnd || !wnd->isVisible(); }, 2000)) << "Escape closes it";
}

// A bindings file that is not one is set aside and reported, never overwritten, and reads as none.
TEST(AppBindingsFile, AMalformedFileIsSetAsideAndABindingSavesAFreshOne) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("AppBindings.json").toStdString();
    {
        std::FILE* f = std::fopen(path.c_str(), "w");
        std::fputs("{\"bindings\": {\"app\": 3}}", f);
        std::fclose(f);
    }
    AppBindings b;
    EXPECT_FALSE(b.Load(path));
    EXPECT_TRUE(b.List().empty());
    bool keptAside = false;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path().toStdString()))
        keptAside |= entry.path().filename().string().rfind("AppBindings.json.unreadable-", 0) == 0;
    EXPECT_TRUE(keptAside) << "the user's file is kept";
    ASSERT_TRUE(b.Bind("  Firefox ", "p1"));
    EXPECT_FALSE(b.Bind(" ", "p1"));
    ASSERT_TRUE(b.Save(path));
    AppBindings again;
    ASSERT_TRUE(again.Load(path));
    EXPECT_EQ(again.List(), (std::vector<AppBinding>{{"Firefox", "p1"}}));
    EXPECT_EQ(again.Match(ActiveApp{"org.mozilla.FIREFOX", "", "", 0, ""}), std::nullopt);
    EXPECT_EQ(again.Match(ActiveApp{"x", "", "", 0, "firefox"}), std::optional<std::string>("p1"))
        << "the executable's name matches too";
}
