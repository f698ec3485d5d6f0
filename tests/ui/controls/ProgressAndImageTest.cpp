#include "ControlsTestSupport.h"

#include "ui/controls/CircleProgressUI.h"
#include "ui/controls/HandImgButtonUI.h"
#include "ui/controls/HandImgSelectButtonUI.h"
#include "ui/controls/ImageString.h"
#include "ui/controls/SkinImage.h"

#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

namespace nk7x {
namespace {

TEST(CircleProgress, SweepFollowsTheShareOfTheRange) {
    EXPECT_EQ(CCircleProgressUI::SweepDegrees(25, 0, 100), 90);
    EXPECT_EQ(CCircleProgressUI::SweepDegrees(0, 0, 100), 0);
    EXPECT_EQ(CCircleProgressUI::SweepDegrees(50, 0, 100), 180);
    EXPECT_EQ(CCircleProgressUI::SweepDegrees(100, 0, 100), 360);
    EXPECT_EQ(CCircleProgressUI::SweepDegrees(33, 0, 100), 118); // 118.8 truncated
    EXPECT_EQ(CCircleProgressUI::SweepDegrees(1, 0, 7), 51);     // 51.4 truncated
    // The range need not start at 0.
    EXPECT_EQ(CCircleProgressUI::SweepDegrees(150, 100, 200), 180);
    EXPECT_EQ(CCircleProgressUI::SweepDegrees(100, 100, 200), 0);
    EXPECT_EQ(CCircleProgressUI::SweepDegrees(-50, -100, 0), 180);
    // Values outside the range and empty ranges stay within a circle.
    EXPECT_EQ(CCircleProgressUI::SweepDegrees(500, 0, 100), 360);
    EXPECT_EQ(CCircleProgressUI::SweepDegrees(-5, 0, 100), 0);
    EXPECT_EQ(CCircleProgressUI::SweepDegrees(5, 10, 10), 0);
    EXPECT_EQ(CCircleProgressUI::SweepDegrees(INT_MAX, INT_MIN, INT_MAX), 360);
}

TEST(CircleProgress, PieStartsAtTheBottomAndRunsClockwise) {
    CCircleProgressUI ring;
    ring.resize(100, 100);
    ring.SetBkColor(QColor(0, 0, 255));
    ring.SetForeColor(QColor(255, 0, 0));
    ring.setRange(0, 100);
    ring.setValue(25);
    EXPECT_EQ(ring.SweepDegrees(), 90);
    const QImage img = ring.grab().toImage();
    const auto at = [&](double clockwiseFromBottom) {
        // A point in the middle of the ring, measured on screen from 6 o'clock clockwise.
        const double a = clockwiseFromBottom * M_PI / 180.0;
        const double r = 45;
        return img.pixelColor(int(50 - r * std::sin(a)), int(50 + r * std::cos(a)));
    };
    EXPECT_TRUE(test::Near(at(45), QColor(255, 0, 0))) << "bottom-left is reached";
    EXPECT_TRUE(test::Near(at(135), QColor(0, 0, 255))) << "top-left is not";
    EXPECT_TRUE(test::Near(at(315), QColor(0, 0, 255))) << "bottom-right is not";
    EXPECT_TRUE(test::Near(img.pixelColor(50, 50), Qt::white)) << "the inner disc leaves a ring";

    ring.setValue(100);
    const QImage full = ring.grab().toImage();
    EXPECT_TRUE(test::Near(full.pixelColor(50, 95), QColor(255, 0, 0)));
    EXPECT_TRUE(test::Near(full.pixelColor(50, 5), QColor(255, 0, 0)));
}

TEST(ImageStringParse, ReadsTheKeysLayoutsUse) {
    ImageString s;
    ASSERT_TRUE(ParseImageString(QStringLiteral("file='keys/a b.svg' dest='1,2,30,40' source='0,0,10,12' "
                                                "corner='2,3,4,5' fade='128' xtiled='true' hole='true' "
                                                "mask='0xffff00ff' restype='PNG' hsl='true' unknown='x'"),
                                 &s));
    EXPECT_EQ(s.file, QStringLiteral("keys/a b.svg"));
    EXPECT_TRUE(s.hasDest);
    EXPECT_EQ(s.dest, (EdgeRect{1, 2, 30, 40}));
    EXPECT_TRUE(s.hasSource);
    EXPECT_EQ(s.source, (EdgeRect{0, 0, 10, 12}));
    EXPECT_EQ(s.corner, QMargins(2, 3, 4, 5));
    EXPECT_EQ(s.fade, 128);
    EXPECT_TRUE(s.xTiled);
    EXPECT_FALSE(s.yTiled);
    EXPECT_TRUE(s.hole);
    EXPECT_TRUE(s.hasMask);
    EXPECT_EQ(s.mask, QColor(255, 0, 255));
    EXPECT_EQ(s.resType, QStringLiteral("PNG"));

    ASSERT_TRUE(ParseImageString(QStringLiteral("  plain.png "), &s));
    EXPECT_EQ(s.file, QStringLiteral("plain.png"));
    EXPECT_FALSE(s.hasDest);
}

TEST(ImageStringParse, BadTextNeverLeavesHalfValues) {
    ImageString s;
    EXPECT_FALSE(ParseImageString(QString(), &s));
    EXPECT_FALSE(ParseImageString(QStringLiteral("dest='1,2,3,4'"), &s));
    ASSERT_TRUE(ParseImageString(
        QStringLiteral("file='a.png' dest='1,2,3' source='a,b,c,d' fade='900' corner='-1,0,0,0'"), &s));
    EXPECT_FALSE(s.hasDest);
    EXPECT_FALSE(s.hasSource);
    EXPECT_EQ(s.fade, 255);
    EXPECT_TRUE(s.corner.isNull());
    ASSERT_TRUE(ParseImageString(QStringLiteral("file='open.png' dest='99999999999,0,1,1"), &s));
    EXPECT_EQ(s.file, QStringLiteral("open.png"));
    EXPECT_FALSE(s.hasDest);
    EXPECT_EQ(FormatSourceImageString(QStringLiteral("h.png"), EdgeRect{1, 2, 3, 4}),
              QStringLiteral("file='h.png' source='1,2,3,4'"));
}

TEST(ImageStringDraw, DestPlacesTheImageInsideTheControl) {
    QTemporaryDir dir;
    const QString red = test::WriteSolidSvg(dir, QStringLiteral("red.svg"), QColor(255, 0, 0));
    ImageString s;
    ASSERT_TRUE(ParseImageString(QStringLiteral("file='%1' dest='10,10,30,20'").arg(red), &s));
    EXPECT_EQ(ImageDestRect(QRect(100, 100, 50, 50), s), QRect(110, 110, 20, 10));
    // A dest beyond the control is cut at its edge.
    ASSERT_TRUE(ParseImageString(QStringLiteral("file='%1' dest='40,40,90,90'").arg(red), &s));
    EXPECT_EQ(ImageDestRect(QRect(0, 0, 50, 50), s), QRect(40, 40, 10, 10));

    QImage img(50, 50, QImage::Format_ARGB32);
    img.fill(Qt::black);
    {
        QPainter p(&img);
        ASSERT_TRUE(ParseImageString(QStringLiteral("file='%1' dest='10,10,30,20'").arg(red), &s));
        EXPECT_TRUE(DrawImageString(p, img.rect(), s));
        EXPECT_FALSE(DrawImageString(p, img.rect(), QStringLiteral("file='%1/none.svg'").arg(dir.path())));
    }
    EXPECT_EQ(img.pixelColor(15, 15), QColor(255, 0, 0));
    EXPECT_EQ(img.pixelColor(5, 5), QColor(0, 0, 0));
    EXPECT_EQ(img.pixelColor(35, 15), QColor(0, 0, 0));
}

class HandPan : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        image = test::WriteSolidPng(dir, QStringLiteral("hand.png"), QColor(20, 200, 90), 300, 200);
        button.resize(100, 60);
        button.show(); // a hidden widget receives its resize only when shown
        button.SetHandImage(image);
    }
    QTemporaryDir dir;
    QString image;
    CHandImgSelectButtonUI button;
};

