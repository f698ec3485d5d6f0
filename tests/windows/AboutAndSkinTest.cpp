// The about window's version line, the skin picker's tiles and what they write, the notifier, and
// the main window's background that follows them.
#include "WindowsTestSupport.h"

#include "app/WindowBackground.h"
#include "platform/SettingsStore.h"
#include "update/AppVersion.h"
#include "windows/AboutWnd.h"
#include "windows/SkinFrame.h"
#include "windows/SkinNotifier.h"
#include "windows/SkinSettings.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <vector>

namespace nk7x::test {
namespace {

struct Collector : SkinChangedReceiver {
    void ReceiveSkinChange(const SkinChangedParam& param) override { got.push_back(param); }
    std::vector<SkinChangedParam> got;
};

class WindowsFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        UseLanguage(LanguageFile("lan_en.json"));
        CSkinFrame::SetSettingsFile(Ini());
    }
    void TearDown() override {
        CSkinFrame::SetSettingsFile(QString());
        CSkinFrame::SetPictureChooser(nullptr);
        SetMsgWndSetup({});
    }
    QString Ini() const { return m_dir.path() + QStringLiteral("/main.ini"); }
    std::optional<std::string> IniValue(const char* value) const {
        return SettingsStore(Ini().toStdString()).ReadString("SKINIMAGE", value);
    }

    QTemporaryDir m_dir;
};

TEST_F(WindowsFixture, AboutShowsTheTranslatedVersionLineAndCloses) {
    QPointer<CAboutWnd> about = new CAboutWnd(nullptr);
    ASSERT_TRUE(about->Build());
    const QString expected =
        QStringLiteral("Software version: V") + QString::fromLatin1(ApplicationVersionText());
    EXPECT_EQ(about->VersionLine(), expected);
    EXPECT_EQ(qobject_cast<QLabel*>(about->FindControl(QStringLiteral("software_ver_label")))->text(),
              expected);
    EXPECT_FALSE(about->FindControl(QStringLiteral("text_test"))->isVisible());
    about->show();
    SaveScreenshot(about, "screenshot-about");
    // Another language: the same version, other words.
    UseLanguage(LanguageFile("lan_zh.json"));
    about->RebuildTexts();
    EXPECT_TRUE(about->VersionLine().endsWith(QString::fromLatin1(ApplicationVersionText())));
    EXPECT_NE(about->VersionLine(), expected);
    QTest::mouseClick(qobject_cast<QAbstractButton*>(about->FindControl(QStringLiteral("closebtn"))),
                      Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return about.isNull(); }, 2000));
}

TEST_F(WindowsFixture, SkinTilesBroadcastAndOnlyPicturesAreWritten) {
    Collector collector;
    collector.ListenToSkinChanges();
    QWidget owner;
    owner.resize(400, 300);
    auto* button = new QPushButton(&owner);
    button->setGeometry(300, 10, 34, 28);
    owner.show();

    QPointer<CSkinFrame> frame = new CSkinFrame(button);
    ASSERT_TRUE(frame->Build());
    frame->show();
    // Hangs from the button: right edges level, top at the button's bottom.
    const QPoint corner = button->mapToGlobal(QPoint(button->width(), button->height()));
    EXPECT_EQ(frame->geometry().right() + 1, corner.x());
    EXPECT_EQ(frame->geometry().top(), corner.y());
    SaveScreenshot(frame, "screenshot-skin");

    const auto pictures = frame->findChildren<QAbstractButton*>(QStringLiteral("skin_image_btn"));
    ASSERT_GE(pictures.size(), 4);
    for (QAbstractButton* tile : pictures) {
        const QString path = SourceSkin() + QLatin1Char('/') + tile->property("userData").toString();
        EXPECT_FALSE(QImage(path).isNull()) << path.toStdString();
    }
    QTest::mouseClick(pictures[1], Qt::LeftButton);
    ASSERT_EQ(collector.got.size(), 1u);
    EXPECT_FALSE(collector.got[0].isColor);
    EXPECT_EQ(collector.got[0].picture, pictures[1]->property("userData").toString());
    EXPECT_EQ(IniValue("FLAGS"), "1");
    EXPECT_EQ(IniValue("IMAGE"), pictures[1]->property("userData").toString().toStdString());

    // Colours: the other page, a broadcast, nothing written.
    QTest::mouseClick(qobject_cast<QAbstractButton*>(frame->FindControl(QStringLiteral("skin_color"))),
                      Qt::LeftButton);
    EXPECT_EQ(qobject_cast<QStackedWidget*>(frame->FindControl(QStringLiteral("skin_tab")))->currentIndex(),
              1);
    const auto colours = frame->findChildren<QAbstractButton*>(QStringLiteral("skin_color_btn"));
    ASSERT_GE(colours.size(), 4);
    QTest::mouseClick(colours[2], Qt::LeftButton);
    ASSERT_EQ(collector.got.size(), 2u);
    EXPECT_TRUE(collector.got[1].isColor);
    EXPECT_EQ(QColor::fromRgba(collector.got[1].color),
              QColor(colours[2]->property("backgroundColor").toString()));
    EXPECT_EQ(IniValue("FLAGS"), "1") << "a colour is not written";

    QTest::mouseClick(qobject_cast<QAbstractButton*>(frame->FindControl(QStringLiteral("skin_reset"))),
                      Qt::LeftButton);
    ASSERT_EQ(collector.got.size(), 3u);
    EXPECT_EQ(collector.got[2].picture, "common/background.png");
    EXPECT_EQ(IniValue("FLAGS"), "0");
    EXPECT_EQ(IniValue("IMAGE"), "common/background.png");
    frame->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame.isNull(); }, 2000));
}

