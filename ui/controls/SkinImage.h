// Loads the skin's images (SVG drawn as vectors, raster images as pixmaps) once and draws them as
// an image string asks, optionally tinted in a live colour, so key pictures stay sharp at any scale.
#pragma once

#include "ui/controls/ImageString.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QSize>
#include <QString>

#include <memory>

class QSvgRenderer;

namespace nk7x {

class SkinImage {
  public:
    ~SkinImage();
    SkinImage(const SkinImage&) = delete;
    SkinImage& operator=(const SkinImage&) = delete;

    // Natural size in image pixels (an SVG's default size).
    QSize Size() const { return m_size; }
    bool IsVector() const { return m_svg != nullptr; }

    // Draws the part `source` (image pixels) of the image into `target` (painter units).
    void DrawPart(QPainter& p, const QRectF& target, const QRectF& source) const;

    // Loads a file through the cache; relative names resolve against ImageFolder().
    // Null when the file is missing or not an image.
    static std::shared_ptr<const SkinImage> Load(const QString& file);
    static std::shared_ptr<const SkinImage> Load(const QString& file, const QColor& mask);

    // Folder that relative image names resolve against (default: the program folder's "skin").
    static void SetImageFolder(const QString& folder);
    static QString ImageFolder();
    static void ClearCache();

  private:
    SkinImage() = default;

    QSize m_size;
    QImage m_raster;
    std::unique_ptr<QSvgRenderer> m_svg;
};

// How a lit key is tinted: colour and 0..255 brightness (brightness is the light's opacity).
struct ImageTint {
    QColor colour;
    int brightness = 255;
};

// Draws an image string inside `control` (the control's rectangle in painter units): "dest" places
// it relative to the control's corner, "source" picks the image part, "corner" nine-slices, "hole"
// skips the centre, "xtiled"/"ytiled" repeat, "fade" sets opacity, "mask" keys out a colour.
// With a tint the image is coloured (its shading kept) and drawn at the tint's brightness.
// Returns false when the image cannot be loaded.
bool DrawImageString(QPainter& p, const QRect& control, const ImageString& image,
                     const ImageTint* tint = nullptr);
bool DrawImageString(QPainter& p, const QRect& control, const QString& image,
                     const ImageTint* tint = nullptr);

// Where an image string lands inside a control (its "dest" applied and clipped to the control).
QRect ImageDestRect(const QRect& control, const ImageString& image);

} // namespace nk7x
