// The shoot panel as the main window routes it: option and button clicks, fields that lose the
// focus, the save button's download, reset, import and export through injected dialogs, and which
// panel a notification reaches when several mouse pages exist. One test sends the patterns to an
// emulated mouse.
#include "ShootTestSupport.h"

#include "devices/keyboard/KeyboardRecords.h"
#include "link/DeviceCommandLink.h"
#include "profiles/FullDisk.h" // the test helper beside the profile tests
#include "profiles/ProfileList.h"
#include "tools/sim/SimDevice.h"

#include <QTest>

#include <algorithm>

namespace nk7x::test {
namespace {

using ShootRoutesTest = ShootTest;

TEST_F(ShootRoutesTest, GunOptionsChooseTheGunAndShowItsBullet) {
    ASSERT_TRUE(Window().Click("shoot_gun_op_2"));
    EXPECT_EQ(Panel().SelectedGun(), 2);
    EXPECT_EQ(Window().Find<QStackedWidget>("shoot_image_display_switch")->currentIndex(), 2);
    EXPECT_FALSE(Window().Button("shoot_gun_op_0")->isChecked());
    EXPECT_TRUE(Window().Button("shoot_gun_op_2")->isChecked());
    const ShootBullet expected = ReadShootBullet(UserDoc(2), 0);
    EXPECT_EQ(Showing().delay, QString::number(expected.delay));
    EXPECT_EQ(Showing().y, QString::number(expected.y));
    EXPECT_EQ(Panel().SelectedBullet(), 0) << "the bullet stays";
}

TEST_F(ShootRoutesTest, BulletOptionsAndArrowsChooseTheBullet) {
    ASSERT_TRUE(Window().Click("bullet_op_7"));
    // The option that was selected reports its change too; it must not take the choice back.
    EXPECT_EQ(Panel().SelectedBullet(), 7);
    EXPECT_EQ(Window().IndexText(), QStringLiteral("8"));
    EXPECT_EQ(Showing().delay, QString::number(ReadShootBullet(UserDoc(0), 7).delay));
    EXPECT_FALSE(Window().Button("bullet_op_0")->isChecked());

    ASSERT_TRUE(Window().Click("bullet_selected_next"));
    EXPECT_EQ(Panel().SelectedBullet(), 8);
    EXPECT_TRUE(Window().Button("bullet_op_8")->isChecked());
    ASSERT_TRUE(Window().Click("bullet_op_0"));
    ASSERT_TRUE(Window().Click("bullet_selected_prev"));
    EXPECT_EQ(Panel().SelectedBullet(), 0);
    EXPECT_EQ(Window().IndexText(), QStringLiteral("1"));
    ASSERT_TRUE(Window().Click("bullet_op_29"));
    ASSERT_TRUE(Window().Click("bullet_selected_next"));
    EXPECT_EQ(Panel().SelectedBullet(), 29);
    EXPECT_EQ(Window().IndexText(), QStringLiteral("30"));
}

TEST_F(ShootRoutesTest, AFieldThatLosesTheFocusSavesTheBullet) {
    ASSERT_TRUE(Window().Click("bullet_op_4"));
    Window().Edit("bullet_x_eidt")->setText(QStringLiteral("17"));
    ShootPanelWindow::LeaveField(Window().Edit("bullet_x_eidt"));
    EXPECT_EQ(UserDoc(0)["Events"][6 * 4 + 2]["Button"].asInt(), 17);
    Window().Edit("bullet_y_eidt")->setText(QStringLiteral("abc"));
    ShootPanelWindow::LeaveField(Window().Edit("bullet_y_eidt"));
    EXPECT_EQ(UserDoc(0)["Events"][6 * 4 + 3]["Button"].asInt(), 0);
    EXPECT_EQ(Showing().y, QStringLiteral("0"));
    Window().Edit("bullet_delay_eidt")->setText(QStringLiteral("250"));
    ShootPanelWindow::LeaveField(Window().Edit("bullet_delay_eidt"));
    EXPECT_EQ(UserDoc(0)["Events"][6 * 4 + 3]["Delay"].asInt(), 250);
    // Enter in a box saves as well.
    Window().Edit("bullet_delay_eidt")->setText(QStringLiteral("251"));
    emit Window().Edit("bullet_delay_eidt")->returnPressed();
    EXPECT_EQ(UserDoc(0)["Events"][6 * 4 + 3]["Delay"].asInt(), 251);
    EXPECT_TRUE(Window().messages.empty());
}

// A direction check is saved with its bullet at once: choosing another bullet cannot lose it, and
// the save button sends what the panel shows.
TEST_F(ShootRoutesTest, ADirectionCheckChangesItsCaptionAndIsSaved) {
    ASSERT_TRUE(Window().Click("bullet_op_3"));
    const bool wasLeft = Showing().left;
    ASSERT_TRUE(Window().Click("bullet_x_check"));
    EXPECT_EQ(Showing().left, !wasLeft);
    EXPECT_EQ(Showing().xCaption, !wasLeft ? QStringLiteral("Move left") : QStringLiteral("Move right"));
    EXPECT_EQ(UserDoc(0)["Events"][6 * 3 + 2]["Action"].asString(), !wasLeft ? "down" : "up");
    EXPECT_EQ(UserDoc(0)["Events"][6 * 3 + 4]["Action"].asString(), !wasLeft ? "down" : "up");

    const bool wasUp = Showing().up;
    ASSERT_TRUE(Window().Click("bullet_y_check"));
    EXPECT_EQ(Showing().yCaption, !wasUp ? QStringLiteral("Move up") : QStringLiteral("Move down"));
    ASSERT_TRUE(Window().Click("bullet_op_4"));
    ASSERT_TRUE(Window().Click("bullet_op_3"));
    EXPECT_EQ(Showing().left, !wasLeft);
    EXPECT_EQ(Showing().up, !wasUp);
    // The captions follow a change of language: the key goes with the caption.
    EXPECT_EQ(Window().Button("bullet_y_check")->property("textKey").toString(),
              !wasUp ? QStringLiteral("mouse_move_to_up_text") : QStringLiteral("mouse_move_to_down_text"));
}

TEST_F(ShootRoutesTest, TheSaveButtonSavesTheShownBulletAndDownloads) {
    ASSERT_TRUE(Window().Click("bullet_op_1"));
    Window().Edit("bullet_x_eidt")->setText(QStringLiteral("33")); // typed, focus still in the box
    ASSERT_TRUE(Window().Click("shootdate_save_btn"));
    EXPECT_EQ(Window().downloads, 1);
    EXPECT_EQ(UserDoc(0)["Events"][6 + 2]["Button"].asInt(), 33);

    // When the bullet cannot be written the mouse is not sent an older pattern than shown.
    Window().Edit("bullet_x_eidt")->setText(QStringLiteral("34"));
    WithFullDisk(16, [&] { return Window().Click("shootdate_save_btn"); });
    EXPECT_EQ(Window().downloads, 1);
    ASSERT_EQ(Window().messages.size(), 1u);
    EXPECT_EQ(Window().messages[0], QString::fromLatin1(kMsgSaveFailed));
}

TEST_F(ShootRoutesTest, TheResetButtonRestoresTheSelectedGun) {
    ASSERT_TRUE(Window().Click("shoot_gun_op_1"));
    Window().Edit("bullet_delay_eidt")->setText(QStringLiteral("999"));
    ShootPanelWindow::LeaveField(Window().Edit("bullet_delay_eidt"));
    ASSERT_NE(ReadBytes(UserFile(1)), ReadBytes(DefaultFile(1)));
    ASSERT_TRUE(Window().Click("shootdate_reset_btn"));
    EXPECT_EQ(ReadBytes(UserFile(1)), ReadBytes(DefaultFile(1)));
    EXPECT_EQ(Showing().delay, QString::number(ReadShootBullet(UserDoc(1), 0).delay));
    EXPECT_TRUE(Window().messages.empty());
}

TEST_F(ShootRoutesTest, ImportAndExportGoThroughTheDialogs) {
    ASSERT_TRUE(Window().Click("shoot_gun_op_3"));
    const fs::path exported = m_root / "gun4.shoot";
    Window().nextFile = QString::fromStdString(exported.string());
    ASSERT_TRUE(Window().Click("shootdate_export_btn"));
    ASSERT_EQ(Window().dialogs.size(), 1u);
    EXPECT_TRUE(Window().dialogs[0].save);
    EXPECT_EQ(Window().dialogs[0].filter, QStringLiteral("Shoot Files(*.shoot)"));
    EXPECT_EQ(ReadBytes(exported), ReadBytes(UserFile(3)));

    ASSERT_TRUE(Window().Click("shoot_gun_op_0"));
    ASSERT_TRUE(Window().Click("shootdate_import_btn"));
    ASSERT_EQ(Window().dialogs.size(), 2u);
    EXPECT_FALSE(Window().dialogs[1].save);
    EXPECT_EQ(Window().dialogs[1].filter, QStringLiteral("Shoot Files(*.shoot)"));
    EXPECT_EQ(ReadBytes(UserFile(0)), ReadBytes(UserFile(3)));
    EXPECT_EQ(Showing().delay, QString::number(ReadShootBullet(UserDoc(3), 0).delay));
    EXPECT_TRUE(Window().messages.empty());

    // A file that is no pattern is refused with a message; the user's pattern stays.
    const std::string before = ReadBytes(UserFile(0));
    WriteBytes(exported, "{\"MacroName\": \"macro_1\", \"Events\": \"none\"}");
    ASSERT_TRUE(Window().Click("shootdate_import_btn"));
    ASSERT_EQ(Window().messages.size(), 1u);
    EXPECT_EQ(Window().messages[0], QString::fromLatin1(kMsgShootImportRefused));
    EXPECT_EQ(ReadBytes(UserFile(0)), before);

    // Cancelled dialogs do nothing.
    Window().nextFile.clear();
    ASSERT_TRUE(Window().Click("shootdate_import_btn"));
    ASSERT_TRUE(Window().Click("shootdate_export_btn"));
    EXPECT_EQ(Window().messages.size(), 1u);
    EXPECT_EQ(ReadBytes(UserFile(0)), before);

    // An export that cannot be written says so.
    Window().nextFile = QString::fromStdString((m_root / "missing" / "x.shoot").string());
    ASSERT_TRUE(Window().Click("shootdate_export_btn"));
    ASSERT_EQ(Window().messages.size(), 2u);
    EXPECT_EQ(Window().messages[1], QString::fromLatin1(kMsgShootExportFailed));
}

TEST_F(ShootRoutesTest, NothingHappensUnlessTheShownPageIsAMouse) {
    Window().isMouse = false;
    const std::string before = ReadBytes(UserFile(0));
    ASSERT_TRUE(Window().Click("shoot_gun_op_1"));
    ASSERT_TRUE(Window().Click("bullet_op_5"));
    ASSERT_TRUE(Window().Click("bullet_selected_next"));
    ASSERT_TRUE(Window().Click("shootdate_save_btn"));
    ASSERT_TRUE(Window().Click("shootdate_reset_btn"));
    ASSERT_TRUE(Window().Click("shootdate_import_btn"));
    EXPECT_EQ(Panel().SelectedGun(), 0);
    EXPECT_EQ(Panel().SelectedBullet(), 0);
    EXPECT_EQ(Window().downloads, 0);
    EXPECT_TRUE(Window().dialogs.empty());
    EXPECT_EQ(ReadBytes(UserFile(0)), before);
}

// Each mouse page has a panel with the same control names: the routes act on the shown page's
// panel only, but a box that loses the focus saves into its own panel whatever page is shown, so
// that switching pages never drops what was typed.
TEST_F(ShootRoutesTest, OnlyTheShownPanelActsAndAFieldSavesIntoItsOwn) {
    CShootControlUI* other = Window().AddPanel();
    ASSERT_NE(other, nullptr);
    const fs::path otherFolder = m_root / "mouse2";
    ShootPanelWindow::Build(*other, otherFolder, m_defaults);
    Window().current = &Panel();

    ASSERT_TRUE(Window().Click("shoot_gun_op_2", other));
    ASSERT_TRUE(Window().Click("bullet_op_6", other));
    EXPECT_EQ(other->SelectedGun(), 0);
    EXPECT_EQ(other->SelectedBullet(), 0);
    EXPECT_EQ(Panel().SelectedGun(), 0);
    EXPECT_EQ(Panel().SelectedBullet(), 0);

    auto* otherX = Window().In<QLineEdit>(other, QStringLiteral("bullet_x_eidt"));
    otherX->setText(QStringLiteral("44"));
    Window().isMouse = false; // the page was switched as the box lost the focus
    ShootPanelWindow::LeaveField(otherX);
    EXPECT_EQ(LoadJson((otherFolder / ShootPatternFileName(0)).string())["Events"][2]["Button"].asInt(), 44);
    EXPECT_NE(UserDoc(0)["Events"][2]["Button"].asInt(), 44);
}

// A panel can go (its page is taken down) while one of its boxes has the focus: the focus leaves
// the box as it goes, and that must reach nothing of the panel.
TEST_F(ShootRoutesTest, APanelTakenDownWhileABoxHasTheFocusWritesNothing) {
    CShootControlUI* other = Window().AddPanel();
    ASSERT_NE(other, nullptr);
    const fs::path otherFolder = m_root / "mouse2";
    ShootPanelWindow::Build(*other, otherFolder, m_defaults);
    Window().current = other;
    Window().show();
    Window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Window()));
    auto* box = Window().In<QLineEdit>(other, QStringLiteral("bullet_x_eidt"));
    box->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return box->hasFocus(); }));
    box->setText(QStringLiteral("77"));
    const std::string before = ReadBytes(otherFolder / ShootPatternFileName(0));
    Window().notified.clear();

    delete other;
    EXPECT_NE(std::find(Window().notified.begin(), Window().notified.end(),
                        QStringLiteral("killfocus bullet_x_eidt")),
              Window().notified.end())
        << "the box reported losing the focus";
    EXPECT_EQ(ReadBytes(otherFolder / ShootPatternFileName(0)), before);
    EXPECT_TRUE(Window().messages.empty());
}

