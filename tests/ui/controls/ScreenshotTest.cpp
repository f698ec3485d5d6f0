// Renders the controls and the message box to PNG files for the docs when NK7X_SCREENSHOT_DIR is set.
#include "ControlsTestSupport.h"

#include "ui/controls/ChartViewUI.h"
#include "ui/controls/CircleProgressUI.h"
#include "ui/controls/CloudShareListItemUI.h"
#include "ui/controls/ComboEditContainerElementUI.h"
#include "ui/controls/DeviceKeyButtonUI.h"
#include "ui/controls/HandImgButtonUI.h"
#include "ui/controls/HandImgSelectButtonUI.h"
#include "ui/controls/LiveColor.h"
#include "ui/controls/SelectPanelUI.h"
#include "windows/MessageBox.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace nk7x {
namespace {

const char* const kKeyGlow =
    "<svg xmlns='http://www.w3.org/2000/svg' width='40' height='40' viewBox='0 0 40 40'>"
    "<defs><radialGradient id='g' cx='50%' cy='45%' r='60%'><stop offset='0' stop-color='#fff'/>"
    "<stop offset='1' stop-color='#fff' stop-opacity='0.7'/></radialGradient></defs>"
    "<rect x='3' y='3' width='34' height='34' rx='6' fill='url(#g)'/></svg>";
const char* const kBadge =
    "<svg xmlns='http://www.w3.org/2000/svg' width='40' height='40' viewBox='0 0 40 40'>"
    "<circle cx='32' cy='8' r='5' fill='#ffb020' stroke='#14161b' stroke-width='1.5'/></svg>";
const char* const kHand =
    "<svg xmlns='http://www.w3.org/2000/svg' width='24' height='24' viewBox='0 0 24 24'>"
    "<path d='M12 3v10M8 6v8M16 6v8M5 10v5a7 7 0 0 0 14 0v-5' fill='none' stroke='#8fc4ff' "
    "stroke-width='2' stroke-linecap='round'/></svg>";

QString Write(const QTemporaryDir& dir, const char* name, const char* text) {
    QFile f(dir.filePath(QString::fromLatin1(name)));
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return f.fileName();
}

QLabel* Caption(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setStyleSheet(QStringLiteral("color:#6f7682; font-size:11px; letter-spacing:1px;"));
    return l;
}

QString OutDir() {
    const char* out = std::getenv("NK7X_SCREENSHOT_DIR");
    return out ? QString::fromLocal8Bit(out) : QString();
}

TEST(Screenshots, Controls) {
    if (OutDir().isEmpty())
        GTEST_SKIP() << "NK7X_SCREENSHOT_DIR not set";
    QTemporaryDir dir;
    const QString glow = Write(dir, "glow.svg", kKeyGlow);
    const QString badge = Write(dir, "badge.svg", kBadge);
    const QString hand = Write(dir, "hand.svg", kHand);

    QWidget page;
    page.setObjectName(QStringLiteral("showcase"));
    page.setStyleSheet(QStringLiteral(
        "QWidget#showcase { background:#14161b; }"
        "nk7x--CDeviceKeyButtonUI { background:#23262e; border:1px solid #30353f; border-radius:6px;"
        " color:#eef1f6; font-size:11px; }"
        "nk7x--CSelectPanelUI { background:#181a20; border:1px solid #242832; border-radius:8px; }"
        "nk7x--CHandImgButtonUI, nk7x--CHandImgSelectButtonUI { background:#1f232b; border:1px solid #2a2f39;"
        " border-radius:6px; }"
        "nk7x--CCloudShareListItemUI, nk7x--CComboEditContainerElementUI { background:#1b1e25; }"
        "nk7x--CComboEditContainerElementUI[selected=\"true\"] { background:#24324f; }"
        "QLabel { color:#d5d9e2; font-size:12px; }"));
    page.resize(760, 470);

    // Key panel: a row of keys in their live colours, two marked by a drag, one with a changed key.
    auto* panel = new CSelectPanelUI(&page);
    panel->setGeometry(20, 36, 720, 120);
    Caption(
        QStringLiteral("KEY PANEL  (W, E drag-selected; a new drag in progress; 3 has a changed assignment)"),
        &page)
        ->setGeometry(20, 12, 700, 20);
    const char* names[] = {"Esc", "1", "2", "3", "4", "5", "6", "Q", "W", "E", "R", "T", "Y"};
    for (int i = 0; i < 13; ++i) {
        auto* key = new CDeviceKeyButtonUI(panel);
        key->setText(QString::fromLatin1(names[i]));
        if (i < 7)
            key->setGeometry(14 + i * 53, 14, 48, 44);
        else
            key->setGeometry(38 + (i - 7) * 53, 64, 48, 44);
        if (i < 7)
            key->SetLightImage(glow); // the second row shows the glow drawn without a light image
        QColor c = QColor::fromHsv((i * 27) % 360, 230, 255);
        key->SetLiveColor(PackLiveColor(quint8(c.red()), quint8(c.green()), quint8(c.blue())),
                          i == 0 ? 90 : 230, true);
        if (i == 3) {
            key->SetKeySetImage(badge);
            key->SetKeySetImageHidden(false);
        }
        key->SetDragSelected(i == 8 || i == 9);
    }
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    test::Press(panel, QPoint(560, 110));
    test::Move(panel, QPoint(300, 40));

    // Ring progress: the plain white disc and one themed through its inner colour.
    Caption(QStringLiteral("CIRCLE PROGRESS"), &page)->setGeometry(20, 170, 200, 20);
    const int values[] = {25, 60, 100};
    for (int i = 0; i < 3; ++i) {
        auto* ring = new CCircleProgressUI(&page);
        ring->setGeometry(20 + i * 100, 196, 84, 84);
        ring->setRange(0, 100);
        ring->setValue(values[i]);
        ring->setFormat(QStringLiteral("%p%"));
        if (i > 0)
            ring->SetInnerColor(QColor(0x14, 0x16, 0x1b));
        ring->show();
    }

    Caption(QStringLiteral("HAND IMAGE BUTTONS"), &page)->setGeometry(340, 170, 200, 20);
    auto* handBtn = new CHandImgButtonUI(&page);
    handBtn->setGeometry(340, 196, 84, 40);
    handBtn->SetHandImage(QStringLiteral("file='%1' dest='30,8,54,32'").arg(hand));
    handBtn->show();
    auto* pan = new CHandImgSelectButtonUI(&page);
    pan->setGeometry(440, 196, 120, 84);
    pan->show();
    const QString big = dir.filePath(QStringLiteral("big.png"));
    {
        QImage img(300, 200, QImage::Format_ARGB32);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 300; ++x)
                img.setPixelColor(x, y, QColor::fromHsv((x + y) % 360, 160, 90 + (x * 120) / 300));
        img.save(big);
    }
    pan->SetHandImage(big);
    pan->PanBy(-80, -50);

