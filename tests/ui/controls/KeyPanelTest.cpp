#include "ControlsTestSupport.h"

#include "ui/controls/DeviceKeyButtonUI.h"
#include "ui/controls/SelectPanelUI.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace nk7x {
namespace {

using test::Move;
using test::Press;
using test::Recorder;
using test::Release;

// A 400 x 300 key panel with keys placed around the rectangle (40, 80)-(100, 120).
class KeyPanel : public ::testing::Test {
  protected:
    void SetUp() override {
        window = std::make_unique<Recorder>();
        window->resize(400, 300);
        panel = new CSelectPanelUI(window.get());
        panel->setObjectName(QStringLiteral("key_panel"));
        panel->setGeometry(0, 0, 400, 300);
        Add("touch_left", QRect(10, 70, 30, 20));    // right edge at 40: touches only
        Add("overlap", QRect(50, 60, 20, 30));       // inside
        Add("touch_right", QRect(100, 100, 20, 20)); // left edge at 100: touches only
        Add("one_row", QRect(60, 119, 10, 10));      // shares the row 119
        Add("far", QRect(200, 200, 30, 30));
        Add("corner", QRect(370, 270, 30, 30));
        Add("hidden", QRect(60, 90, 10, 10))->hide();
        // A key in a nested container is not the panel's own child and is left alone.
        auto* group = new QWidget(panel);
        group->setGeometry(40, 80, 60, 40);
        nested = new CDeviceKeyButtonUI(group);
        nested->setGeometry(0, 0, 20, 20);
        window->show();
    }

    CDeviceKeyButtonUI* Add(const char* name, QRect r) {
        auto* key = new CDeviceKeyButtonUI(panel);
        key->setObjectName(QString::fromLatin1(name));
        key->setGeometry(r);
        keys[name] = key;
        return key;
    }

    std::map<std::string, bool> Selected() const {
        std::map<std::string, bool> s;
        for (const auto& [name, key] : keys)
            s[name] = key->IsDragSelected();
        return s;
    }

    void Drag(QPoint from, QPoint to) {
        Press(panel, from);
        Move(panel, (from + to) / 2);
        Move(panel, to);
        Release(panel, to);
    }

