#include "ui/controls/KeyArrowNavigation.h"

#include "ui/controls/DeviceKeyButtonUI.h"

#include <QAbstractButton>
#include <QEvent>
#include <QKeyEvent>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace nk7x {
namespace {

constexpr const char* kObjectName = "key_arrow_navigation";

// How far `at` lies outside [begin, end]; 0 inside.
long Outside(int at, int begin, int end) {
    return at < begin ? long(begin) - at : at > end ? long(at) - end : 0;
}

} // namespace

int NearestKeyPlace(const std::vector<QRect>& places, int from, KeyDirection direction) {
    if (from < 0 || from >= static_cast<int>(places.size()))
        return -1;
    const QPoint centre = places[static_cast<size_t>(from)].center();
    const bool vertical = direction == KeyDirection::Up || direction == KeyDirection::Down;
    return NearestKeyPlace(places, from, direction, vertical ? centre.x() : centre.y());
}

int NearestKeyPlace(const std::vector<QRect>& places, int from, KeyDirection direction, int line) {
    if (from < 0 || from >= static_cast<int>(places.size()))
        return -1;
    const QPoint ca = places[static_cast<size_t>(from)].center();
    const bool vertical = direction == KeyDirection::Up || direction == KeyDirection::Down;
    int best = -1;
    long bestScore = std::numeric_limits<long>::max();
    long bestOffset = std::numeric_limits<long>::max();
    for (int i = 0; i < static_cast<int>(places.size()); ++i) {
        const QRect& b = places[static_cast<size_t>(i)];
        if (i == from || b.isEmpty())
            continue;
        const long dx = long(b.center().x()) - ca.x();
        const long dy = long(b.center().y()) - ca.y();
        long score = 0;
        long offset = 0;
        if (vertical) {
            const long along = direction == KeyDirection::Down ? dy : -dy;
            if (along <= 0)
                continue;
            // Off the column counts twice: the next row's key under the column wins over a nearer
            // one beside it.
            offset = Outside(line, b.left(), b.right());
            score = along + 2 * offset;
        } else {
            // Only the keys the row's line crosses: at the row's end the focus stays rather than
            // jumping to another row.
            if (Outside(line, b.top(), b.bottom()) > 0)
                continue;
            const bool right = direction == KeyDirection::Right || direction == KeyDirection::RowEnd;
            if (right ? dx <= 0 : dx >= 0)
                continue;
            const bool nearest = direction == KeyDirection::Left || direction == KeyDirection::Right;
            score = nearest ? std::labs(dx) : -std::labs(dx);
            offset = std::labs(long(b.center().y()) - line);
        }
        if (score < bestScore || (score == bestScore && offset < bestOffset)) {
            best = i;
            bestScore = score;
            bestOffset = offset;
        }
    }
    return best;
}

KeyArrowNavigation::KeyArrowNavigation(QObject* owner) : QObject(owner) {
    setObjectName(QLatin1String(kObjectName));
}

KeyArrowNavigation* KeyArrowNavigation::Of(QObject* owner) {
    if (!owner)
        return nullptr;
    for (QObject* child : owner->children())
        if (auto* nav = dynamic_cast<KeyArrowNavigation*>(child))
            return nav;
    return new KeyArrowNavigation(owner);
}

void KeyArrowNavigation::SetKeys(const std::vector<QPointer<CDeviceKeyButtonUI>>& buttons) {
    for (auto& key : m_keys) {
        if (key) {
            key->removeEventFilter(this);
            disconnect(key, nullptr, this, nullptr);
        }
    }
    m_keys.clear();
    for (const auto& button : buttons) {
        if (!button || button->testAttribute(Qt::WA_TransparentForMouseEvents))
            continue;
        m_keys.push_back(button);
        button->installEventFilter(this);
        // A click makes the key the picture's Tab stop; the pointer itself moves no focus.
        CDeviceKeyButtonUI* key = button.data();
        connect(key, &QAbstractButton::clicked, this, [this, key] { MakeTabStop(key); });
    }
    if (!m_tabStop || std::find(m_keys.begin(), m_keys.end(), m_tabStop) == m_keys.end())
        MakeTabStop(m_keys.empty() ? nullptr : m_keys.front().data());
}

