// A list row that holds other controls: it can be selected, is hot under the pointer, and raises
// the list notifications ("itemclick", "itemactivate", "return", "menu", "timer") to its window.
#pragma once

#include <QWidget>

namespace nk7x {

class CListElementUI : public QWidget {
    Q_OBJECT

  public:
    explicit CListElementUI(QWidget* parent = nullptr);

    bool IsSelected() const { return m_selected; }
    // Selecting a row clears the other rows of the same list (its siblings).
    void Select(bool selected = true);
    bool IsHot() const { return m_hot; }

    // "menu" is raised on a context menu only when this is set.
    void SetContextMenuUsed(bool used) { m_contextMenuUsed = used; }
    bool IsContextMenuUsed() const { return m_contextMenuUsed; }

    // With mouse input off the row lets the pointer through to its owner beneath.
    void SetMouseEnabled(bool enabled);
    bool IsMouseEnabled() const { return !testAttribute(Qt::WA_TransparentForMouseEvents); }

    // Activation as a double click or the Return key gives it: raises "itemactivate".
    virtual void Activate();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

    // Whether a click raises "itemclick" (the cloud-share rows only activate).
    virtual bool RaisesItemClick() const { return true; }

  private:
    bool m_selected = false;
    bool m_hot = false;
    bool m_contextMenuUsed = false;
};

} // namespace nk7x
