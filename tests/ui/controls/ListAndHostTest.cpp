#include "ControlsTestSupport.h"

#include "ui/ControlFactory.h"
#include "ui/controls/ChartViewUI.h"
#include "ui/controls/CloudShareListItemUI.h"
#include "ui/controls/ComboEditContainerElementUI.h"
#include "ui/controls/CustomControls.h"
#include "ui/controls/LayoutBuilderHook.h"
#include "ui/controls/WndUI.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

namespace nk7x {
namespace {

TEST(ListElement, ClickSelectsOneRowAndRaisesItemClick) {
    test::Recorder list;
    auto* a = new CComboEditContainerElementUI(&list);
    auto* b = new CComboEditContainerElementUI(&list);
    a->setObjectName(QStringLiteral("row_a"));
    b->setObjectName(QStringLiteral("row_b"));
    test::Press(a, QPoint(1, 1));
    EXPECT_TRUE(a->IsSelected());
    test::Press(b, QPoint(1, 1));
    EXPECT_TRUE(b->IsSelected());
    EXPECT_FALSE(a->IsSelected());
    ASSERT_EQ(list.Types(), (QStringList{QStringLiteral("itemclick"), QStringLiteral("itemclick")}));
    EXPECT_EQ(list.got[1].name, QStringLiteral("row_b"));
}

TEST(ListElement, ActivationReturnMenuAndTimer) {
    test::Recorder list;
    auto* row = new CComboEditContainerElementUI(&list);
    test::SendMouse(row, QEvent::MouseButtonDblClick, QPoint(1, 1), Qt::LeftButton, Qt::LeftButton);
    QKeyEvent ret(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(row, &ret);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(2, 3), QPoint(20, 30));
    QApplication::sendEvent(row, &menu); // context menus not used: nothing
    row->SetContextMenuUsed(true);
    QApplication::sendEvent(row, &menu);
    EXPECT_EQ(list.Types(), (QStringList{QStringLiteral("itemactivate"), QStringLiteral("itemactivate"),
                                         QStringLiteral("return"), QStringLiteral("menu")}));
    EXPECT_EQ(list.got.back().wParam, 20);
    EXPECT_EQ(list.got.back().lParam, 30);

    list.got.clear();
    const int id = row->startTimer(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !list.got.empty(); }, 1000));
    row->killTimer(id);
    ASSERT_FALSE(list.got.empty());
    EXPECT_EQ(list.got[0].type, QStringLiteral("timer"));
    EXPECT_EQ(list.got[0].wParam, id);
}

TEST(ListElement, MouseDisabledLetsThePointerThroughToTheOwner) {
    QWidget owner;
    owner.resize(100, 100);
    auto* row = new CComboEditContainerElementUI(&owner);
    row->setGeometry(0, 0, 100, 30);
    EXPECT_EQ(owner.childAt(QPoint(5, 5)), row);
    row->SetMouseEnabled(false);
    EXPECT_FALSE(row->IsMouseEnabled());
    EXPECT_EQ(owner.childAt(QPoint(5, 5)), nullptr);
}