TEST_F(HandPan, ImageLargerThanTheControlShowsAPartAtTheOrigin) {
    EXPECT_EQ(button.ImageSize(), QSize(300, 200));
    EXPECT_TRUE(button.IsCropped());
    EXPECT_EQ(button.SourceRect(), (EdgeRect{0, 0, 100, 60}));
    EXPECT_EQ(button.DrawnImageString(), QStringLiteral("file='%1' source='0,0,100,60'").arg(image));
}

TEST_F(HandPan, PanningFollowsThePointerUpToTheImageEdges) {
    // Already at the left and top edges: moving right and down changes nothing.
    button.PanBy(15, 10);
    EXPECT_EQ(button.SourceRect(), (EdgeRect{0, 0, 100, 60}));
    button.PanBy(-50, -30);
    EXPECT_EQ(button.SourceRect(), (EdgeRect{50, 30, 150, 90}));
    button.PanBy(-1000, -1000);
    EXPECT_EQ(button.SourceRect(), (EdgeRect{200, 140, 300, 200}));
    EXPECT_EQ(button.DrawnImageString(), QStringLiteral("file='%1' source='200,140,300,200'").arg(image));
    button.PanBy(20, 0);
    EXPECT_EQ(button.SourceRect(), (EdgeRect{180, 140, 280, 200}));
}