    std::unique_ptr<Recorder> window;
    CSelectPanelUI* panel = nullptr;
    CDeviceKeyButtonUI* nested = nullptr;
    std::map<std::string, CDeviceKeyButtonUI*> keys;
};

TEST_F(KeyPanel, DragUpRightToLeftSelectsKeysMeetingTheRectangleAndClearsTheRest) {
    keys["far"]->SetDragSelected(true);
    keys["hidden"]->SetDragSelected(true);
    Drag(QPoint(100, 80), QPoint(40, 120));

    const EdgeRect r = panel->SelectionRect();
    EXPECT_EQ(r, (EdgeRect{40, 80, 100, 120}));
    const std::map<std::string, bool> expected = {
        {"touch_left", false}, {"overlap", true}, {"touch_right", false}, {"one_row", true},
        {"far", false},        {"corner", false}, {"hidden", false}};
    EXPECT_EQ(Selected(), expected);
    EXPECT_FALSE(nested->IsDragSelected());
    EXPECT_EQ(window->Count(QStringLiteral("click_select_end")), 1);
    ASSERT_EQ(window->got.size(), 1u);
    EXPECT_EQ(window->got[0].name, QStringLiteral("key_panel"));
    EXPECT_FALSE(panel->IsPressed());
    EXPECT_FALSE(panel->IsDragging());
}

TEST_F(KeyPanel, EveryDragDirectionGivesTheSameRectangleAndSelection) {
    const QPoint corners[4][2] = {
        {{40, 80}, {100, 120}}, {{100, 120}, {40, 80}}, {{40, 120}, {100, 80}}, {{100, 80}, {40, 120}}};
    std::map<std::string, bool> first;
    for (int i = 0; i < 4; ++i) {
        for (auto& [name, key] : keys)
            key->SetDragSelected(false);
        Drag(corners[i][0], corners[i][1]);
        EXPECT_EQ(panel->SelectionRect(), (EdgeRect{40, 80, 100, 120})) << "direction " << i;
        if (i == 0)
            first = Selected();
        else
            EXPECT_EQ(Selected(), first) << "direction " << i;
    }
    EXPECT_TRUE(first["overlap"]);
    EXPECT_EQ(window->Count(QStringLiteral("click_select_end")), 4);
}

TEST_F(KeyPanel, DragEndingOutsideThePanelStillSelectsWhatItCovers) {
    Drag(QPoint(190, 190), QPoint(520, -40));
    EXPECT_EQ(panel->SelectionRect(), (EdgeRect{190, -40, 520, 190}));
    EXPECT_FALSE(keys["far"]->IsDragSelected()); // starts at y 200, below the rectangle
    Drag(QPoint(190, 190), QPoint(520, 420));
    EXPECT_TRUE(keys["far"]->IsDragSelected());
    EXPECT_TRUE(keys["corner"]->IsDragSelected());
    EXPECT_FALSE(keys["overlap"]->IsDragSelected());
    EXPECT_EQ(window->Count(QStringLiteral("click_select_end")), 2);
}

TEST_F(KeyPanel, ClickWithoutMovementSelectsNothingAndSaysNothing) {
    keys["far"]->SetDragSelected(true);
    Press(panel, QPoint(60, 100));
    EXPECT_TRUE(panel->IsPressed());
    Release(panel, QPoint(60, 100));
    EXPECT_FALSE(panel->IsPressed());
    EXPECT_TRUE(keys["far"]->IsDragSelected());
    EXPECT_FALSE(keys["overlap"]->IsDragSelected());
    EXPECT_TRUE(window->got.empty());
}

TEST_F(KeyPanel, DisabledPanelAndOtherButtonsDoNotDrag) {
    panel->setEnabled(false);
    Drag(QPoint(40, 80), QPoint(100, 120));
    EXPECT_FALSE(keys["overlap"]->IsDragSelected());
    panel->setEnabled(true);

    test::SendMouse(panel, QEvent::MouseButtonPress, QPoint(40, 80), Qt::RightButton, Qt::RightButton);
    test::SendMouse(panel, QEvent::MouseMove, QPoint(100, 120), Qt::NoButton, Qt::RightButton);
    test::SendMouse(panel, QEvent::MouseButtonRelease, QPoint(100, 120), Qt::RightButton, Qt::NoButton);
    EXPECT_FALSE(keys["overlap"]->IsDragSelected());
    EXPECT_TRUE(window->got.empty());
}

TEST_F(KeyPanel, LostReleaseEndsTheDragWithoutApplyingIt) {
    // With pointer tracking on, a move with the button up shows that the release went elsewhere.
    panel->setMouseTracking(true);
    Press(panel, QPoint(40, 80));
    Move(panel, QPoint(70, 100));
    EXPECT_TRUE(panel->IsDragging());
    test::SendMouse(panel, QEvent::MouseMove, QPoint(110, 130), Qt::NoButton, Qt::NoButton);
    EXPECT_FALSE(panel->IsPressed());
    EXPECT_FALSE(panel->IsDragging());
    Release(panel, QPoint(110, 130));
    EXPECT_FALSE(keys["overlap"]->IsDragSelected());
    EXPECT_TRUE(window->got.empty());
}

TEST_F(KeyPanel, NewPressAfterALostReleaseStartsAfresh) {
    Press(panel, QPoint(40, 80));
    Move(panel, QPoint(70, 100));
    Press(panel, QPoint(300, 20));
    Release(panel, QPoint(300, 20));
    EXPECT_FALSE(keys["overlap"]->IsDragSelected());
    EXPECT_TRUE(window->got.empty());
}

TEST(SelectRect, IntersectionNeedsSharedArea) {
    const EdgeRect a{0, 0, 10, 10};
    EXPECT_TRUE(CSelectPanelUI::Intersects(a, EdgeRect{9, 9, 20, 20}));
    EXPECT_FALSE(CSelectPanelUI::Intersects(a, EdgeRect{10, 0, 20, 10}));
    EXPECT_FALSE(CSelectPanelUI::Intersects(a, EdgeRect{0, 10, 10, 20}));
    // A drag along one line spans no area and so meets no key.
    EXPECT_FALSE(CSelectPanelUI::Intersects(a, CSelectPanelUI::SpanRect(QPoint(5, 0), QPoint(5, 30))));
    EXPECT_EQ(CSelectPanelUI::SpanRect(QPoint(100, 80), QPoint(40, 120)), (EdgeRect{40, 80, 100, 120}));
}

} // namespace
} // namespace nk7x
