// The main window's frame, which its layout draws, and its fit on the screen: the caption's buttons
// (minimise; close, which goes to the tray), dragging by the caption, and the scale policy (scale
// and size from the work area of the window's screen, applied again when the screen or its work
// area changes or the pages no longer fit).
#pragma once

#include <QMetaObject>
#include <QPoint>
#include <QSize>

#include <functional>

class QMouseEvent;

namespace nk7x {

class NotifyRouter;
class UiWindow;

struct WindowChromeContext {
    UiWindow* window = nullptr;
    // The window's size at scale 96 when the work area leaves it room.
    QSize policySize;
    // The close button's action.
    std::function<void()> closeToTray;
};

class WindowChrome {
  public:
    explicit WindowChrome(WindowChromeContext context);

    // The caption buttons' clicks, and the first sizing of the root that applies the scale policy.
    void Install(NotifyRouter& router);
    // The layout's maximise and restore buttons: the window has no maximised state.
    void HideMaximiseButtons();
    // From now on a move to another screen, or a change of its work area, applies the scale
    // policy again (the native window is made for it).
    void FollowScreen();

    // Applies the scale policy for the work area of the window's screen (or one given by a test).
    void ApplyScalePolicy();
    void ApplyScaleForWorkArea(int width, int height);
    // Applies the scale policy again when the window no longer fits the last work area.
    void FitWorkArea();
    void CentreOnScreen();

    // Dragging by the caption.
    void MousePressed(QMouseEvent* event);
    void MouseMoved(QMouseEvent* event);

  private:
    WindowChromeContext m_ctx;
    QSize m_workArea;          // of the screen the window is on, as the scale policy last saw it
    bool m_scaledOnce = false; // the scale policy has scaled the window
    bool m_rootSized = false;
    QMetaObject::Connection m_screenArea;
    QPoint m_dragOffset;
    bool m_dragging = false;
};

} // namespace nk7x
