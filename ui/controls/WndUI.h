// Hosts another window over a control: whenever the control moves, resizes, shows or hides, the
// attached window follows it (without taking focus or changing its stacking).
#pragma once

#include <QPointer>
#include <QWidget>

namespace nk7x {

class CWndUI : public QWidget {
    Q_OBJECT

  public:
    explicit CWndUI(QWidget* parent = nullptr);
    ~CWndUI() override;

    static QString ClassName() { return QStringLiteral("Wnd"); }

    // Attaches a window (a child widget of the same window, or a top-level window); null detaches.
    // The control does not own it.
    void Attach(QWidget* window);
    QWidget* AttachedWindow() const { return m_window; }

    // Where the attached window goes: the control's rectangle in the attached window's parent
    // coordinates, or on the screen when the attached window is a top-level one.
    QRect TargetGeometry() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void Place();
    void WatchAncestors();
    void UnwatchAncestors();

    QPointer<QWidget> m_window;
    QList<QPointer<QWidget>> m_watched;
};

} // namespace nk7x
