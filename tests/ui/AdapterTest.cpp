#include "ui/ControlFactory.h"
#include "ui/FontTable.h"
#include "ui/LanguageTexts.h"
#include "ui/MenuLayout.h"
#include "ui/ResourceList.h"
#include "ui/Theme.h"
#include "ui/UiWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

using namespace nk7x;

namespace {

void WriteFile(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

// A window that records what its controls raise.
class RecordingWindow : public UiWindow {
  public:
    QList<UiNotify> seen;
    QStringList createdClasses;
    void Notify(const UiNotify& msg) override { seen.append(msg); }
    QWidget* CreateControl(const QString& className) override {
        createdClasses.append(className);
        if (className.compare(QLatin1String("FancyButton"), Qt::CaseInsensitive) == 0) {
            auto* b = new QPushButton;
            b->setProperty("fancy", true);
            return b;
        }
        return nullptr;
    }
    int Count(const QString& type, const QString& name) const {
        int n = 0;
        for (const UiNotify& m : seen)
            n += (m.type == type && m.name == name) ? 1 : 0;
        return n;
    }
};

const char* const kLayout = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0"><class>root</class>
<widget class="QWidget" name="root"><layout class="QVBoxLayout" name="l">
 <item><widget class="QPushButton" name="key_12">
   <property name="textKey" stdset="0"><string>hello_key</string></property>
   <property name="tooltipKey" stdset="0"><string>tip_key</string></property>
   <property name="fontIndex" stdset="0"><number>3</number></property>
   <property name="minimumSize"><size><width>40</width><height>20</height></size></property>
 </widget></item>
 <item><widget class="QCheckBox" name="opt_check"/></item>
 <item><widget class="QComboBox" name="mode_combo"/></item>
 <item><widget class="QSlider" name="deng_light_slider"><property name="orientation"><enum>Qt::Horizontal</enum></property></widget></item>
 <item><widget class="QLineEdit" name="deng_edit_R"/></item>
 <item><widget class="FancyButton" name="fancy_1"/></item>
 <item><widget class="NoSuchClass" name="mystery"/></item>
</layout></widget></ui>
)";

class AdapterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        WriteFile(m_dir.filePath("res.xml"),
                  R"(<Resources><Resource name="XML_MAIN" file="layouts/main.ui"/></Resources>)");
        WriteFile(m_dir.filePath("layouts/main.ui"), kLayout);
        ASSERT_TRUE(m_res.Load(m_dir.path()));
        ASSERT_TRUE(m_wnd.LoadLayout(m_res, "XML_MAIN"));
    }
    QTemporaryDir m_dir;
    ResourceList m_res;
    RecordingWindow m_wnd;
};

} // namespace

TEST(ResourceList, ResolvesNamesAndRefusesPathsOutsideTheSkin) {
    QTemporaryDir dir;
    WriteFile(
        dir.filePath("res.xml"),
        R"(<Resources><Resource name="XML_MAIN" file="main.ui"/><Resource name="EVIL" file="../../etc/passwd"/></Resources>)");
    ResourceList res;
    ASSERT_TRUE(res.Load(dir.path()));
    EXPECT_EQ(res.Resolve("XML_MAIN"), QDir(dir.path()).absoluteFilePath("main.ui"));
    // Unlisted names are skin-relative paths, backslashes allowed.
    EXPECT_EQ(res.Resolve("XML\\CustomControlXML\\x.xml"),
              QDir(dir.path()).absoluteFilePath("XML/CustomControlXML/x.xml"));
    EXPECT_TRUE(res.Resolve("EVIL").isEmpty());
    EXPECT_TRUE(res.Resolve("../outside.ui").isEmpty());
    EXPECT_TRUE(res.Resolve("/etc/passwd").isEmpty());
}

TEST(ResourceList, MissingOrMalformedListIsEmpty) {
    QTemporaryDir dir;
    ResourceList res;
    EXPECT_FALSE(res.Load(dir.path()));
    WriteFile(dir.filePath("res.xml"), "<Resources><Resource name=\"A\" file=\"a.ui\"></Resources");
    EXPECT_FALSE(res.Load(dir.path()));
    EXPECT_EQ(res.Count(), 0);
}

