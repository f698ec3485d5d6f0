#include "panels/pages/keyboard/KeyboardKeyLayout.h"

#include "devices/keyboard/KeyboardTables.h"
#include "ui/LanguageTexts.h"
#include "ui/controls/DeviceKeyButtonUI.h"
#include "ui/controls/KeyPictureUI.h"
#include "ui/controls/SkinImage.h"

#include <QEvent>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <memory>
#include <unordered_map>
#include <vector>

namespace nk7x {

static_assert(kKeyboardLayoutKeys == kKeyboardKeyCount, "the picture places every program key");

namespace {

// Left edges of the blocks, in key units: the macro column, the main block, the navigation block
// and the numeric pad, with the usual gaps between them.
constexpr double kMacroX = 0.0;
constexpr double kMainX = 1.5;
constexpr double kNavX = kMainX + 15.0 + 0.25;
constexpr double kPadX = kNavX + 3.0 + 0.25;

constexpr KeyPlace P(int row, double x, double width = 1.0, double height = 1.0) {
    return KeyPlace{row, x, width, height};
}
constexpr KeyPlace M(int row, double x, double width = 1.0, double height = 1.0) {
    return KeyPlace{row, kMainX + x, width, height};
}
constexpr KeyPlace N(int row, double x) {
    return KeyPlace{row, kNavX + x, 1.0, 1.0};
}
constexpr KeyPlace D(int row, double x, double width = 1.0, double height = 1.0) {
    return KeyPlace{row, kPadX + x, width, height};
}
// The regional and spare keys sit in one short row below the board's main rows.
constexpr KeyPlace X(int slot) {
    return KeyPlace{6, kMainX + slot * 1.0, 1.0, 1.0};
}

// clang-format off
constexpr std::array<KeyPlace, kKeyboardLayoutKeys> kLayout = {{
    // Function row.
    M(0, 0),                                              // 0 Esc
    M(0, 2), M(0, 3), M(0, 4), M(0, 5),                   // 1..4 F1..F4
    M(0, 6.5), M(0, 7.5), M(0, 8.5), M(0, 9.5),           // 5..8 F5..F8
    M(0, 11), M(0, 12), M(0, 13), M(0, 14),               // 9..12 F9..F12
    N(0, 0), N(0, 1), N(0, 2),                            // 13..15 Print Scr, Scroll Lock, Pause
    D(0, 0), D(0, 1), D(0, 2), D(0, 3),                   // 16 GM, 17..19 the keys beside it
    X(9),                                                 // 20 spare
    // Number row.
    M(1, 0),                                              // 21 grave accent
    M(1, 1), M(1, 2), M(1, 3), M(1, 4), M(1, 5),          // 22..26 1..5
    M(1, 6), M(1, 7), M(1, 8), M(1, 9), M(1, 10),         // 27..31 6..0
    M(1, 11), M(1, 12),                                   // 32 -, 33 =
    M(1, 13, 2.0),                                        // 34 BackSpace
    N(1, 0), N(1, 1), N(1, 2),                            // 35..37 Insert, Home, Page Up
    D(1, 0), D(1, 1), D(1, 2), D(1, 3),                   // 38..41 Num Lock, /, *, -
    // Upper letter row.
    M(2, 0, 1.5),                                         // 42 Tab
    M(2, 1.5), M(2, 2.5), M(2, 3.5), M(2, 4.5), M(2, 5.5), // 43..47 Q W E R T
    M(2, 6.5), M(2, 7.5), M(2, 8.5), M(2, 9.5), M(2, 10.5), // 48..52 Y U I O P
    M(2, 11.5), M(2, 12.5),                               // 53 [, 54 ]
    M(2, 13.5, 1.5),                                      // 55 backslash
    N(2, 0), N(2, 1), N(2, 2),                            // 56..58 Delete, End, Page Down
    D(2, 0), D(2, 1), D(2, 2),                            // 59..61 Num 7..9
    X(10),                                                // 62 spare
    // Home row.
    M(3, 0, 1.75),                                        // 63 Caps Lock
    M(3, 1.75), M(3, 2.75), M(3, 3.75), M(3, 4.75), M(3, 5.75), // 64..68 A S D F G
    M(3, 6.75), M(3, 7.75), M(3, 8.75), M(3, 9.75),       // 69..72 H J K L
    M(3, 10.75), M(3, 11.75),                             // 73 ;, 74 '
    M(3, 12.75, 2.25),                                    // 75 Enter
    D(3, 0), D(3, 1), D(3, 2),                            // 76..78 Num 4..6
    X(5), X(4), X(8), X(7), X(6),                         // 79 K132, 80 K131, 81 K151, 82 K150, 83 K133
    // Lower letter row.
    M(4, 0, 2.25),                                        // 84 LShift
    M(4, 2.25), M(4, 3.25), M(4, 4.25), M(4, 5.25), M(4, 6.25), // 85..89 Z X C V B
    M(4, 7.25), M(4, 8.25), M(4, 9.25), M(4, 10.25), M(4, 11.25), // 90..94 N M , . /
    M(4, 12.25, 2.75),                                    // 95 RShift
    N(4, 1),                                              // 96 Up
    D(4, 0), D(4, 1), D(4, 2),                            // 97..99 Num 1..3
    X(1), X(2), X(0), X(3),                               // 100 K56, 101 K14, 102 K45, 103 K107
    X(11),                                                // 104 spare
    // Bottom row.
    M(5, 0, 1.25), M(5, 1.25, 1.25), M(5, 2.5, 1.25),     // 105 LCtrl, 106 LWin, 107 LAlt
    M(5, 3.75, 6.25),                                     // 108 Space
    M(5, 10),                                             // 109 RAlt
    M(5, 12),                                             // 110 FN
    M(5, 13),                                             // 111 App
    M(5, 14),                                             // 112 RCtrl
    N(5, 0), N(5, 1), N(5, 2),                            // 113 Left, 114 Down, 115 Right
    D(5, 0, 2.0),                                         // 116 Num 0
    D(5, 2),                                              // 117 Decimal
    D(4, 3, 1.0, 2.0),                                    // 118 Num Enter
    D(2, 3, 1.0, 2.0),                                    // 119 Num +
    // Macro column.
    P(1, kMacroX), P(2, kMacroX), P(3, kMacroX), P(4, kMacroX), P(5, kMacroX), // 120..124 M1..M5
    M(5, 11),                                             // 125 RWin
}};
// clang-format on

// The function row stands a little apart from the main rows, the extra row below them.
constexpr double kRowTops[] = {0.0, 1.25, 2.25, 3.25, 4.25, 5.25, 6.5};

// How much of a unit the caps leave free around them, so neighbours do not touch.
constexpr double kCapGap = 0.06;

// Captions never get smaller than this, in pixels.
constexpr double kSmallestCaptionPx = 6.0;

// The board's body: drawn behind the keys, following the keys' area.
const QString kBodyImage = QStringLiteral("images/keyboard/keyboard_body.svg");

QString KeyCaptionKey(int index) {
    const char* label = DefaultKeyCodeTable[static_cast<size_t>(index)].label;
    return label ? QStringLiteral("keyboard_key_") + QString::fromUtf8(label) : QString();
}

// Places the buttons of a filled key panel whenever it changes size, fits each caption into its
// cap, and paints the board's body behind them.
class KeyPlacer : public QObject {
  public:
    KeyPlacer(QWidget* panel, std::vector<std::pair<int, QPointer<QWidget>>> buttons)
        : QObject(panel), m_panel(panel), m_buttons(std::move(buttons)), m_picture(new CKeyPictureUI(panel)) {
        setObjectName(QStringLiteral("key_panel_placer"));
        panel->installEventFilter(this);
        std::vector<QPointer<CDeviceKeyButtonUI>> drawn;
        for (auto& [index, button] : m_buttons) {
            auto* key = qobject_cast<CDeviceKeyButtonUI*>(button.data());
            if (!key)
                continue;
            drawn.emplace_back(key);
            if (key->objectName().startsWith(QLatin1String("key_"))) {
                key->installEventFilter(this);
                m_fitted.emplace(key, std::make_pair(QString(), QSize()));
            }
        }
        // Each light is drawn together with the cap right above it.
        std::vector<CDeviceKeyButtonUI*> lights(kKeyboardLayoutKeys, nullptr);
        for (auto& [index, button] : m_buttons) {
            auto* key = qobject_cast<CDeviceKeyButtonUI*>(button.data());
            if (!key || index < 0 || index >= kKeyboardLayoutKeys)
                continue;
            if (key->objectName().startsWith(QLatin1String("light_")))
                lights[size_t(index)] = key;
            else if (lights[size_t(index)])
                lights[size_t(index)]->SetCover(key);
        }
        m_picture->SetButtons(std::move(drawn));
        m_picture->SetBeforePaint([this](CDeviceKeyButtonUI& b) {
            auto fit = m_fitted.find(&b);
            if (fit == m_fitted.end())
                return; // a light: no caption
            if (fit->second.first == b.text() && fit->second.second == b.size())
                return;
            FitCaption(&b);
            fit->second = {b.text(), b.size()};
        });
    }

