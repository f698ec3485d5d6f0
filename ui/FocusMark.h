// A frame drawn around the control that has the keyboard focus, while the focus came from the
// keyboard (Tab, Backtab, a shortcut): the skin's style sheets draw no focus of their own, and a
// frame shown on every click would clutter the pictures. One per process; it follows the focus into
// any top-level window and hides on a pointer press.
#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace nk7x {

class FocusMark : public QObject {
  public:
    // Installs the mark for the whole application (again: no effect).
    static void Install();
    // The frame now shown, or null; for tests.
    static QWidget* Shown();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    explicit FocusMark(QObject* parent);
    void Show(QWidget* target);
    void Hide();
    void Follow();

    QPointer<QWidget> m_target;
    QPointer<QWidget> m_frame;
};

} // namespace nk7x