    Caption(QStringLiteral("CHART"), &page)->setGeometry(580, 170, 160, 20);
    auto* pie = new CChartViewUI(&page);
    pie->setGeometry(580, 196, 84, 84);
    auto* bars = new CChartViewUI(&page);
    bars->setGeometry(664, 196, 84, 84);
    bars->SetView(QStringLiteral("histpgram"));
    bars->SetShowText(false);
    for (auto [label, v] : {std::pair{"A", 5.0}, {"B", 3.0}, {"C", 2.0}, {"D", 4.0}}) {
        pie->AddValue(QString(), v);
        bars->AddValue(QString::fromLatin1(label), v);
    }
    pie->show();
    bars->show();

    Caption(QStringLiteral("LIST ROWS  (selected, hot)"), &page)->setGeometry(20, 300, 300, 20);
    auto* list = new QWidget(&page);
    list->setGeometry(20, 326, 720, 120);
    list->setProperty("itemhotbordercolor", QColor(0x2f, 0x6b, 0xff));
    auto* rows = new QVBoxLayout(list);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(4);
    const char* rowText[] = {"Key down   A", "Delay   35 ms", "Key up   A"};
    CComboEditContainerElementUI* firstRow = nullptr;
    for (const char* t : rowText) {
        auto* row = new CComboEditContainerElementUI(list);
        row->setMinimumHeight(30);
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(12, 0, 12, 0);
        h->addWidget(new QLabel(QString::fromLatin1(t), row));
        rows->addWidget(row);
        if (!firstRow)
            firstRow = row;
    }
    firstRow->Select(true);
    auto* share = new CCloudShareListItemUI(list);
    share->setMinimumHeight(30);
    (new QHBoxLayout(share))->addWidget(new QLabel(QStringLiteral("Shared profile  \"FPS night\""), share));
    rows->addWidget(share);
    list->show();
    QApplication::processEvents();
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(share, &enter);
    QTest::qWait(30);

    const QString file = QDir(OutDir()).filePath(QStringLiteral("screenshot-controls.png"));
    ASSERT_TRUE(page.grab().save(file));
    test::Release(panel, QPoint(300, 40));
}

TEST(Screenshots, MessageBox) {
    if (OutDir().isEmpty())
        GTEST_SKIP() << "NK7X_SCREENSHOT_DIR not set";
    MsgWndSetup setup;
    setup.skinFolder = QStringLiteral(NK7X_SOURCE_DIR "/skin");
    SetMsgWndSetup(setup);
    CMsgWnd box;
    ASSERT_TRUE(box.Build());
    box.SetTitle(QStringLiteral("Macro"));
    box.SetText(QStringLiteral("Delete the macro \"Reload\"? This cannot be undone."), false);
    box.SetDpi(96);
    box.SetButtons(1);
    box.adjustSize();
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QTest::qWait(30);
    EXPECT_TRUE(box.grab().save(QDir(OutDir()).filePath(QStringLiteral("screenshot-messagebox.png"))));
    box.SetDpi(144);
    box.adjustSize();
    QTest::qWait(30);
    EXPECT_TRUE(box.grab().save(QDir(OutDir()).filePath(QStringLiteral("screenshot-messagebox-144.png"))));
    SetMsgWndSetup({});
}

} // namespace
} // namespace nk7x
