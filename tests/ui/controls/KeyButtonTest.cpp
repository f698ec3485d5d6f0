#include "ControlsTestSupport.h"

#include "ui/controls/DeviceKeyButtonUI.h"
#include "ui/controls/LiveColor.h"
#include "ui/controls/SkinImage.h"

#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace nk7x {
namespace {

class CountingKey : public CDeviceKeyButtonUI {
  public:
    using CDeviceKeyButtonUI::CDeviceKeyButtonUI;
    int paints = 0;

  protected:
    void paintEvent(QPaintEvent* e) override {
        ++paints;
        CDeviceKeyButtonUI::paintEvent(e);
    }
};

// Shows a key in a window and lets pending paints run, then zeroes its counter.
class KeyRepaint : public ::testing::Test {
  protected:
    void SetUp() override {
        window = std::make_unique<QWidget>();
        window->resize(120, 120);
        key = new CountingKey(window.get());
        key->setGeometry(10, 10, 60, 60);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        Settle();
        key->paints = 0;
    }
    static void Settle() {
        for (int i = 0; i < 3; ++i) {
            QApplication::processEvents();
            QTest::qWait(5);
        }
    }
    std::unique_ptr<QWidget> window;
    CountingKey* key = nullptr;
};

TEST_F(KeyRepaint, LiveColourRepaintsOnlyWhenItChanged) {
    EXPECT_TRUE(key->SetLiveColor(PackLiveColor(10, 20, 30), 128, true));
    Settle();
    EXPECT_GE(key->paints, 1);

    key->paints = 0;
    for (int i = 0; i < 20; ++i)
        EXPECT_FALSE(key->SetLiveColor(PackLiveColor(10, 20, 30), 128, true));
    Settle();
    EXPECT_EQ(key->paints, 0);

    // Each of the three values alone counts as a change.
    EXPECT_TRUE(key->SetLiveColor(PackLiveColor(10, 20, 31), 128, true));
    EXPECT_TRUE(key->SetLiveColor(PackLiveColor(10, 20, 31), 127, true));
    EXPECT_TRUE(key->SetLiveColor(PackLiveColor(10, 20, 31), 127, false));
    Settle();
    EXPECT_GE(key->paints, 1);
}

TEST_F(KeyRepaint, KeySetImageHiddenWithTheCurrentValueDoesNotRepaint) {
    ASSERT_TRUE(key->IsKeySetImageHidden());
    key->SetKeySetImageHidden(true);
    key->SetDragSelected(false);
    Settle();
    EXPECT_EQ(key->paints, 0);
    key->SetKeySetImageHidden(false);
    Settle();
    EXPECT_GE(key->paints, 1);
}

TEST(KeyButton, StartsAsTheDeviceTableSays) {
    CDeviceKeyButtonUI key;
    EXPECT_EQ(key.LiveColor(), 255u);
    EXPECT_EQ(key.Brightness(), 200);
    EXPECT_FALSE(key.IsLightShown());
    EXPECT_TRUE(key.IsKeySetImageHidden());
    EXPECT_FALSE(key.IsDragSelected());
    EXPECT_TRUE(key.LightImage().isEmpty());
    // Brightness beyond 0..255 is held at the nearest end.
    key.SetLiveColor(1, 999, true);
    EXPECT_EQ(key.Brightness(), 255);
    key.SetLiveColor(1, -4, true);
    EXPECT_EQ(key.Brightness(), 0);
    EXPECT_TRUE(key.SetAttribute(QStringLiteral("gmnametextcolor"), QStringLiteral("#ffffff")));
    EXPECT_TRUE(key.SetAttribute(QStringLiteral("lightimage"), QStringLiteral("light.svg")));
    EXPECT_EQ(key.LightImage(), QStringLiteral("light.svg"));
    EXPECT_FALSE(key.SetAttribute(QStringLiteral("nosuch"), QString()));
}

TEST(KeyButton, LiveColourPackingHasBlueInTheMiddleByte) {
    EXPECT_EQ(PackLiveColor(0x11, 0x22, 0x33), 0x223311u);
    EXPECT_EQ(LiveColorToQColor(0x223311u), QColor(0x11, 0x22, 0x33));
}

class KeyPainting : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        light = test::WriteSolidSvg(dir, QStringLiteral("light.svg"), Qt::white);
        keyset = test::WriteSolidSvg(dir, QStringLiteral("keyset.svg"), QColor(255, 0, 255));
        key.resize(60, 60);
        key.setStyleSheet(QStringLiteral("QPushButton { background: #000000; border: none; }"));
    }
    QColor Centre() {
        const QImage img = key.grab().toImage();
        return img.pixelColor(img.width() / 2, img.height() / 2);
    }
    QTemporaryDir dir;
    QString light;
    QString keyset;
    CDeviceKeyButtonUI key;
};

