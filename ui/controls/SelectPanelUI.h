// The key panel of a device picture: holds the key buttons and lets the user mark several of them
// by dragging a rectangle over the panel; "click_select_end" tells the window that a drag ended.
#pragma once

#include "ui/controls/ImageString.h"

#include <QPoint>
#include <QWidget>

namespace nk7x {

class CSelectPanelUI : public QWidget {
    Q_OBJECT

  public:
    explicit CSelectPanelUI(QWidget* parent = nullptr);
    ~CSelectPanelUI() override;

    static QString ClassName() { return QStringLiteral("SelectPanel"); }

    bool IsPressed() const { return m_pressed; }
    bool IsDragging() const { return m_dragging; }
    // The rectangle of the current or last drag, in panel coordinates (right and bottom exclusive).
    EdgeRect SelectionRect() const { return m_selection; }

    // The rectangle spanned by two points: left/top the smaller coordinates, right/bottom the larger.
    static EdgeRect SpanRect(const QPoint& a, const QPoint& b);
    // True when the two rectangles share some area (touching edges do not count).
    static bool Intersects(const EdgeRect& a, const EdgeRect& b);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void ApplySelection();

    class Overlay;
    bool m_pressed = false;
    bool m_dragging = false;
    QPoint m_start;
    QPoint m_current;
    EdgeRect m_selection;
    Overlay* m_overlay = nullptr; // child, owned by Qt
};

} // namespace nk7x