TEST(LanguageTexts, LoadsStringsAndKeepsOldTextsOnBadFiles) {
    QTemporaryDir dir;
    WriteFile(dir.filePath("en.json"), R"({"a":"Alpha","n":5,"zh":"中文"})");
    WriteFile(dir.filePath("bad.json"), R"({"a":"Broken")");
    WriteFile(dir.filePath("array.json"), R"(["a","b"])");
    LanguageTexts t;
    ASSERT_TRUE(t.LoadFile(dir.filePath("en.json")));
    EXPECT_EQ(t.Text("a"), "Alpha");
    EXPECT_EQ(t.Text("zh"), QString::fromUtf8("中文"));
    EXPECT_FALSE(t.Has("n"));
    EXPECT_EQ(t.Text("missing_key"), "missing_key");
    EXPECT_FALSE(t.LoadFile(dir.filePath("bad.json")));
    EXPECT_FALSE(t.LoadFile(dir.filePath("array.json")));
    EXPECT_FALSE(t.LoadFile(dir.filePath("absent.json")));
    EXPECT_EQ(t.Text("a"), "Alpha");
}

TEST(Theme, PixelSizesFollowTheScale) {
    EXPECT_EQ(ScaleStyleSheet("a { padding: 12px 4px; border: 1px solid; }", 144),
              "a { padding: 18px 6px; border: 2px solid; }");
    EXPECT_EQ(ScaleStyleSheet("a { border: 1px; margin: 0px; }", 48), "a { border: 1px; margin: 0px; }");
    EXPECT_EQ(ScaleStyleSheet("a { width: 10px; }", 96), "a { width: 10px; }");
    // Names that merely contain digits and "px" stay as they are.
    EXPECT_EQ(ScaleStyleSheet("QLabel#box12px { width: 2px; }", 192), "QLabel#box12px { width: 4px; }");
}

TEST(FontTable, IndicesSizesAndStyles) {
    FontTable fonts;
    fonts.Rebuild();
    EXPECT_EQ(fonts.RebuildCount(), 1);
    EXPECT_EQ(fonts.Font(FontTable::kDefault).pixelSize(), 13);
    EXPECT_EQ(fonts.Font(3).pixelSize(), 30);
    EXPECT_TRUE(fonts.Font(1).underline());
    EXPECT_TRUE(fonts.Font(50).bold());
    EXPECT_FALSE(fonts.Font(0).bold());
    EXPECT_EQ(fonts.Font(10).pixelSize(), 10);
    EXPECT_EQ(fonts.Font(3, 144).pixelSize(), 45);
    EXPECT_EQ(fonts.Font(12).pixelSize(), 13) << "an unknown index falls back to the default font";
    EXPECT_EQ(fonts.Font(0).families().value(0), FontTable::Face());
}

TEST_F(AdapterTest, SignalsBecomeNotificationsWithTheControlName) {
    auto* key = qobject_cast<QPushButton*>(m_wnd.FindControl("key_12"));
    ASSERT_NE(key, nullptr);
    key->click();
    EXPECT_EQ(m_wnd.Count("click", "key_12"), 1);

    auto* check = qobject_cast<QCheckBox*>(m_wnd.FindControl("opt_check"));
    check->click();
    ASSERT_EQ(m_wnd.Count("selectchanged", "opt_check"), 1);
    EXPECT_EQ(m_wnd.Count("click", "opt_check"), 1);
    const UiNotify& selected = *std::find_if(m_wnd.seen.begin(), m_wnd.seen.end(),
                                             [](const UiNotify& m) { return m.type == "selectchanged"; });
    EXPECT_EQ(selected.wParam, 1);
    EXPECT_EQ(selected.sender, check);

    auto* combo = qobject_cast<QComboBox*>(m_wnd.FindControl("mode_combo"));
    combo->addItems({"a", "b", "c"});
    combo->setCurrentIndex(2); // filling a list raises nothing
    EXPECT_EQ(m_wnd.Count("itemselect", "mode_combo"), 0);
    emit combo->activated(1);
    ASSERT_EQ(m_wnd.Count("itemselect", "mode_combo"), 1);
    EXPECT_EQ(m_wnd.seen.back().wParam, 1);

    auto* slider = qobject_cast<QSlider*>(m_wnd.FindControl("deng_light_slider"));
    slider->setValue(42);
    ASSERT_EQ(m_wnd.Count("valuechanged", "deng_light_slider"), 1);
    EXPECT_EQ(m_wnd.seen.back().wParam, 42);
    slider->setSliderDown(true);
    slider->setValue(43);
    EXPECT_EQ(m_wnd.Count("movevaluechanged", "deng_light_slider"), 1);

    auto* edit = qobject_cast<QLineEdit*>(m_wnd.FindControl("deng_edit_R"));
    emit edit->returnPressed();
    EXPECT_EQ(m_wnd.Count("return", "deng_edit_R"), 1);
    edit->setText("programmatic"); // only the user's edits count
    EXPECT_EQ(m_wnd.Count("textchanged", "deng_edit_R"), 0);
}