std::vector<CDeviceKeyButtonUI*> KeyArrowNavigation::Reachable() const {
    std::vector<CDeviceKeyButtonUI*> keys;
    for (const auto& key : m_keys)
        if (key && key->isVisible() && key->isEnabled() && !key->size().isEmpty())
            keys.push_back(key.data());
    return keys;
}

void KeyArrowNavigation::MakeTabStop(CDeviceKeyButtonUI* key) {
    if (m_tabStop == key)
        return;
    if (m_tabStop && !m_tabStop->hasFocus())
        m_tabStop->setFocusPolicy(Qt::NoFocus);
    m_tabStop = key;
    if (key)
        key->setFocusPolicy(Qt::TabFocus);
}

bool KeyArrowNavigation::Move(CDeviceKeyButtonUI* from, KeyDirection direction) {
    const std::vector<CDeviceKeyButtonUI*> keys = Reachable();
    std::vector<QRect> places;
    int at = -1;
    for (CDeviceKeyButtonUI* key : keys) {
        if (key == from)
            at = static_cast<int>(places.size());
        places.push_back(QRect(key->mapTo(key->window(), QPoint(0, 0)), key->size()));
    }
    if (at < 0)
        return false;
    // The line of travel holds while the arrows go one way, as a text cursor keeps its column: up
    // and down through keys of different widths, along a row through a key two rows high.
    const QRect& place = places[static_cast<size_t>(at)];
    const bool vertical = direction == KeyDirection::Up || direction == KeyDirection::Down;
    Travel& travel = vertical ? m_column : m_row;
    const bool holds =
        travel.key == from && (vertical ? place.left() <= travel.at && travel.at <= place.right()
                                        : place.top() <= travel.at && travel.at <= place.bottom());
    const int line = holds ? travel.at : vertical ? place.center().x() : place.center().y();
    const int to = NearestKeyPlace(places, at, direction, line);
    if (to < 0)
        return false; // nothing that way: the focus stays
    CDeviceKeyButtonUI* next = keys[static_cast<size_t>(to)];
    (vertical ? m_row : m_column) = Travel();
    travel = Travel{next, line};
    m_tabStop = next;
    next->setFocusPolicy(Qt::TabFocus);
    // As Tab would: the focus frame follows.
    next->setFocus(Qt::TabFocusReason);
    from->setFocusPolicy(Qt::NoFocus);
    return true;
}

bool KeyArrowNavigation::eventFilter(QObject* watched, QEvent* event) {
    auto* key = qobject_cast<CDeviceKeyButtonUI*>(watched);
    // A key left by a click elsewhere gives the Tab stop back.
    if (event->type() == QEvent::FocusOut && key && key != m_tabStop)
        key->setFocusPolicy(Qt::NoFocus);
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* press = static_cast<QKeyEvent*>(event);
    if (!key || (press->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    switch (press->key()) {
    case Qt::Key_Left:
        Move(key, KeyDirection::Left);
        return true;
    case Qt::Key_Right:
        Move(key, KeyDirection::Right);
        return true;
    case Qt::Key_Up:
        Move(key, KeyDirection::Up);
        return true;
    case Qt::Key_Down:
        Move(key, KeyDirection::Down);
        return true;
    case Qt::Key_Home:
        Move(key, KeyDirection::RowStart);
        return true;
    case Qt::Key_End:
        Move(key, KeyDirection::RowEnd);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A button outside a dialog ignores Enter; on the picture it selects as Space does.
        if (!press->isAutoRepeat())
            key->click();
        return true;
    default:
        return false;
    }
}

} // namespace nk7x