TEST_F(HandPan, DraggingPansAndReleaseStops) {
    test::Press(&button, QPoint(50, 30));
    EXPECT_TRUE(button.IsPanning());
    test::Move(&button, QPoint(40, 25));
    test::Move(&button, QPoint(30, 20));
    EXPECT_EQ(button.SourceRect(), (EdgeRect{20, 10, 120, 70}));
    test::Release(&button, QPoint(30, 20));
    EXPECT_FALSE(button.IsPanning());
    test::SendMouse(&button, QEvent::MouseMove, QPoint(0, 0), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(button.SourceRect(), (EdgeRect{20, 10, 120, 70}));

    button.setEnabled(false);
    test::Press(&button, QPoint(50, 30));
    EXPECT_FALSE(button.IsPanning());
}

TEST_F(HandPan, ResizingKeepsThePartInsideTheImage) {
    button.PanBy(-1000, -1000);
    button.resize(150, 100);
    EXPECT_EQ(button.SourceRect(), (EdgeRect{150, 100, 300, 200}));
    // A control as large as the image shows all of it.
    button.resize(300, 200);
    EXPECT_FALSE(button.IsCropped());
    EXPECT_EQ(button.DrawnImageString(), image);
    button.PanBy(-10, -10);
    EXPECT_EQ(button.SourceRect(), (EdgeRect{0, 0, 300, 200}));
}

TEST_F(HandPan, DrawsThePartShown) {
    const QString split = dir.filePath(QStringLiteral("split.png"));
    QImage img(200, 60, QImage::Format_ARGB32);
    img.fill(QColor(255, 0, 0));
    for (int y = 0; y < 60; ++y)
        for (int x = 100; x < 200; ++x)
            img.setPixelColor(x, y, QColor(0, 0, 255));
    ASSERT_TRUE(img.save(split));
    button.setStyleSheet(QStringLiteral("QPushButton { background: black; border: none; }"));
    button.SetHandImage(split);
    EXPECT_EQ(button.grab().toImage().pixelColor(50, 30), QColor(255, 0, 0));
    button.PanBy(-100, 0);
    EXPECT_EQ(button.grab().toImage().pixelColor(50, 30), QColor(0, 0, 255));
}

TEST(HandCursor, NamesMapToSystemCursors) {
    EXPECT_EQ(CHandImgSelectButtonUI::CursorShapeForName(QStringLiteral("hand")), Qt::PointingHandCursor);
    EXPECT_EQ(CHandImgSelectButtonUI::CursorShapeForName(QStringLiteral("SIZEWE")), Qt::SizeHorCursor);
    EXPECT_EQ(CHandImgSelectButtonUI::CursorShapeForName(QStringLiteral("sizenwse")), Qt::SizeFDiagCursor);
    EXPECT_EQ(CHandImgSelectButtonUI::CursorShapeForName(QStringLiteral("no")), Qt::ForbiddenCursor);
    EXPECT_FALSE(CHandImgSelectButtonUI::CursorShapeForName(QStringLiteral("pointer")).has_value());

    CHandImgSelectButtonUI b;
    EXPECT_TRUE(b.SetAttribute(QStringLiteral("cursor"), QStringLiteral("ibeam")));
    EXPECT_EQ(b.cursor().shape(), Qt::IBeamCursor);
    b.SetAttribute(QStringLiteral("cursor"), QStringLiteral("bogus"));
    EXPECT_EQ(b.cursor().shape(), Qt::IBeamCursor);
    EXPECT_TRUE(b.setProperty("cursor", QStringLiteral("cross")));
    EXPECT_EQ(b.cursor().shape(), Qt::CrossCursor);
    EXPECT_FALSE(b.SetAttribute(QStringLiteral("text"), QStringLiteral("x")));
}

TEST(HandButton, HoverNotificationsOnlyWhileEnabled) {
    test::Recorder window;
    auto* b = new CHandImgButtonUI(&window);
    b->setObjectName(QStringLiteral("hand_btn"));
    EXPECT_TRUE(b->setProperty("handimage", QStringLiteral("file='h.svg' dest='2,2,20,20'")));
    EXPECT_TRUE(b->SetAttribute(QStringLiteral("deletehotimage"), QStringLiteral("del_hot.svg")));
    EXPECT_EQ(b->DeleteHotImage(), QStringLiteral("del_hot.svg"));
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(b, &enter);
    QApplication::sendEvent(b, &leave);
    b->setEnabled(false);
    QApplication::sendEvent(b, &enter);
    QApplication::sendEvent(b, &leave);
    EXPECT_EQ(window.Types(), (QStringList{QStringLiteral("msenter"), QStringLiteral("msleave")}));
}

} // namespace
} // namespace nk7x