    void Place() {
        const QSizeF area = m_panel->size();
        const double unit = BoardRectIn(area).width() / kBoardUnitsWide;
        for (auto& [index, button] : m_buttons) {
            if (!button)
                continue;
            QRectF r = KeyRectIn(index, area);
            const double gap = unit * kCapGap;
            r.adjust(gap, gap, -gap, -gap);
            button->setGeometry(r.toAlignedRect());
        }
        m_unit = unit;
        // The body and the picture over the keys are drawn when the panel is first seen (its Show
        // places the keys again): a keyboard never connected costs no pictures.
        if (m_panel->isVisible())
            CoverKeys();
        m_panel->update();
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_panel) {
            if (event->type() == QEvent::Resize || event->type() == QEvent::Show)
                Place();
            else if (event->type() == QEvent::Paint)
                PaintBody();
            else if (event->type() == QEvent::LayoutRequest && m_picture)
                m_picture->update(); // a caption changed: its cap lies under the picture
            return false;
        }
        if (event->type() == QEvent::Paint)
            if (auto* b = qobject_cast<CDeviceKeyButtonUI*>(watched))
                FitCaption(b);
        return false;
    }

  private:
    // The body is drawn once per panel size into a pixmap: lights repaint many times a second and
    // each repaint uncovers a piece of the body, which a cached copy gives back for a plain blit.
    void PaintBody() {
        const auto before = m_body.cacheKey();
        if (!EnsureBody())
            return;
        if (m_body.cacheKey() != before) // a new skin image: the picture takes the new body
            QMetaObject::invokeMethod(
                this, [this] { CoverKeys(); }, Qt::QueuedConnection);
        QPainter p(m_panel);
        p.drawPixmap(QPointF(0, 0), m_body);
    }

