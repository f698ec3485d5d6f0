// A button showing a hand image larger than itself: the user pans the visible part by dragging, the
// image following the pointer up to its edges. Also takes a "cursor" by system cursor name.
#pragma once

#include "ui/controls/ImageString.h"

#include <QPoint>
#include <QPushButton>
#include <QSize>
#include <QString>

#include <optional>

namespace nk7x {

class CHandImgSelectButtonUI : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(QString handimage READ HandImage WRITE SetHandImage)
    // Shadows QWidget's cursor so layouts can name one of the system cursors.
    Q_PROPERTY(QString cursor READ CursorName WRITE SetCursorName)

  public:
    explicit CHandImgSelectButtonUI(QWidget* parent = nullptr);

    static QString ClassName() { return QStringLiteral("HandImgSelectButton"); }

    // Loads the image and keeps its size; the drawn part is rebuilt from the control's size.
    void SetHandImage(const QString& image);
    QString HandImage() const { return m_handImage; }
    QSize ImageSize() const { return m_imageSize; }

    // The image string actually drawn: the whole image, or "file='..' source='l,t,r,b'".
    QString DrawnImageString() const { return m_drawn; }
    EdgeRect SourceRect() const { return m_source; }
    bool IsCropped() const { return m_cropped; }
    bool IsPanning() const { return m_panning; }

    void SetCursorName(const QString& name);
    QString CursorName() const { return m_cursorName; }
    // The cursor shape for one of the names "arrow", "ibeam", "wait", "cross", "uparrow", "size",
    // "icon", "sizenwse", "sizenesw", "sizewe", "sizens", "sizeall", "no", "hand".
    static std::optional<Qt::CursorShape> CursorShapeForName(const QString& name);

    // "handimage" and "cursor"; false for the button's own attributes.
    bool SetAttribute(const QString& name, const QString& value);

    // Moves the visible part as a pointer movement by (dx, dy) does: opposite to the movement,
    // never past the image's edges.
    void PanBy(int dx, int dy);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void RebuildSource();
    void RebuildString();

    QString m_handImage;
    QString m_file;
    QSize m_imageSize;
    EdgeRect m_source;
    bool m_cropped = false;
    QString m_drawn;
    QString m_cursorName;
    bool m_panning = false;
    QPoint m_ref;
    bool m_entered = false;
};

} // namespace nk7x