TEST_F(AdapterTest, CustomClassesComeFromCreateControlAndRaiseTheirOwnNotifications) {
    EXPECT_TRUE(m_wnd.createdClasses.contains("FancyButton"));
    auto* fancy = qobject_cast<QPushButton*>(m_wnd.FindControl("fancy_1"));
    ASSERT_NE(fancy, nullptr);
    EXPECT_TRUE(fancy->property("fancy").toBool());
    fancy->click();
    EXPECT_EQ(m_wnd.Count("click", "fancy_1"), 0) << "custom controls are not wired twice";
    EXPECT_TRUE(RaiseNotify(fancy, "click_select_end", 3, 4));
    ASSERT_EQ(m_wnd.Count("click_select_end", "fancy_1"), 1);
    EXPECT_EQ(m_wnd.seen.back().lParam, 4);

    // An unknown class keeps its name and place as an empty container.
    QWidget* mystery = m_wnd.FindControl("mystery");
    ASSERT_NE(mystery, nullptr);
    EXPECT_EQ(mystery->property("layoutClass").toString(), "NoSuchClass");
}

TEST_F(AdapterTest, RaiseByNameReachesNotifyAndFindSubControlLooksBelowOnly) {
    EXPECT_TRUE(m_wnd.RaiseByName("key_12", "click", 7));
    EXPECT_EQ(m_wnd.Count("click", "key_12"), 1);
    EXPECT_FALSE(m_wnd.RaiseByName("no_such_control", "click"));
    QWidget* root = m_wnd.Root();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(UiWindow::FindSubControlByName(root, "opt_check"), m_wnd.FindControl("opt_check"));
    EXPECT_EQ(UiWindow::FindSubControlByName(m_wnd.FindControl("opt_check"), "key_12"), nullptr);
    QWidget orphan;
    EXPECT_FALSE(RaiseNotify(&orphan, "click")) << "no window owns it";
    EXPECT_FALSE(RaiseNotify(nullptr, "click"));
}

TEST_F(AdapterTest, TimersRepeatOnTheUiThreadUntilKilled) {
    QWidget* key = m_wnd.FindControl("key_12");
    m_wnd.SetTimer(key, 1001, 5);
    EXPECT_TRUE(m_wnd.HasTimer(key, 1001));
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_wnd.Count("timer", "key_12") >= 2; }, 2000));
    for (const UiNotify& m : m_wnd.seen) {
        if (m.type == "timer") {
            EXPECT_EQ(m.wParam, 1001);
        }
    }
    m_wnd.KillTimer(key, 1001);
    EXPECT_FALSE(m_wnd.HasTimer(key, 1001));
    int before = m_wnd.Count("timer", "key_12");
    QTest::qWait(40);
    EXPECT_EQ(m_wnd.Count("timer", "key_12"), before);

    // A control that goes away takes its timers with it.
    QWidget* check = m_wnd.FindControl("opt_check");
    m_wnd.SetTimer(check, 1000, 5);
    delete check;
    EXPECT_FALSE(m_wnd.HasTimer(check, 1000));
    QTest::qWait(30);
    EXPECT_EQ(m_wnd.Count("timer", "opt_check"), 0);
}

TEST_F(AdapterTest, TextsFontsAndScaleReachTheControls) {
    QTemporaryDir dir;
    WriteFile(dir.filePath("en.json"), R"({"hello_key":"Hello","tip_key":"A tip"})");
    WriteFile(dir.filePath("zh.json"), R"({"hello_key":"你好"})");
    LanguageTexts texts;
    ASSERT_TRUE(texts.LoadFile(dir.filePath("en.json")));
    m_wnd.ReloadText(texts);
    auto* key = qobject_cast<QPushButton*>(m_wnd.FindControl("key_12"));
    EXPECT_EQ(key->text(), "Hello");
    EXPECT_EQ(key->toolTip(), "A tip");
    ASSERT_TRUE(texts.LoadFile(dir.filePath("zh.json")));
    m_wnd.ReloadText(texts);
    EXPECT_EQ(key->text(), QString::fromUtf8("你好"));
    EXPECT_EQ(key->toolTip(), "tip_key");

    FontTable fonts;
    fonts.Rebuild();
    m_wnd.ApplyFonts(fonts);
    EXPECT_EQ(key->font().pixelSize(), 30);
    m_wnd.SetScale(144);
    EXPECT_EQ(key->font().pixelSize(), 45);
    EXPECT_EQ(key->minimumSize(), QSize(60, 30));
    m_wnd.SetScale(96);
    EXPECT_EQ(key->minimumSize(), QSize(40, 20)) << "scaling starts from the layout's sizes each time";
}