    // The picture covers the keys' area wherever the body under it is opaque.
    void CoverKeys() {
        if (!m_picture)
            return;
        QRect area;
        for (auto& [index, button] : m_buttons)
            if (button && !button->isHidden())
                area = area.united(button->geometry());
        if (!EnsureBody()) {
            m_picture->SetBackdrop(QPixmap(), QRect());
            return;
        }
        m_picture->SetBackdrop(m_body, area);
    }

    // Draws the body for the panel's current size once; false while the panel has no room for it.
    bool EnsureBody() {
        const QRectF board = BoardRectIn(m_panel->size());
        if (board.isEmpty())
            return false;
        const double margin = board.width() / kBoardUnitsWide * 0.35;
        const QRectF body = board.adjusted(-margin, -margin, margin, margin);
        const double dpr = std::max(1.0, m_panel->devicePixelRatioF());
        auto image = SkinImage::Load(kBodyImage);
        if (m_body.isNull() || m_bodySize != m_panel->size() || m_bodyDpr != dpr || m_bodyImage != image) {
            m_bodySize = m_panel->size();
            m_bodyDpr = dpr;
            m_bodyImage = image;
            m_body = QPixmap((QSizeF(m_bodySize) * dpr).toSize());
            m_body.setDevicePixelRatio(dpr);
            m_body.fill(Qt::transparent);
            QPainter bp(&m_body);
            bp.setRenderHint(QPainter::Antialiasing);
            if (image) {
                image->DrawPart(bp, body, QRectF(QPointF(0, 0), QSizeF(image->Size())));
            } else {
                // Without the skin's picture the body is a plain dark plate.
                bp.setPen(QPen(QColor(70, 76, 88), 1.0));
                bp.setBrush(QColor(28, 31, 37));
                bp.drawRoundedRect(body, margin, margin);
            }
        }
        return true;
    }

