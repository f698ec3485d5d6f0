// The keyboard picture: the key table's geometry and the buttons built from it.
#include "keyboard_test_support.h"

#include "devices/keyboard/KeyboardTables.h"
#include "ui/controls/DeviceKeyButtonUI.h"
#include "ui/controls/SelectPanelUI.h"

#include <QSet>
#include <QTest>

#include <cmath>

namespace nk7x::test {
namespace {

constexpr double kEps = 1e-9;

bool Overlap(const QRectF& a, const QRectF& b) {
    return std::max(a.left(), b.left()) < std::min(a.right(), b.right()) - kEps &&
           std::max(a.top(), b.top()) < std::min(a.bottom(), b.bottom()) - kEps;
}

TEST(KeyboardKeyLayout, EveryKeyIsPlacedOnceInsideTheBoardWithoutOverlap) {
    const QRectF board(0, 0, kBoardUnitsWide, kBoardUnitsHigh);
    for (int i = 0; i < kKeyboardLayoutKeys; ++i) {
        const QRectF r = KeyUnitRect(i);
        ASSERT_FALSE(r.isEmpty()) << "key " << i;
        EXPECT_GE(r.width(), 1.0) << "key " << i;
        EXPECT_GE(r.height(), 1.0) << "key " << i;
        EXPECT_TRUE(board.contains(r)) << "key " << i << " lies outside the board";
        for (int j = 0; j < i; ++j)
            EXPECT_FALSE(Overlap(r, KeyUnitRect(j))) << "keys " << j << " and " << i << " overlap";
    }
    EXPECT_TRUE(KeyUnitRect(-1).isEmpty());
    EXPECT_TRUE(KeyUnitRect(kKeyboardLayoutKeys).isEmpty());
}

TEST(KeyboardKeyLayout, BlocksSitWhereABoardHasThem) {
    auto r = [](int i) { return KeyUnitRect(i); };
    // The macro keys form a column left of the main block, top to bottom.
    for (int m = 120; m <= 124; ++m) {
        EXPECT_LT(r(m).right(), r(21).left()) << m;
        if (m > 120) {
            EXPECT_GT(r(m).top(), r(m - 1).top()) << m;
        }
    }
    // The main rows start with grave, Tab, Caps Lock, left Shift and left Ctrl, one above the other.
    const int starts[] = {21, 42, 63, 84, 105};
    for (int k = 0; k < 5; ++k) {
        EXPECT_DOUBLE_EQ(r(starts[k]).left(), r(21).left());
        if (k > 0) {
            EXPECT_DOUBLE_EQ(r(starts[k]).top(), r(starts[k - 1]).bottom());
        }
    }
    // Each main row ends at the same right edge: BackSpace, backslash, Enter, right Shift, right Ctrl.
    for (int end : {34, 55, 75, 95, 112})
        EXPECT_DOUBLE_EQ(r(end).right(), r(34).right()) << end;
    // F1..F12 run left to right above the number row; Esc above grave.
    for (int f = 2; f <= 12; ++f)
        EXPECT_GT(r(f).left(), r(f - 1).left());
    EXPECT_LT(r(0).bottom(), r(21).top());
    EXPECT_DOUBLE_EQ(r(0).left(), r(21).left());
    // The navigation block lies between the main block and the pad; Up above Down.
    EXPECT_GT(r(35).left(), r(34).right());
    EXPECT_LT(r(37).right(), r(38).left());
    EXPECT_DOUBLE_EQ(r(96).left(), r(114).left());
    EXPECT_DOUBLE_EQ(r(96).bottom(), r(114).top());
    // Pad: plus and Enter are two rows high, zero two keys wide.
    EXPECT_DOUBLE_EQ(r(119).height(), 2.0);
    EXPECT_DOUBLE_EQ(r(118).height(), 2.0);
    EXPECT_DOUBLE_EQ(r(116).width(), 2.0);
    EXPECT_DOUBLE_EQ(r(118).bottom(), r(116).bottom());
    // The regional keys share the extra row below the board's bottom row.
    for (int x : {79, 80, 81, 82, 83, 100, 101, 102, 103})
        EXPECT_GE(r(x).top(), r(108).bottom()) << x;
}

TEST(KeyboardKeyLayout, TheBoardKeepsItsProportionsAndIsCentred) {
    for (const QSizeF area : {QSizeF(800, 280), QSizeF(800, 600), QSizeF(300, 120), QSizeF(2000, 300)}) {
        const QRectF board = BoardRectIn(area);
        EXPECT_NEAR(board.width() / board.height(), kBoardUnitsWide / kBoardUnitsHigh, 1e-9);
        EXPECT_LE(board.width(), area.width());
        EXPECT_LE(board.height(), area.height());
        EXPECT_NEAR(board.center().x(), area.width() / 2, 1e-9);
        EXPECT_NEAR(board.center().y(), area.height() / 2, 1e-9);
        // A key is as many units wide in pixels as the board says.
        const double unit = board.width() / kBoardUnitsWide;
        EXPECT_NEAR(KeyRectIn(108, area).width(), 6.25 * unit, 1e-9);
        EXPECT_NEAR(KeyRectIn(119, area).height(), 2.0 * unit, 1e-9);
    }
    EXPECT_TRUE(BoardRectIn(QSizeF(0, 100)).isEmpty());
    EXPECT_TRUE(KeyRectIn(3, QSizeF(-5, 100)).isEmpty());
}

// The scan of the page: names split at the last underscore; "key_" + n for the key buttons,
// user data "light_" + n for the LED buttons.
TEST(KeyboardKeyPanel, PopulateMakesTheButtonsThePageScansFor) {
    RegisterControlsOnce();
    CSelectPanelUI panel;
    panel.resize(800, 280);
    ASSERT_EQ(PopulateKeyboardKeys(&panel, &EnglishTexts()), 2 * kKeyboardLayoutKeys);
    QSet<int> keys, lights;
    int buttons = 0;
    for (QObject* child : panel.children()) {
        auto* b = qobject_cast<CDeviceKeyButtonUI*>(child);
        if (!b)
            continue;
        ++buttons;
        const QString name = b->objectName();
        const QString data = b->property("userdata").toString();
        if (name.startsWith(QLatin1String("key_"))) {
            EXPECT_TRUE(data.isEmpty()) << name.toStdString();
            keys.insert(name.mid(4).toInt());
        } else {
            ASSERT_TRUE(data.startsWith(QLatin1String("light_"))) << name.toStdString();
            EXPECT_EQ(name, data);
            lights.insert(data.mid(6).toInt());
        }
    }
    EXPECT_EQ(buttons, 2 * kKeyboardLayoutKeys);
    EXPECT_EQ(keys.size(), kKeyboardLayoutKeys);
    EXPECT_EQ(lights.size(), kKeyboardLayoutKeys);
    EXPECT_EQ(*std::max_element(keys.begin(), keys.end()), kKeyboardLayoutKeys - 1);
    EXPECT_EQ(*std::max_element(lights.begin(), lights.end()), kKeyboardLayoutKeys - 1);
    // A second fill would double every key.
    EXPECT_EQ(PopulateKeyboardKeys(&panel, &EnglishTexts()), 0);
    EXPECT_EQ(PopulateKeyboardKeys(nullptr), 0);
}

TEST(KeyboardKeyPanel, CaptionsAreTheTranslatedKeyNames) {
    RegisterControlsOnce();
    CSelectPanelUI panel;
    panel.resize(800, 280);
    PopulateKeyboardKeys(&panel, &EnglishTexts());
    auto key = [&](int n) { return panel.findChild<CDeviceKeyButtonUI*>(QStringLiteral("key_%1").arg(n)); };
    EXPECT_EQ(key(0)->text(), QStringLiteral("Esc"));
    EXPECT_EQ(key(0)->property("textKey").toString(), QStringLiteral("keyboard_key_Esc"));
    EXPECT_EQ(key(21)->property("textKey").toString(), QStringLiteral("keyboard_key_`"));
    EXPECT_EQ(key(92)->text(), QStringLiteral(","));
    EXPECT_EQ(key(55)->text(), QStringLiteral("\\"));
    // Keys without a name have no caption.
    for (int n : {17, 18, 19, 20, 62, 104}) {
        EXPECT_TRUE(key(n)->text().isEmpty()) << n;
        EXPECT_FALSE(key(n)->property("textKey").isValid()) << n;
    }
    // Every named key's caption key has a text in both languages.
    LanguageTexts zh;
    ASSERT_TRUE(zh.LoadFile(SkinPath("lang/lan_zh.json")));
    for (int n = 0; n < kKeyboardKeyCount; ++n) {
        const QString k = key(n)->property("textKey").toString();
        if (k.isEmpty())
            continue;
        EXPECT_TRUE(EnglishTexts().Has(k)) << k.toStdString();
        EXPECT_TRUE(zh.Has(k)) << k.toStdString();
    }
    // Without texts the caption is the key's own name until the window's language reaches it.
    CSelectPanelUI bare;
    PopulateKeyboardKeys(&bare);
    EXPECT_EQ(bare.findChild<CDeviceKeyButtonUI*>(QStringLiteral("key_35"))->text(),
              QStringLiteral("Insert"));
}

TEST(KeyboardKeyPanel, LongCaptionsTakeTwoLinesInTheirCap) {
    RegisterControlsOnce();
    LanguageTexts zh;
    ASSERT_TRUE(zh.LoadFile(SkinPath("lang/lan_zh.json")));
    for (const LanguageTexts* texts : {&EnglishTexts(), static_cast<const LanguageTexts*>(&zh)}) {
        CSelectPanelUI panel;
        panel.resize(780, 260);
        PopulateKeyboardKeys(&panel, texts);
        panel.show();
        auto* key = panel.findChild<CDeviceKeyButtonUI*>(QStringLiteral("key_14"));
        panel.grab(); // the captions are fitted as they are drawn
        const QString full = texts->Text(QStringLiteral("keyboard_key_Scroll Lock"));
        EXPECT_TRUE(key->text().contains(QLatin1Char('\n'))) << key->text().toStdString();
        QString joined = key->text();
        joined.remove(QLatin1Char('\n'));
        QString expected = full;
        expected.remove(QLatin1Char(' '));
        EXPECT_EQ(joined.remove(QLatin1Char(' ')), expected);
        EXPECT_LE(QFontMetrics(key->font()).horizontalAdvance(key->text().section(QLatin1Char('\n'), 0, 0)),
                  key->width());
        // A caption that fits stays on one line.
        auto* esc = panel.findChild<CDeviceKeyButtonUI*>(QStringLiteral("key_0"));
        EXPECT_EQ(esc->text(), QStringLiteral("Esc"));
    }
}

TEST(KeyboardKeyPanel, ButtonsFollowThePanelsSizeAndNeverOverlap) {
    RegisterControlsOnce();
    CSelectPanelUI panel;
    panel.resize(800, 280);
    PopulateKeyboardKeys(&panel);
    panel.show();
    for (const QSize size : {QSize(800, 280), QSize(1200, 700), QSize(500, 200)}) {
        panel.resize(size);
        QApplication::processEvents();
        std::vector<QRect> caps;
        for (int n = 0; n < kKeyboardKeyCount; ++n) {
            auto* key = panel.findChild<QWidget*>(QStringLiteral("key_%1").arg(n));
            auto* light = panel.findChild<QWidget*>(QStringLiteral("light_%1").arg(n));
            ASSERT_TRUE(key && light);
            const QRectF want = KeyRectIn(n, QSizeF(size));
            // The cap is the key's place less a small gap; its light lies right behind it.
            EXPECT_TRUE(want.toAlignedRect().adjusted(-1, -1, 1, 1).contains(key->geometry()))
                << "key " << n << " at " << size.width() << "x" << size.height();
            EXPECT_GT(key->width(), want.width() * 0.8) << n;
            EXPECT_EQ(key->geometry(), light->geometry()) << n;
            EXPECT_TRUE(QRect(QPoint(0, 0), size).contains(key->geometry())) << n;
            caps.push_back(key->geometry());
        }
        for (size_t i = 0; i < caps.size(); ++i)
            for (size_t j = 0; j < i; ++j)
                EXPECT_FALSE(caps[i].intersects(caps[j])) << "caps " << j << " and " << i;
    }
}

TEST(KeyboardKeyPanel, TheBoardPictureFollowsThePanelsSize) {
    RegisterControlsOnce();
    auto picture = [](CSelectPanelUI& panel) {
        QApplication::processEvents();
        return panel.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    };
    CSelectPanelUI resized;
    resized.resize(800, 280);
    PopulateKeyboardKeys(&resized);
    resized.show();
    const QImage small = picture(resized);
    resized.resize(1000, 400);
    const QImage grown = picture(resized);

    CSelectPanelUI fresh;
    fresh.resize(1000, 400);
    PopulateKeyboardKeys(&fresh);
    fresh.show();
    EXPECT_EQ(grown, picture(fresh)) << "a panel drawn at the new size from the start looks the same";
    EXPECT_NE(small.size(), grown.size());
}

TEST(KeyboardKeyPanel, TheKeyCapTakesTheClickAndItsLightStaysOutOfTheWay) {
    KeyboardPageWindow window;
    ASSERT_NE(window.keyPanel, nullptr);
    window.show();
    QApplication::processEvents();
    auto* key = window.Find<CDeviceKeyButtonUI>("key_45");
    ASSERT_NE(key, nullptr);
    // What lies under the middle of the key is its cap, not its light.
    const QPoint middle = key->geometry().center();
    EXPECT_EQ(window.keyPanel->childAt(middle), key);
    QTest::mouseClick(window.keyPanel->childAt(middle), Qt::LeftButton);
    ASSERT_EQ(window.Count(QStringLiteral("click")), 1);
    EXPECT_EQ(window.got.back().name, QStringLiteral("key_45"));
    EXPECT_TRUE(window.Find<QWidget>("light_45")->testAttribute(Qt::WA_TransparentForMouseEvents));
}

} // namespace
} // namespace nk7x::test
