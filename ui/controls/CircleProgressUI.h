// A progress bar drawn as a ring: the background colour fills the circle, the foreground colour a
// pie from the bottom clockwise by the share of the range reached, and a white disc leaves a ring.
#pragma once

#include <QColor>
#include <QProgressBar>

namespace nk7x {

class CCircleProgressUI : public QProgressBar {
    Q_OBJECT
    Q_PROPERTY(QColor bkcolor READ BkColor WRITE SetBkColor)
    Q_PROPERTY(QColor forecolor READ ForeColor WRITE SetForeColor)
    Q_PROPERTY(QColor innercolor READ InnerColor WRITE SetInnerColor)

  public:
    explicit CCircleProgressUI(QWidget* parent = nullptr);

    static QString ClassName() { return QStringLiteral("CircleProgress"); }

    // Whole degrees of the pie for a value in [minimum, maximum]: 0 at the minimum, 360 at the
    // maximum; an empty range sweeps nothing.
    static int SweepDegrees(int value, int minimum, int maximum);
    int SweepDegrees() const { return SweepDegrees(value(), minimum(), maximum()); }

    QColor BkColor() const { return m_bk; }
    void SetBkColor(const QColor& c);
    QColor ForeColor() const { return m_fore; }
    void SetForeColor(const QColor& c);
    QColor InnerColor() const { return m_inner; }
    void SetInnerColor(const QColor& c);

    // The ring's width: the inner disc is inset by this much on each side.
    static constexpr int kRingWidth = 10;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor m_bk{0x3A, 0x3F, 0x4B};
    QColor m_fore{0x2E, 0x9B, 0xFF};
    QColor m_inner{Qt::white};
};

} // namespace nk7x
