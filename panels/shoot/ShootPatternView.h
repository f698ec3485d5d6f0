// ShootPatternView: the picture of one gun's shoot pattern. Each bullet's move is added to the
// moves before it; the bullets are drawn as dots on that path, the selected one marked.
#pragma once

#include "panels/shoot/ShootPattern.h"

#include <QPointF>
#include <QWidget>

#include <vector>

namespace nk7x {

class ShootPatternView : public QWidget {
    Q_OBJECT
  public:
    explicit ShootPatternView(QWidget* parent = nullptr);

    void SetBullets(std::vector<ShootBullet> bullets);
    const std::vector<ShootBullet>& Bullets() const { return m_bullets; }
    // -1 marks none.
    void SetSelectedBullet(int bullet);
    int SelectedBullet() const { return m_selected; }

    // Where each bullet's moves end, in counts from the start: x grows to the right, y upwards.
    static std::vector<QPointF> BulletPoints(const std::vector<ShootBullet>& bullets);

    QSize sizeHint() const override { return {240, 260}; }
    QSize minimumSizeHint() const override { return {120, 120}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::vector<ShootBullet> m_bullets;
    int m_selected = -1;
};

} // namespace nk7x