TEST(CloudShareItem, ActivatesWithoutItemClickAndFramesWhileHot) {
    test::Recorder list;
    list.setProperty("itemhotbordercolor", QColor(255, 0, 0));
    list.resize(100, 100);
    auto* item = new CCloudShareListItemUI(&list);
    item->setGeometry(0, 0, 100, 40);
    item->setStyleSheet(QStringLiteral("background: black;"));
    test::Press(item, QPoint(5, 5));
    test::SendMouse(item, QEvent::MouseButtonDblClick, QPoint(5, 5), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(list.Types(), QStringList{QStringLiteral("itemactivate")});
    EXPECT_EQ(item->HotBorderColor(), QColor(255, 0, 0));

    item->Select(false);
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(item, &enter);
    ASSERT_TRUE(item->IsHot());
    QImage img = item->grab().toImage();
    EXPECT_EQ(img.pixelColor(0, 20), QColor(255, 0, 0));
    EXPECT_NE(img.pixelColor(50, 20), QColor(255, 0, 0));
    // Selected rows carry no hover frame.
    item->Select(true);
    img = item->grab().toImage();
    EXPECT_NE(img.pixelColor(0, 20), QColor(255, 0, 0));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(item, &leave);
    EXPECT_FALSE(item->IsHot());
}

TEST(ComboEditElement, BuildsItsContentThroughTheLayoutBuilder) {
    CComboEditContainerElementUI row;
    auto* old = new QLabel(QStringLiteral("placeholder"), &row);
    SetControlLayoutBuilder({});
    EXPECT_FALSE(row.Init());
    EXPECT_FALSE(row.IsInitialised());

    QString asked;
    SetControlLayoutBuilder([&](const QString& name, QWidget* parent) -> QWidget* {
        asked = name;
        auto* content = new QWidget(parent);
        (new QLabel(content))->setObjectName(QStringLiteral("text1"));
        (new QLabel(content))->setObjectName(QStringLiteral("text2"));
        (new QLineEdit(content))->setObjectName(QStringLiteral("delay_edit"));
        return content;
    });
    QPointer<QLabel> oldGuard(old);
    ASSERT_TRUE(row.Init());
    EXPECT_EQ(asked, QStringLiteral("XML\\CustomControlXML\\ComboEditElementItem.xml"));
    ASSERT_NE(row.Text1(), nullptr);
    ASSERT_NE(row.Text2(), nullptr);
    ASSERT_NE(row.DelayEdit(), nullptr);
    EXPECT_NE(row.Text1(), row.Text2());
    EXPECT_TRUE(qobject_cast<QLineEdit*>(row.DelayEdit()));
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(oldGuard.isNull()) << "the built content replaces the old children";
    EXPECT_TRUE(row.SetAttribute(QStringLiteral("hotimage"), QStringLiteral("x.png")));
    SetControlLayoutBuilder({});
}

TEST(WndHost, AttachedWindowFollowsTheControl) {
    QWidget window;
    window.resize(300, 200);
    auto* holder = new QWidget(&window);
    holder->setGeometry(10, 10, 200, 150);
    auto* host = new CWndUI(holder);
    host->setGeometry(20, 30, 50, 40);
    auto* guest = new QWidget(&window);
    window.show();
    host->Attach(guest);
    EXPECT_EQ(guest->geometry(), QRect(30, 40, 50, 40));
    EXPECT_TRUE(guest->isVisible());

    host->move(60, 70);
    EXPECT_EQ(guest->geometry(), QRect(70, 80, 50, 40));
    holder->move(0, 0);
    EXPECT_EQ(guest->geometry(), QRect(60, 70, 50, 40));
    host->resize(80, 20);
    EXPECT_EQ(guest->size(), QSize(80, 20));
    host->hide();
    EXPECT_FALSE(guest->isVisible());
    host->show();
    EXPECT_TRUE(guest->isVisible());
    holder->hide();
    EXPECT_FALSE(guest->isVisible());

    host->Attach(nullptr);
    holder->show();
    EXPECT_FALSE(guest->isVisible()) << "a detached window is no longer steered";
}

TEST(WndHost, TopLevelWindowGoesToTheControlsScreenPosition) {
    QWidget window;
    window.setGeometry(100, 100, 300, 200);
    auto* host = new CWndUI(&window);
    host->setGeometry(20, 30, 50, 40);
    window.show();
    QWidget popup;
    host->Attach(&popup);
    EXPECT_TRUE(popup.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(popup.geometry().topLeft(), host->mapToGlobal(QPoint(0, 0)));
    EXPECT_EQ(popup.size(), QSize(50, 40));
    EXPECT_TRUE(popup.isVisible());
    host->hide();
    EXPECT_FALSE(popup.isVisible());
}

TEST(ChartView, ValuesAndAttributes) {
    CChartViewUI chart;
    EXPECT_TRUE(chart.Items().isEmpty());
    EXPECT_TRUE(chart.SetAttribute(QStringLiteral("view"), QStringLiteral("histpgram")));
    EXPECT_EQ(chart.Kind(), CChartViewUI::ViewKind::Bars);
    EXPECT_TRUE(chart.SetAttribute(QStringLiteral("pillarimagewidth"), QStringLiteral("14")));
    EXPECT_EQ(chart.PillarImageWidth(), 14);
    EXPECT_TRUE(chart.SetAttribute(QStringLiteral("showtext"), QStringLiteral("false")));
    EXPECT_FALSE(chart.ShowText());
    EXPECT_FALSE(chart.SetAttribute(QStringLiteral("colour"), QStringLiteral("red")));
    chart.AddValue(QStringLiteral("a"), 3);
    chart.AddValue(QStringLiteral("b"), -2);
    chart.AddValue(QStringLiteral("c"), std::nan(""));
    ASSERT_EQ(chart.Items().size(), 3);
    EXPECT_EQ(chart.Items()[1].value, 0);
    EXPECT_EQ(chart.Items()[2].value, 0);
    chart.resize(120, 80);
    EXPECT_FALSE(chart.grab().isNull());
    chart.RemoveAll();
    EXPECT_TRUE(chart.Items().isEmpty());
}

TEST(ControlRegistry, EveryLayoutClassCreatesItsControl) {
    ControlFactory factory;
    RegisterCustomControls(factory);
    const QStringList names = CustomControlClassNames();
    EXPECT_EQ(names.size(), 10);
    for (const QString& n : names) {
        QWidget parent;
        QWidget* w = factory.Create(n.toLower(), &parent);
        ASSERT_NE(w, nullptr) << n.toStdString();
        EXPECT_EQ(w->parentWidget(), &parent);
    }
    QWidget parent;
    EXPECT_TRUE(qobject_cast<CWndUI*>(factory.Create(QStringLiteral("Wnd"), &parent)));
    EXPECT_TRUE(qobject_cast<CCloudShareListItemUI*>(
        factory.Create(QStringLiteral("CloudShareListItemUI"), &parent)));
    EXPECT_EQ(factory.Create(QStringLiteral("BrindovaKeyboardDevice"), &parent), nullptr);
}

} // namespace
} // namespace nk7x