// ---- with an emulated mouse ---------------------------------------------------------------------

// Small patterns (one bullet per gun), so the image fits the emulator's shoot area.
class ShootDownloadTest : public ShootTest {
  protected:
    void Prepare() override {
        fs::create_directories(m_user);
        for (int g = 0; g < kShootGunCount; ++g) {
            Json::Value doc = EmptyShootPattern();
            ASSERT_TRUE(WriteShootBullet(doc, 0, ShootBullet{false, g + 1, true, 10 + g, 50 + g}));
            ASSERT_EQ(WriteJson(UserFile(g).string(), doc), 1);
        }
        SimOptions options;
        options.kind = SimKind::Mouse;
        options.folder = (m_root / "sim").string();
        m_sim = std::make_unique<SimDevice>(options);
        ASSERT_EQ(m_sim->Start(), 1) << m_sim->LastError();
        ASSERT_EQ(m_link.OpenPath(m_sim->CommandPath()), 1);
    }
    void TearDown() override {
        m_link.ClosePath();
        m_sim.reset();
        ShootTest::TearDown();
    }
    // What the mouse page does on the save button: build the image from its folder and send it.
    void SendPatterns() {
        const ShootImageBuild image = BuildShootImage(m_user.string());
        ASSERT_TRUE(image.ok);
        ASSERT_EQ(m_link.BeginConfig(), kResultOk);
        ASSERT_EQ(m_link.WriteShootArea(image.bytes.data(), image.bytes.size()), kResultOk);
        ASSERT_EQ(m_link.EndConfig(), kResultOk);
    }
    MacroImage MouseImage() const {
        MacroImage image;
        const std::vector<uint8_t> area = m_sim->ShootArea();
        EXPECT_TRUE(MacroImage::Parse(area, image));
        return image;
    }

