// The painted face of a device picture: draws the board's body, then every key button under it
// (lights first, then caps) in one pass. The buttons stay below it as the pointer's targets; the
// picture is opaque, so the window never paints them one by one, and they ask the picture to
// repaint their place instead. A body that is not opaque over the keys leaves the buttons to paint
// themselves.
#pragma once

#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <functional>
#include <vector>

namespace nk7x {

class CDeviceKeyButtonUI;

class CKeyPictureUI : public QWidget {
  public:
    // A child of the key panel, above the buttons already in it.
    explicit CKeyPictureUI(QWidget* panel);
    ~CKeyPictureUI() override;

    // The buttons in the order they lie, bottom first; each is told to send its repaints here.
    void SetButtons(std::vector<QPointer<CDeviceKeyButtonUI>> buttons);

    // The panel's backdrop (drawn at the panel's size) and the part of the panel to cover. The
    // picture shows itself only where that part of the backdrop is fully opaque.
    void SetBackdrop(const QPixmap& backdrop, const QRect& area);
    bool IsCovering() const { return m_covering; }

    // Called for a button just before it is drawn, so that it can settle its caption.
    void SetBeforePaint(std::function<void(CDeviceKeyButtonUI&)> hook) { m_beforePaint = std::move(hook); }

    // Repaints the place of a button that lies under the picture (panel coordinates).
    void RepaintArea(const QRect& panelRect);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void Attach(bool covering);
    void FlushRepaints();

    std::vector<QPointer<CDeviceKeyButtonUI>> m_buttons;
    QPixmap m_backdrop;
    bool m_covering = false;
    // Repaints asked for since the last pass, in picture coordinates: a frame of the lights asks
    // for up to every key, which one repaint of their bounds serves better than a region of each.
    std::vector<QRect> m_pending;
    std::function<void(CDeviceKeyButtonUI&)> m_beforePaint;
};

} // namespace nk7x