    // The caption keeps to its cap: a font that fits the width, two lines for a long name, and
    // at the smallest font the name cut short.
    void FitCaption(CDeviceKeyButtonUI* b) {
        const QString shown = b->text();
        const QSize size = b->size();
        if (shown == b->property("fittedText").toString() && size == b->property("fittedSize").toSize())
            return;
        QString text = b->property("fullText").toString();
        if (shown != b->property("fittedText").toString() || text.isEmpty()) {
            // A caption from elsewhere (a language change): remember it whole.
            text = shown;
            text.replace(QLatin1Char('\n'), QLatin1Char(' '));
            b->setProperty("fullText", text);
        }
        const double width = std::max(1.0, size.width() * 0.88);
        const double height = std::max(1.0, size.height() * 0.92);
        const double largest = std::clamp(m_unit * 0.3, kSmallestCaptionPx, 18.0);
        QFont font = b->font();
        auto widest = [&](const QStringList& lines, double px) {
            font.setPixelSize(std::max(1, int(px)));
            const QFontMetricsF fm(font);
            double w = 0;
            for (const QString& line : lines)
                w = std::max(w, fm.horizontalAdvance(line));
            return w;
        };
        auto fits = [&](const QStringList& lines, double px) {
            const double w = widest(lines, px);
            return w <= width && QFontMetricsF(font).height() * lines.size() <= height;
        };
        QStringList one{text};
        QStringList two = one;
        const int space = text.indexOf(QLatin1Char(' '), text.size() / 2 - 1);
        const int split = space >= 0 ? space : text.lastIndexOf(QLatin1Char(' '));
        if (split > 0) {
            two = QStringList{text.left(split), text.mid(split + 1)};
        } else if (text.size() >= 3 &&
                   std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x2E80; })) {
            // Words of ideographs have no spaces; any place between two of them may break.
            const int half = int((text.size() + 1) / 2);
            two = QStringList{text.left(half), text.mid(half)};
        }
        double px = largest;
        QStringList best;
        for (; px >= kSmallestCaptionPx; px -= 0.5) {
            if (fits(one, px)) {
                best = one;
                break;
            }
            // A name of several words may take two lines before its font gets any smaller.
            if (two.size() == 2 && fits(two, px)) {
                best = two;
                break;
            }
        }
        if (best.isEmpty()) {
            px = kSmallestCaptionPx;
            best = two.size() == 2 && widest(two, px) < widest(one, px) ? two : one;
            font.setPixelSize(int(px));
            const QFontMetricsF fm(font);
            for (QString& line : best)
                line = fm.elidedText(line, Qt::ElideRight, width);
        }
        font.setPixelSize(std::max(1, int(px)));
        const QString fitted = best.join(QLatin1Char('\n'));
        b->setProperty("fittedText", fitted);
        b->setProperty("fittedSize", size);
        if (fitted != shown)
            b->setText(fitted);
        if (b->font() != font)
            b->setFont(font);
    }

    QWidget* m_panel;
    std::vector<std::pair<int, QPointer<QWidget>>> m_buttons;
    double m_unit = 0.0;
    QPixmap m_body;
    QSize m_bodySize;
    double m_bodyDpr = 0.0;
    std::shared_ptr<const SkinImage> m_bodyImage;
    QPointer<CKeyPictureUI> m_picture;
    // Each cap's caption and size as last fitted: the picture asks before every paint of a cap.
    std::unordered_map<const QObject*, std::pair<QString, QSize>> m_fitted;
};