TEST_F(KeyPainting, LightImageIsTintedInTheLiveColourAtItsBrightness) {
    key.SetLightImage(light);
    key.SetLiveColor(PackLiveColor(0, 0, 255), 255, true);
    EXPECT_TRUE(test::Near(Centre(), QColor(0, 0, 255))) << Centre().name().toStdString();
    key.SetLiveColor(PackLiveColor(0, 255, 0), 255, true);
    EXPECT_TRUE(test::Near(Centre(), QColor(0, 255, 0))) << Centre().name().toStdString();
    // Half brightness over the black cap gives half the colour.
    key.SetLiveColor(PackLiveColor(0, 255, 0), 128, true);
    EXPECT_TRUE(test::Near(Centre(), QColor(0, 128, 0), 16)) << Centre().name().toStdString();
    key.SetLiveColor(PackLiveColor(0, 255, 0), 255, false);
    EXPECT_TRUE(test::Near(Centre(), QColor(0, 0, 0))) << Centre().name().toStdString();
}

TEST_F(KeyPainting, WithoutLightImageTheCapGlowsInTheColour) {
    key.SetLiveColor(PackLiveColor(255, 0, 0), 255, true);
    EXPECT_TRUE(test::Near(Centre(), QColor(255, 0, 0))) << Centre().name().toStdString();
}

TEST_F(KeyPainting, KeySetImageIsDrawnOverTheLightUnlessHidden) {
    key.SetLightImage(light);
    key.SetKeySetImage(keyset);
    key.SetLiveColor(PackLiveColor(0, 0, 255), 255, true);
    // Hidden (the key keeps its own assignment): only the light shows.
    EXPECT_TRUE(test::Near(Centre(), QColor(0, 0, 255))) << Centre().name().toStdString();
    key.SetKeySetImageHidden(false);
    EXPECT_TRUE(test::Near(Centre(), QColor(255, 0, 255))) << Centre().name().toStdString();
}

TEST_F(KeyPainting, MissingImagesFallBackWithoutFailing) {
    key.SetLightImage(QStringLiteral("file='no/such/light.svg'"));
    key.SetKeySetImage(QStringLiteral("no_such.png"));
    key.SetKeySetImageHidden(false);
    key.SetLiveColor(PackLiveColor(255, 0, 0), 255, true);
    EXPECT_TRUE(test::Near(Centre(), QColor(255, 0, 0))) << Centre().name().toStdString();
}

TEST_F(KeyPainting, KeptLayersFollowTheStyleTheSizeAndTheDragMark) {
    key.SetLiveColor(PackLiveColor(255, 0, 0), 255, false);
    EXPECT_TRUE(test::Near(Centre(), QColor(0, 0, 0))) << Centre().name().toStdString();
    key.setStyleSheet(QStringLiteral("QPushButton { background: #ffffff; border: none; }"));
    EXPECT_TRUE(test::Near(Centre(), QColor(255, 255, 255))) << Centre().name().toStdString();
    key.resize(90, 40);
    QImage img = key.grab().toImage();
    EXPECT_EQ(img.size(), QSize(90, 40));
    EXPECT_TRUE(test::Near(img.pixelColor(85, 35), QColor(255, 255, 255)));

    key.setStyleSheet(QStringLiteral("QPushButton { background: #000000; border: none; }"));
    auto edge = [&] { return key.grab().toImage().pixelColor(1, 20); };
    EXPECT_TRUE(test::Near(edge(), QColor(0, 0, 0))) << edge().name().toStdString();
    key.SetDragSelected(true);
    EXPECT_GT(edge().lightness(), 150) << edge().name().toStdString();
    key.SetDragSelected(false);
    EXPECT_TRUE(test::Near(edge(), QColor(0, 0, 0))) << edge().name().toStdString();
    // The light between the layers still changes on its own.
    key.SetLiveColor(PackLiveColor(0, 255, 0), 255, true);
    EXPECT_TRUE(test::Near(Centre(), QColor(0, 255, 0))) << Centre().name().toStdString();
}

TEST(KeyButtonEvents, ClickAndDoubleClickReachTheWindow) {
    test::Recorder window;
    auto* key = new CDeviceKeyButtonUI(&window);
    key->setObjectName(QStringLiteral("key_12"));
    key->setGeometry(0, 0, 40, 40);
    window.show();
    QTest::mouseClick(key, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    test::SendMouse(key, QEvent::MouseButtonDblClick, QPoint(20, 20), Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(key->isDown());
    test::Release(key, QPoint(20, 20));
    EXPECT_EQ(window.Types(),
              (QStringList{QStringLiteral("click"), QStringLiteral("dbclick"), QStringLiteral("click")}));
    EXPECT_EQ(window.got[1].name, QStringLiteral("key_12"));

    key->setEnabled(false);
    window.got.clear();
    test::SendMouse(key, QEvent::MouseButtonDblClick, QPoint(20, 20), Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(window.got.empty());
}

} // namespace
} // namespace nk7x