TEST(ControlFactory, ClassNamesAreComparedWithoutCase) {
    ControlFactory f;
    EXPECT_FALSE(f.Register("", [](QWidget* p) { return new QWidget(p); }));
    ASSERT_TRUE(f.Register("DeviceKeyButton", [](QWidget* p) { return new QLabel(p); }));
    EXPECT_TRUE(f.Knows("devicekeybutton"));
    std::unique_ptr<QWidget> w(f.Create("DEVICEKEYBUTTON", nullptr));
    EXPECT_NE(qobject_cast<QLabel*>(w.get()), nullptr);
    EXPECT_EQ(f.Create("SelectPanel", nullptr), nullptr);
}

TEST(MenuLayout, ItemsAreNamedAndReportTheirChoice) {
    QTemporaryDir dir;
    WriteFile(
        dir.filePath("menu.xml"),
        R"(<Menu><Item name="setwnd_menu" textKey="s"/><Separator/><Item name="exit" textKey="e"/><Item textKey="nameless"/></Menu>)");
    QStringList chosen;
    auto menu = BuildMenu(dir.filePath("menu.xml"), [&](const QString& item) { chosen << item; });
    ASSERT_NE(menu, nullptr);
    QAction* exitAction = menu->findChild<QAction*>("exit");
    ASSERT_NE(exitAction, nullptr);
    EXPECT_EQ(exitAction->property("textKey").toString(), "e");
    exitAction->trigger();
    EXPECT_EQ(chosen, QStringList{"exit"});
    EXPECT_EQ(menu->actions().size(), 3) << "two items and a separator; the nameless item is dropped";
    EXPECT_EQ(BuildMenu(dir.filePath("absent.xml"), nullptr), nullptr);
}

TEST(UiWindowImages, ImagesAreDrawnAtTheScaledSize) {
    QTemporaryDir dir;
    WriteFile(
        dir.filePath("img/dot.svg"),
        R"(<svg xmlns="http://www.w3.org/2000/svg" width="8" height="4"><rect width="8" height="4" fill="#f00"/></svg>)");
    WriteFile(dir.filePath("pic.ui"), R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0"><class>root</class><widget class="QWidget" name="root"><layout class="QVBoxLayout" name="l">
 <item><widget class="QLabel" name="pic">
   <property name="image" stdset="0"><string>img/dot.svg</string></property>
   <property name="minimumSize"><size><width>20</width><height>10</height></size></property>
 </widget></item>
 <item><widget class="QLabel" name="natural"><property name="image" stdset="0"><string>img/dot.svg</string></property></widget></item>
</layout></widget></ui>)");
    UiWindow wnd;
    ResourceList res;
    res.Load(dir.path());
    ASSERT_TRUE(wnd.LoadLayout(res, "pic.ui"));
    auto* pic = qobject_cast<QLabel*>(wnd.FindControl("pic"));
    ASSERT_NE(pic, nullptr);
    ASSERT_FALSE(pic->pixmap().isNull());
    EXPECT_EQ(pic->pixmap().size(), QSize(20, 10));
    EXPECT_EQ(qobject_cast<QLabel*>(wnd.FindControl("natural"))->pixmap().size(), QSize(8, 4));
    wnd.SetScale(144);
    EXPECT_EQ(pic->pixmap().size(), QSize(30, 15));
    EXPECT_EQ(qobject_cast<QLabel*>(wnd.FindControl("natural"))->pixmap().size(), QSize(12, 6));

    // A part built after the scale was set (a device's page when its device first comes) and then
    // adopted by the window is scaled once, not twice.
    QWidget* late = wnd.BuildLayout(dir.filePath("pic.ui"), nullptr);
    ASSERT_NE(late, nullptr);
    wnd.Adopt(late, nullptr);
    auto* latePic = late->findChild<QLabel*>(QStringLiteral("pic"));
    ASSERT_NE(latePic, nullptr);
    EXPECT_EQ(latePic->pixmap().size(), QSize(30, 15));
    EXPECT_EQ(latePic->minimumSize(), QSize(30, 15));
    EXPECT_EQ(late->findChild<QLabel*>(QStringLiteral("natural"))->pixmap().size(), QSize(12, 6));
    delete late;
}