TEST_F(WindowsFixture, CustomPictureCancelChangesNothingAndAChoiceIsKept) {
    Collector collector;
    collector.ListenToSkinChanges();
    QWidget owner;
    auto* button = new QPushButton(&owner);
    owner.show();
    QString answer;
    CSkinFrame::SetPictureChooser([&answer](QWidget*) { return answer; });

    QPointer<CSkinFrame> frame = new CSkinFrame(button);
    ASSERT_TRUE(frame->Build());
    frame->show();
    frame->RaiseByName(QStringLiteral("skin_Custom"), QStringLiteral("click"));
    EXPECT_TRUE(collector.got.empty());
    EXPECT_FALSE(QFileInfo::exists(Ini()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame.isNull(); }, 2000)) << "the picker goes with the dialog";

    answer = m_dir.path() + QStringLiteral("/mine.png");
    QImage(8, 8, QImage::Format_RGB32).save(answer);
    frame = new CSkinFrame(button);
    ASSERT_TRUE(frame->Build());
    frame->RaiseByName(QStringLiteral("skin_Custom"), QStringLiteral("click"));
    ASSERT_EQ(collector.got.size(), 1u);
    EXPECT_EQ(collector.got[0].picture, answer);
    EXPECT_EQ(ReadChosenSkinPicture(Ini(), SourceSkin()), answer);
}

TEST_F(WindowsFixture, NotifierKeepsOrderAndForgetsReceiversThatGo) {
    const std::size_t before = SkinChangedObserver::Instance().Count();
    Collector first;
    first.ListenToSkinChanges();
    {
        Collector second;
        second.ListenToSkinChanges();
        second.ListenToSkinChanges();
        EXPECT_EQ(SkinChangedObserver::Instance().Count(), before + 2);
        SkinChangedObserver::Instance().Broadcast({true, 0xFF112233u, {}});
        EXPECT_EQ(second.got.size(), 1u);
    }
    EXPECT_EQ(SkinChangedObserver::Instance().Count(), before + 1);
    SkinChangedObserver::Instance().Broadcast({false, 0, QStringLiteral("x.png")});
    EXPECT_EQ(first.got.size(), 2u);
    first.StopListeningToSkinChanges();
    EXPECT_EQ(SkinChangedObserver::Instance().Count(), before);
}

TEST_F(WindowsFixture, BackgroundTakesColoursAndReadablePicturesOnly) {
    QWidget root;
    root.setObjectName(QStringLiteral("root"));
    WindowBackground background(&root, SourceSkin());
    QStringList refused;
    background.SetRefusedHandler([&refused](const QString& path) { refused << path; });

    background.ReceiveSkinChange({true, 0xFF2F6BFFu, {}});
    EXPECT_EQ(background.Color(), 0xFF2F6BFFu);
    EXPECT_TRUE(root.styleSheet().contains("#ff2f6bff")) << root.styleSheet().toStdString();

    background.ReceiveSkinChange({false, 0, QStringLiteral("backgrounds/teal.png")});
    EXPECT_EQ(background.Color(), 0u);
    EXPECT_TRUE(root.styleSheet().contains(SourceSkin() + "/backgrounds/teal.png"));

    // Not a picture, missing, or a name that would end the style sheet's quotes: refused, kept as it was.
    const QString text = m_dir.path() + QStringLiteral("/notes.png");
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a picture");
    f.close();
    const QString quoted = m_dir.path() + QStringLiteral("/a\").png");
    QImage(4, 4, QImage::Format_RGB32).save(quoted, "PNG");
    for (const QString& bad : {text, m_dir.path() + QStringLiteral("/missing.png"), quoted})
        background.ReceiveSkinChange({false, 0, bad});
    EXPECT_EQ(refused.size(), 3);
    EXPECT_EQ(background.Picture(), "backgrounds/teal.png");

    // The stored choice comes back at the next start; a colour never does.
    ASSERT_TRUE(WriteSkinPicture(Ini(), true, QStringLiteral("backgrounds/violet.png")));
    QWidget root2;
    WindowBackground next(&root2, SourceSkin());
    next.ApplyStored(Ini());
    EXPECT_EQ(next.Picture(), "backgrounds/violet.png");
    ASSERT_TRUE(WriteSkinPicture(Ini(), false, QStringLiteral("common/background.png")));
    QWidget root3;
    WindowBackground fresh(&root3, SourceSkin());
    fresh.ApplyStored(Ini());
    EXPECT_EQ(fresh.Picture(), "");
    EXPECT_EQ(root3.styleSheet(), "");
}

} // namespace
} // namespace nk7x::test
