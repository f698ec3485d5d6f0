#include "ui/FocusMark.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QPainter>
#include <QWidget>

namespace nk7x {
namespace {

constexpr int kMargin = 2; // room between the control and the frame

// The frame itself: two pixels of the highlight colour, with nothing inside it.
class FocusFrame : public QWidget {
  public:
    explicit FocusFrame(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("focus_mark"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QPen pen(palette().color(QPalette::Highlight), 2);
        p.setPen(pen);
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
};

FocusMark* g_mark = nullptr;

bool FromKeyboard(Qt::FocusReason reason) {
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
           reason == Qt::ShortcutFocusReason;
}

} // namespace

FocusMark::FocusMark(QObject* parent) : QObject(parent) {}

void FocusMark::Install() {
    if (g_mark || !qApp)
        return;
    g_mark = new FocusMark(qApp);
    qApp->installEventFilter(g_mark);
    QObject::connect(g_mark, &QObject::destroyed, [] { g_mark = nullptr; });
}

QWidget* FocusMark::Shown() {
    return g_mark && g_mark->m_frame && g_mark->m_frame->isVisible() ? g_mark->m_frame.data() : nullptr;
}

bool FocusMark::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::FocusIn: {
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && w->hasFocus()) {
            if (FromKeyboard(static_cast<QFocusEvent*>(event)->reason()))
                Show(w);
            else
                Hide();
        }
        break;
    }
    case QEvent::FocusOut:
        if (watched == m_target)
            Hide();
        break;
    case QEvent::MouseButtonPress:
        Hide();
        break;
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Hide:
        // The control or what holds it moved (a scroll area brings the focus into view).
        if (m_target && watched->isWidgetType() &&
            (watched == m_target || static_cast<QWidget*>(watched)->isAncestorOf(m_target)))
            Follow();
        break;
    default:
        break;
    }
    return false;
}

void FocusMark::Show(QWidget* target) {
    QWidget* top = target->window();
    if (!top || target == top) {
        Hide();
        return;
    }
    if (!m_frame || m_frame->parentWidget() != top) {
        delete m_frame;
        m_frame = new FocusFrame(top);
    }
    m_target = target;
    Follow();
}

void FocusMark::Hide() {
    m_target = nullptr;
    if (m_frame)
        m_frame->hide();
}

void FocusMark::Follow() {
    if (!m_frame)
        return;
    if (!m_target || !m_target->isVisible()) {
        m_frame->hide();
        return;
    }
    const QPoint at = m_target->mapTo(m_frame->parentWidget(), QPoint(0, 0));
    m_frame->setGeometry(QRect(at, m_target->size()).adjusted(-kMargin, -kMargin, kMargin, kMargin));
    m_frame->raise();
    m_frame->show();
}

} // namespace nk7x