const QString kKeyStyle = QStringLiteral(
    "nk7x--CDeviceKeyButtonUI[keyCap=\"true\"] { background: rgba(18,20,25,110); color: #e8ecf2;"
    " border: 1px solid rgba(255,255,255,50); border-radius: 4px; padding: 0px; }"
    "nk7x--CDeviceKeyButtonUI[keyCap=\"true\"]:hover { border: 1px solid rgba(120,180,255,200); }"
    "nk7x--CDeviceKeyButtonUI[keyCap=\"true\"]:pressed { background: rgba(60,120,220,90); }"
    "nk7x--CDeviceKeyButtonUI[keyCap=\"true\"]:disabled { color: #6b7280; }"
    "nk7x--CDeviceKeyButtonUI[keyLight=\"true\"] { background: rgb(40,44,52); border: none;"
    " border-radius: 4px; }");

} // namespace

const std::array<KeyPlace, kKeyboardLayoutKeys>& KeyboardKeyLayout() {
    return kLayout;
}

double KeyRowTop(int row) {
    if (row < 0 || row >= int(std::size(kRowTops)))
        return 0.0;
    return kRowTops[row];
}

QRectF KeyUnitRect(int keyIndex) {
    if (keyIndex < 0 || keyIndex >= kKeyboardLayoutKeys)
        return QRectF();
    const KeyPlace& k = kLayout[static_cast<size_t>(keyIndex)];
    return QRectF(k.x, KeyRowTop(k.row), k.width, k.height);
}

QRectF BoardRectIn(const QSizeF& area) {
    if (area.width() <= 0 || area.height() <= 0)
        return QRectF();
    // A little room around the board for its body.
    const double wide = kBoardUnitsWide + 1.0;
    const double high = kBoardUnitsHigh + 1.0;
    const double unit = std::min(area.width() / wide, area.height() / high);
    const double w = unit * kBoardUnitsWide;
    const double h = unit * kBoardUnitsHigh;
    return QRectF((area.width() - w) / 2.0, (area.height() - h) / 2.0, w, h);
}

QRectF KeyRectIn(int keyIndex, const QSizeF& area) {
    const QRectF unitRect = KeyUnitRect(keyIndex);
    const QRectF board = BoardRectIn(area);
    if (unitRect.isEmpty() || board.isEmpty())
        return QRectF();
    const double unit = board.width() / kBoardUnitsWide;
    return QRectF(board.left() + unitRect.left() * unit, board.top() + unitRect.top() * unit,
                  unitRect.width() * unit, unitRect.height() * unit);
}

int PopulateKeyboardKeys(QWidget* container, const LanguageTexts* texts) {
    if (!container)
        return 0;
    if (container->findChild<QObject*>(QStringLiteral("key_panel_placer"), Qt::FindDirectChildrenOnly))
        return 0;
    container->setStyleSheet(container->styleSheet() + kKeyStyle);
    std::vector<std::pair<int, QPointer<QWidget>>> buttons;
    buttons.reserve(2 * kKeyboardLayoutKeys);
    // LEDs first, so that every key cap lies above its light and takes the clicks.
    for (int n = 0; n < kKeyboardLayoutKeys; ++n) {
        auto* light = new CDeviceKeyButtonUI(container);
        const QString name = QStringLiteral("light_%1").arg(n);
        light->setObjectName(name);
        light->setProperty("userdata", name);
        light->setProperty("keyLight", true);
        light->setAttribute(Qt::WA_TransparentForMouseEvents);
        buttons.emplace_back(n, light);
    }
    for (int n = 0; n < kKeyboardLayoutKeys; ++n) {
        auto* key = new CDeviceKeyButtonUI(container);
        key->setObjectName(QStringLiteral("key_%1").arg(n));
        key->setProperty("keyCap", true);
        const QString captionKey = KeyCaptionKey(n);
        if (!captionKey.isEmpty()) {
            key->setProperty("textKey", captionKey);
            key->setText(texts ? texts->Text(captionKey)
                               : QString::fromUtf8(DefaultKeyCodeTable[static_cast<size_t>(n)].label));
        }
        buttons.emplace_back(n, key);
    }
    const int made = static_cast<int>(buttons.size());
    for (auto& [index, button] : buttons)
        button->show();
    auto* placer = new KeyPlacer(container, std::move(buttons));
    placer->Place();
    return made;
}

} // namespace nk7x
