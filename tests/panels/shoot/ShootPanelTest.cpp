// The shoot panel on its own: what it shows after the page builds it, bullet and gun choice, the six
// events a saved bullet writes, reading of odd files, reset from the default copy, import and
// export, and the picture of each gun's pattern.
#include "ShootTestSupport.h"

#include "panels/shoot/ShootPatternFiles.h"
#include "profiles/FullDisk.h" // the test helper beside the profile tests

#include <iterator>

namespace nk7x::test {
namespace {

// ---- after building --------------------------------------------------------------------------

TEST_F(ShootTest, AfterBuildingGunZeroAndBulletZeroAreSelected) {
    EXPECT_EQ(Panel().SelectedGun(), 0);
    EXPECT_EQ(Panel().SelectedBullet(), 0);
    EXPECT_EQ(Window().IndexText(), QStringLiteral("1"));
    for (int g = 0; g < 4; ++g)
        EXPECT_EQ(
            Window().In<QAbstractButton>(&Panel(), QStringLiteral("shoot_gun_op_%1").arg(g))->isChecked(),
            g == 0);
    for (int b = 0; b < 30; ++b)
        EXPECT_EQ(Window().In<QAbstractButton>(&Panel(), QStringLiteral("bullet_op_%1").arg(b))->isChecked(),
                  b == 0);
    EXPECT_EQ(Window().Find<QStackedWidget>("shoot_image_display_switch")->currentIndex(), 0);
    // Bullet 0 of the default gun 0: no sideways move ("up"), 2 counts up ("down"), 85 ms.
    const Shown s = Showing();
    EXPECT_EQ(s.x, QStringLiteral("0"));
    EXPECT_EQ(s.y, QStringLiteral("2"));
    EXPECT_EQ(s.delay, QStringLiteral("85"));
    EXPECT_FALSE(s.left);
    EXPECT_TRUE(s.up);
    EXPECT_EQ(s.xCaption, QStringLiteral("Move right"));
    EXPECT_EQ(s.yCaption, QStringLiteral("Move up"));
}

TEST_F(ShootTest, MissingPatternFilesAreCopiedFromTheDefaultsByteForByte) {
    for (int g = 0; g < 4; ++g)
        EXPECT_EQ(ReadBytes(UserFile(g)), ReadBytes(DefaultFile(g))) << "gun " << g;
}

// A panel built before the page selects anything shows bullet -1: nothing to save yet.
TEST_F(ShootTest, BeforeTheFirstSelectionNothingIsSaved) {
    CShootControlUI* fresh = Window().AddPanel();
    ASSERT_NE(fresh, nullptr);
    fresh->SetPatternFolder(m_user.string());
    fresh->SetDefaultPatternFolder(m_defaults.string());
    EXPECT_TRUE(fresh->InitControls()) << "the layout holds every control";
    EXPECT_EQ(fresh->SelectedBullet(), -1);
    const std::string before = ReadBytes(UserFile(0));
    EXPECT_FALSE(fresh->SaveCurrentBullet());
    EXPECT_EQ(ReadBytes(UserFile(0)), before);
}

// ---- choosing ---------------------------------------------------------------------------------

TEST_F(ShootTest, BulletsStopAtTheFirstAndTheLast) {
    Panel().SelectPreviousBullet();
    EXPECT_EQ(Panel().SelectedBullet(), 0);
    EXPECT_EQ(Window().IndexText(), QStringLiteral("1"));
    Panel().SelectNextBullet();
    EXPECT_EQ(Panel().SelectedBullet(), 1);
    EXPECT_EQ(Window().IndexText(), QStringLiteral("2"));
    Panel().SelectBullet(29);
    Panel().SelectNextBullet();
    EXPECT_EQ(Panel().SelectedBullet(), 29);
    EXPECT_EQ(Window().IndexText(), QStringLiteral("30"));
    EXPECT_TRUE(Window().Button("bullet_op_29")->isChecked());
    EXPECT_FALSE(Window().Button("bullet_op_1")->isChecked());
    // Numbers beyond the row are limited to it, as are guns.
    Panel().SelectBullet(400);
    EXPECT_EQ(Panel().SelectedBullet(), 29);
    Panel().SelectBullet(-3);
    EXPECT_EQ(Panel().SelectedBullet(), 0);
    Panel().SelectGun(9);
    EXPECT_EQ(Panel().SelectedGun(), 3);
    EXPECT_EQ(Window().Find<QStackedWidget>("shoot_image_display_switch")->currentIndex(), 3);
    Panel().SelectGun(-1);
    EXPECT_EQ(Panel().SelectedGun(), 0);
    EXPECT_TRUE(Window().Button("shoot_gun_op_0")->isChecked());
    EXPECT_FALSE(Window().Button("shoot_gun_op_3")->isChecked());
}

// The panel's own selections raise nothing: no route runs, no file is written.
TEST_F(ShootTest, SelectingFromTheProgramRaisesNoNotification) {
    int raised = 0;
    Window().router.Add(QStringLiteral("selectchanged"), NotifyRouter::Match::Prefix,
                        QStringLiteral("bullet_op_"), [&](const UiNotify&, int) { ++raised; });
    Window().router.Add(QStringLiteral("selectchanged"), NotifyRouter::Match::Name,
                        QStringLiteral("bullet_x_check"), [&](const UiNotify&, int) { ++raised; });
    Panel().SelectBullet(5);
    Panel().SelectGun(2);
    Panel().ShowCurrentBullet();
    EXPECT_EQ(raised, 0);
}

// ---- saving -----------------------------------------------------------------------------------

TEST_F(ShootTest, SavingBulletTwoWritesItsSixEventsAndNothingElse) {
    // Another member of the file stays as it was.
    Json::Value doc = UserDoc(0);
    doc["Note"] = "kept";
    ASSERT_EQ(WriteJson(UserFile(0).string(), doc), 1);

    Panel().SelectBullet(2);
    Type(QStringLiteral("3"), QStringLiteral("7"), QStringLiteral("90"));
    Window().Button("bullet_x_check")->setChecked(false);
    Window().Button("bullet_y_check")->setChecked(true);
    ASSERT_TRUE(Panel().SaveCurrentBullet());

    const Json::Value saved = UserDoc(0);
    const Json::Value& events = saved["Events"];
    ASSERT_EQ(events.size(), 180u);
    EXPECT_TRUE(IsRecord(events[12], "down", 1, 10, 1));
    EXPECT_TRUE(IsRecord(events[13], "up", 1, 0, 1));
    EXPECT_TRUE(IsRecord(events[14], "up", 3, 5, 4));
    EXPECT_TRUE(IsRecord(events[15], "down", 7, 90, 5));
    EXPECT_TRUE(IsRecord(events[16], "up", 0, 0, 4));
    EXPECT_TRUE(IsRecord(events[17], "down", 0, 0, 5));
    for (Json::ArrayIndex i = 0; i < events.size(); ++i) {
        if (i < 12 || i > 17) {
            EXPECT_EQ(events[i], doc["Events"][i]) << "element " << i;
        }
    }
    EXPECT_EQ(saved["Note"].asString(), "kept");
    // Read back as the panel shows it.
    Panel().SelectBullet(0);
    Panel().SelectBullet(2);
    const Shown s = Showing();
    EXPECT_EQ(s.x, QStringLiteral("3"));
    EXPECT_EQ(s.y, QStringLiteral("7"));
    EXPECT_EQ(s.delay, QStringLiteral("90"));
    EXPECT_FALSE(s.left);
    EXPECT_TRUE(s.up);
}

TEST_F(ShootTest, TextThatIsNoNumberSavesZeroAndNumbersAreLimitedToTheEvent) {
    struct Case {
        const char* typed;
        int max;
        int saved;
    };
    // Sideways and vertical moves are one byte; the delay is 16 bits. Digits are read up to the
    // first other character, as a typed number is read everywhere in the program.
    const Case cases[] = {
        {"abc", 255, 0}, {"", 255, 0},   {"300", 255, 255},       {" 12abc", 255, 12},
        {"-5", 255, 0},  {"+8", 255, 8}, {"70000", 65535, 65535}, {"99999999999999999999", 65535, 65535}};
    for (const Case& c : cases) {
        const QString typed = QString::fromLatin1(c.typed);
        Type(c.max == 255 ? typed : QStringLiteral("1"), c.max == 255 ? typed : QStringLiteral("1"),
             c.max == 255 ? QStringLiteral("1") : typed);
        ASSERT_TRUE(Panel().SaveCurrentBullet()) << c.typed;
        const Json::Value doc = UserDoc(0);
        const Json::Value& events = doc["Events"];
        if (c.max == 255) {
            EXPECT_EQ(events[2]["Button"].asInt(), c.saved) << c.typed;
            EXPECT_EQ(events[3]["Button"].asInt(), c.saved) << c.typed;
            EXPECT_EQ(Showing().x, QString::number(c.saved)) << "the box shows what was saved";
        } else {
            EXPECT_EQ(events[3]["Delay"].asInt(), c.saved) << c.typed;
            EXPECT_EQ(Showing().delay, QString::number(c.saved));
        }
    }
}

TEST_F(ShootTest, SavingIntoAMissingFileStartsAnEmptyPatternWithNullsBefore) {
    fs::remove(UserFile(1));
    Panel().SelectGun(1);
    Panel().SelectBullet(5);
    Type(QStringLiteral("4"), QStringLiteral("6"), QStringLiteral("120"));
    Window().Button("bullet_x_check")->setChecked(true);
    ASSERT_TRUE(Panel().SaveCurrentBullet());
    const Json::Value doc = UserDoc(1);
    ASSERT_TRUE(doc["Events"].isArray());
    ASSERT_EQ(doc["Events"].size(), 36u);
    for (Json::ArrayIndex i = 0; i < 30; ++i)
        EXPECT_TRUE(doc["Events"][i].isNull()) << i;
    EXPECT_TRUE(IsRecord(doc["Events"][32], "down", 4, 5, 4));
    EXPECT_TRUE(IsRecord(doc["Events"][33], "up", 6, 120, 5));
    // The bullets before it read as zeros.
    Panel().SelectBullet(0);
    EXPECT_EQ(Showing().x, QStringLiteral("0"));
    EXPECT_EQ(Showing().delay, QStringLiteral("0"));
}

TEST_F(ShootTest, AFailedWriteLeavesTheFileAsItWas) {
    const std::string before = ReadBytes(UserFile(0));
    Type(QStringLiteral("9"), QStringLiteral("9"), QStringLiteral("9"));
    EXPECT_FALSE(WithFullDisk(16, [&] { return Panel().SaveCurrentBullet(); }));
    EXPECT_EQ(ReadBytes(UserFile(0)), before);
    EXPECT_FALSE(WithFullDisk(16, [&] { return Panel().ResetPattern(0); }));
    EXPECT_EQ(ReadBytes(UserFile(0)), before);
}

// ---- reading odd files ------------------------------------------------------------------------

TEST_F(ShootTest, DirectionsAreReadWithoutCaseAndMissingPartsAsZero) {
    Json::Value doc = UserDoc(3);
    doc["Events"][6 * 4 + 2]["Action"] = "DOWN";
    doc["Events"][6 * 4 + 3]["Action"] = "Up";
    doc["Events"][6 * 4 + 3]["Delay"] = "140"; // as macro files write delays
    doc["Events"][6 * 7 + 2] = Json::Value(Json::objectValue);
    doc["Events"][6 * 7 + 3] = "not a record";
    doc["Events"][6 * 8 + 2]["Button"] = 4000; // more than an event can carry
    ASSERT_EQ(WriteJson(UserFile(3).string(), doc), 1);
    Panel().SelectGun(3);
    Panel().SelectBullet(4);
    EXPECT_TRUE(Showing().left);
    EXPECT_EQ(Showing().xCaption, QStringLiteral("Move left"));
    EXPECT_FALSE(Showing().up);
    EXPECT_EQ(Showing().yCaption, QStringLiteral("Move down"));
    EXPECT_EQ(Showing().delay, QStringLiteral("140"));
    Panel().SelectBullet(7);
    const Shown s = Showing();
    EXPECT_EQ(s.x, QStringLiteral("0"));
    EXPECT_EQ(s.y, QStringLiteral("0"));
    EXPECT_EQ(s.delay, QStringLiteral("0"));
    EXPECT_FALSE(s.left);
    EXPECT_FALSE(s.up);
    Panel().SelectBullet(8);
    EXPECT_EQ(Showing().x, QStringLiteral("255"));
}

class ShootStartTest : public ShootTest {
  protected:
    void Prepare() override {
        fs::create_directories(m_user);
        WriteBytes(UserFile(0), "{ this is no JSON");
        WriteBytes(UserFile(1), "[1, 2, 3]");                       // JSON, but no pattern
        WriteBytes(UserFile(2), R"({"Events": [], "Mine": true})"); // an empty pattern of the user's
        fs::remove(DefaultFile(3));                                 // gun 3 has no default copy
    }
};

TEST_F(ShootStartTest, BrokenFilesAreRestoredAndAMissingDefaultLeavesAnEmptyPattern) {
    EXPECT_EQ(ReadBytes(UserFile(0)), ReadBytes(DefaultFile(0)));
    EXPECT_EQ(ReadBytes(UserFile(1)), ReadBytes(DefaultFile(1)));
    EXPECT_EQ(UserDoc(2)["Mine"].asBool(), true) << "a pattern of the user's is kept, even an empty one";
    const Json::Value empty = UserDoc(3);
    EXPECT_TRUE(empty.isObject());
    EXPECT_TRUE(empty["Events"].isArray());
    EXPECT_EQ(empty["Events"].size(), 0u);
    Panel().SelectGun(3);
    Panel().ShowCurrentBullet();
    const Shown s = Showing();
    EXPECT_EQ(s.x, QStringLiteral("0"));
    EXPECT_EQ(s.y, QStringLiteral("0"));
    EXPECT_EQ(s.delay, QStringLiteral("0"));
    EXPECT_FALSE(s.left);
    EXPECT_FALSE(s.up);
}

// ---- reset, import, export --------------------------------------------------------------------

TEST_F(ShootTest, ResetRestoresTheSelectedGunFromItsDefaultCopy) {
    Panel().SelectGun(2);
    Panel().SelectBullet(3);
    const Shown original = Showing();
    Type(QStringLiteral("200"), QStringLiteral("201"), QStringLiteral("2000"));
    ASSERT_TRUE(Panel().SaveCurrentBullet());
    ASSERT_NE(ReadBytes(UserFile(2)), ReadBytes(DefaultFile(2)));
    const std::string gun1 = ReadBytes(UserFile(1));

    ASSERT_TRUE(Panel().ResetCurrentPattern());
    EXPECT_EQ(ReadBytes(UserFile(2)), ReadBytes(DefaultFile(2)));
    EXPECT_EQ(ReadBytes(UserFile(1)), gun1) << "only the selected gun";
    EXPECT_EQ(Panel().SelectedBullet(), 3);
    EXPECT_EQ(Showing().x, original.x);
    EXPECT_EQ(Showing().y, original.y);
    EXPECT_EQ(Showing().delay, original.delay);

    // Without a default copy the gun gets an empty pattern, not a broken file.
    fs::remove(DefaultFile(2));
    ASSERT_TRUE(Panel().ResetPattern(2));
    EXPECT_EQ(UserDoc(2), EmptyShootPattern());
    EXPECT_EQ(Showing().delay, QStringLiteral("0"));
}

TEST_F(ShootTest, ImportCopiesAPatternAndRefusesAnythingElse) {
    Panel().SelectGun(1);
    Panel().SelectBullet(0);
    const fs::path source = m_root / "chosen.shoot";
    // Comments are allowed in pattern files; the copy keeps the bytes as they are.
    const std::string pattern =
        "// from a friend\n{\"Events\": [null, null, {\"Action\": \"down\", \"Button\": 9, "
        "\"Delay\": 5, \"Type\": 4}, {\"Action\": \"up\", \"Button\": 11, \"Delay\": 77, "
        "\"Type\": 5}]}\n";
    WriteBytes(source, pattern);
    ShootFileResult why = ShootFileResult::NothingDone;
    ASSERT_TRUE(Panel().ImportPattern(QString::fromStdString(source.string()), &why));
    EXPECT_EQ(why, ShootFileResult::Ok);
    EXPECT_EQ(ReadBytes(UserFile(1)), pattern);
    EXPECT_EQ(Showing().x, QStringLiteral("9"));
    EXPECT_TRUE(Showing().left);
    EXPECT_EQ(Showing().delay, QStringLiteral("77"));

    struct Refused {
        std::string bytes;
        ShootFileResult why;
    };
    const Refused refused[] = {
        {"plain text", ShootFileResult::NotAPattern},
        {"", ShootFileResult::NotAPattern},
        {"[{\"Events\": []}]", ShootFileResult::NotAPattern},
        {"{\"Events\": {\"0\": 1}}", ShootFileResult::NotAPattern},
        {"{\"MacroName\": \"macro_1\"}", ShootFileResult::NotAPattern},
    };
    for (const Refused& r : refused) {
        WriteBytes(source, r.bytes);
        EXPECT_FALSE(Panel().ImportPattern(QString::fromStdString(source.string()), &why)) << r.bytes;
        EXPECT_EQ(why, r.why) << r.bytes;
        EXPECT_EQ(ReadBytes(UserFile(1)), pattern) << "the user's pattern stays: " << r.bytes;
    }
    EXPECT_FALSE(Panel().ImportPattern(QString::fromStdString((m_root / "absent.shoot").string()), &why));
    EXPECT_EQ(why, ShootFileResult::SourceUnreadable);
    EXPECT_FALSE(Panel().ImportPattern(QString::fromStdString(m_root.string()), &why)) << "a folder";
    EXPECT_EQ(why, ShootFileResult::SourceUnreadable);
    EXPECT_FALSE(Panel().ImportPattern(QString(), &why));
    EXPECT_EQ(why, ShootFileResult::NothingDone);
    EXPECT_EQ(ReadBytes(UserFile(1)), pattern);
}

TEST_F(ShootTest, ExportCopiesTheSelectedGunsFile) {
    Panel().SelectGun(3);
    const fs::path target = m_root / "out" / "mine.shoot";
    fs::create_directories(target.parent_path());
    WriteBytes(target, "older content");
    ShootFileResult why = ShootFileResult::NothingDone;
    ASSERT_TRUE(Panel().ExportPattern(QString::fromStdString(target.string()), &why));
    EXPECT_EQ(ReadBytes(target), ReadBytes(UserFile(3)));
    const auto entries =
        std::distance(fs::directory_iterator(target.parent_path()), fs::directory_iterator());
    EXPECT_EQ(entries, 1) << "no temporary file is left";

    EXPECT_FALSE(Panel().ExportPattern(QString(), &why));
    EXPECT_EQ(why, ShootFileResult::NothingDone);
    EXPECT_FALSE(
        Panel().ExportPattern(QString::fromStdString((m_root / "no" / "such" / "x.shoot").string()), &why));
    EXPECT_EQ(why, ShootFileResult::WriteFailed);
    // What was exported imports again into another gun.
    Panel().SelectGun(0);
    ASSERT_TRUE(Panel().ImportPattern(QString::fromStdString(target.string())));
    EXPECT_EQ(ReadBytes(UserFile(0)), ReadBytes(UserFile(3)));
}

// ---- the picture --------------------------------------------------------------------------------

TEST_F(ShootTest, EachGunsPictureFollowsItsFile) {
    for (int g = 0; g < 4; ++g) {
        ShootPatternView* view = Panel().PatternView(g);
        ASSERT_NE(view, nullptr) << "page " << g << " of the picture switch";
        EXPECT_EQ(view->Bullets(), ReadShootBullets(UserDoc(g))) << "gun " << g;
        EXPECT_EQ(view->SelectedBullet(), 0);
    }
    EXPECT_EQ(Window().Find<QStackedWidget>("shoot_image_display_switch")->currentWidget(),
              Panel().PatternView(0)->parentWidget());

    Panel().SelectGun(1);
    Panel().SelectBullet(6);
    EXPECT_EQ(Panel().PatternView(1)->SelectedBullet(), 6);
    Type(QStringLiteral("12"), QStringLiteral("3"), QStringLiteral("60"));
    Window().Button("bullet_x_check")->setChecked(true);
    Window().Button("bullet_y_check")->setChecked(false);
    ASSERT_TRUE(Panel().SaveCurrentBullet());
    const ShootBullet drawn = Panel().PatternView(1)->Bullets()[6];
    EXPECT_EQ(drawn, (ShootBullet{true, 12, false, 3, 60}));

    // Dots sit where the moves add up to: right and down are negative here.
    const std::vector<ShootBullet> bullets = {
        {false, 2, true, 5, 0}, {true, 3, true, 1, 0}, {false, 0, false, 4, 0}};
    const std::vector<QPointF> points = ShootPatternView::BulletPoints(bullets);
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[0], QPointF(2, 5));
    EXPECT_EQ(points[1], QPointF(-1, 6));
    EXPECT_EQ(points[2], QPointF(-1, 2));

    ASSERT_TRUE(Panel().ResetPattern(1));
    EXPECT_EQ(Panel().PatternView(1)->Bullets(), ReadShootBullets(LoadJson(DefaultFile(1).string())));
}

} // namespace
} // namespace nk7x::test
