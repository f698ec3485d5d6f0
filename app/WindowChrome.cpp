#include "app/WindowChrome.h"

#include "app/ScalePolicy.h"
#include "platform/DebugLog.h"
#include "ui/NotifyRouter.h"
#include "ui/UiWindow.h"

#include <QGuiApplication>
#include <QLayout>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

#include <algorithm>

namespace nk7x {

WindowChrome::WindowChrome(WindowChromeContext context) : m_ctx(std::move(context)) {}

void WindowChrome::Install(NotifyRouter& router) {
    using M = NotifyRouter::Match;
    UiWindow* w = m_ctx.window;
    router.Add(QStringLiteral("windowsize"), M::Name, QStringLiteral("root"), [this](const UiNotify&, int) {
        if (!m_rootSized) {
            m_rootSized = true;
            ApplyScalePolicy();
        }
    });
    auto click = [&router](const char* name, std::function<void()> fn) {
        router.Add(QStringLiteral("click"), M::Name, QString::fromLatin1(name),
                   [fn](const UiNotify&, int) { fn(); });
    };
    click("closebtn", [this] { m_ctx.closeToTray(); });
    click("minbtn", [w] { w->showMinimized(); });
    click("maxbtn", [w] { w->showMaximized(); });
    click("restorebtn", [w] { w->showNormal(); });
}

void WindowChrome::HideMaximiseButtons() {
    for (const char* name : {"maxbtn", "restorebtn"}) {
        if (QWidget* w = m_ctx.window->FindControl(QString::fromLatin1(name)))
            w->hide();
    }
}

void WindowChrome::FollowScreen() {
    UiWindow* w = m_ctx.window;
    // The native window says when it moves to another screen.
    w->winId();
    QWindow* handle = w->windowHandle();
    if (!handle)
        return;
    auto follow = [this, w](QScreen* s) {
        QObject::disconnect(m_screenArea);
        if (s)
            m_screenArea =
                QObject::connect(s, &QScreen::availableGeometryChanged, w, [this] { ApplyScalePolicy(); });
    };
    QObject::connect(handle, &QWindow::screenChanged, w, [this, follow](QScreen* s) {
        DebugLog("界面 DPI 发生变化");
        follow(s);
        ApplyScalePolicy();
    });
    follow(handle->screen());
}

void WindowChrome::ApplyScalePolicy() {
    UiWindow* w = m_ctx.window;
    QScreen* s = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    QRect area = s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
    ApplyScaleForWorkArea(area.width(), area.height());
}

void WindowChrome::ApplyScaleForWorkArea(int width, int height) {
    UiWindow* w = m_ctx.window;
    bool wasVisible = w->isVisible();
    if (w->isMinimized())
        w->showNormal();
    // The policy's scale, or a smaller one when what the pages need (the pages of every connected
    // device side by side) does not fit the work area. What they need grows with the scale, so the
    // need at the scale in use tells the largest scale that fits, and the window is scaled once:
    // scaling draws every picture of the window again.
    const int policyScale = CheckedScale(ScaleForWorkArea(width, height));
    if (w->layout())
        w->layout()->activate();
    QSize need = w->minimumSizeHint().expandedTo(w->minimumSize());
    const int current = w->Scale() > 0 ? w->Scale() : 96;
    auto fits = [&](int scale) {
        return static_cast<qint64>(need.width()) * scale <= static_cast<qint64>(width) * current &&
               static_cast<qint64>(need.height()) * scale <= static_cast<qint64>(height) * current;
    };
    int scale = policyScale;
    while (!fits(scale) && SmallerScale(scale) != scale)
        scale = SmallerScale(scale);
    for (;;) {
        if (scale != w->Scale() || !m_scaledOnce) {
            w->SetScale(scale);
            m_scaledOnce = true;
        }
        if (w->layout())
            w->layout()->activate();
        need = w->minimumSizeHint().expandedTo(w->minimumSize());
        // Rounding may leave it a little short: one step more then.
        const int smaller = SmallerScale(scale);
        if ((need.width() <= width && need.height() <= height) || smaller == scale)
            break;
        scale = smaller;
    }
    if (need.width() > width || need.height() > height)
        DebugLogf("window needs %dx%d at scale %d, more than the work area of %dx%d", need.width(),
                  need.height(), scale, width, height);
    const QSize policy(m_ctx.policySize.width() * scale / 96, m_ctx.policySize.height() * scale / 96);
    w->resize(policy.expandedTo(need).boundedTo(
        QSize(std::max(width, need.width()), std::max(height, need.height()))));
    m_workArea = QSize(width, height);
    CentreOnScreen();
    if (!wasVisible)
        w->hide();
}

void WindowChrome::FitWorkArea() {
    // A device that came or went changes what the pages need; the scale follows when the window
    // would no longer fit, unless it is at its smallest already.
    UiWindow* w = m_ctx.window;
    if (m_workArea.isEmpty() || !w->layout() || SmallerScale(w->Scale()) == w->Scale())
        return;
    w->layout()->activate();
    const QSize need = w->minimumSizeHint();
    if (need.width() > m_workArea.width() || need.height() > m_workArea.height() ||
        w->width() > m_workArea.width() || w->height() > m_workArea.height())
        ApplyScaleForWorkArea(m_workArea.width(), m_workArea.height());
}

void WindowChrome::CentreOnScreen() {
    UiWindow* w = m_ctx.window;
    QScreen* s = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    if (!s)
        return;
    QRect area = s->availableGeometry();
    w->move(area.x() + (area.width() - w->width()) / 2, area.y() + (area.height() - w->height()) / 2);
}

void WindowChrome::MousePressed(QMouseEvent* event) {
    UiWindow* w = m_ctx.window;
    QWidget* caption = w->FindControl(QStringLiteral("caption"));
    if (event->button() == Qt::LeftButton && caption &&
        caption->rect().contains(caption->mapFrom(w, event->position().toPoint()))) {
        m_dragging = true;
        m_dragOffset = event->globalPosition().toPoint() - w->frameGeometry().topLeft();
    }
}

void WindowChrome::MouseMoved(QMouseEvent* event) {
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        m_ctx.window->move(event->globalPosition().toPoint() - m_dragOffset);
    else
        m_dragging = false;
}

} // namespace nk7x