    std::unique_ptr<SimDevice> m_sim;
    CDeviceCommandLink m_link;
};

TEST_F(ShootDownloadTest, TheMouseGetsWhatThePanelShows) {
    Window().onDownload = [this] { SendPatterns(); };
    // Toggle the sideways direction of gun 2's bullet 0 and change its delay, then save at once.
    ASSERT_TRUE(Window().Click("shoot_gun_op_2"));
    ASSERT_FALSE(Showing().left);
    ASSERT_TRUE(Window().Click("bullet_x_check"));
    Window().Edit("bullet_delay_eidt")->setText(QStringLiteral("300"));
    ASSERT_TRUE(Window().Click("shootdate_save_btn"));
    ASSERT_EQ(Window().downloads, 1);

    const MacroImage image = MouseImage();
    ASSERT_EQ(image.macros.size(), 4u);
    for (int g = 0; g < kShootGunCount; ++g) {
        const std::vector<MacroEvent>& events = image.macros[static_cast<std::size_t>(g)];
        ASSERT_EQ(events.size(), 6u) << "gun " << g;
        EXPECT_EQ(events[0], (MacroEvent{true, 1, 1, 10})) << "press the left button";
        EXPECT_EQ(events[1], (MacroEvent{false, 1, 1, 0})) << "release it";
        EXPECT_EQ(events[2], (MacroEvent{g == 2, 4, static_cast<uint8_t>(g + 1), 5})) << "gun " << g;
        EXPECT_EQ(events[3], (MacroEvent{true, 5, static_cast<uint8_t>(10 + g),
                                         static_cast<uint16_t>(g == 2 ? 300 : 50 + g)}))
            << "gun " << g;
    }
}

} // namespace
} // namespace nk7x::test
