#include "ui/controls/SkinImage.h"

#include "platform/Folders.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSvgRenderer>

#include <algorithm>

namespace nk7x {
namespace {

struct Cache {
    QString folder;
    QHash<QString, std::shared_ptr<const SkinImage>> images;
};

Cache& TheCache() {
    static Cache cache;
    return cache;
}

QString ResolvePath(const QString& file) {
    QString name = file.trimmed();
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (name.isEmpty())
        return QString();
    if (QFileInfo(name).isAbsolute() || name.startsWith(QLatin1String(":/")))
        return QDir::cleanPath(name);
    return QDir::cleanPath(SkinImage::ImageFolder() + QLatin1Char('/') + name);
}

QImage KeyOut(QImage image, const QColor& mask) {
    image = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = mask.rgb() & 0x00FFFFFFu;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0x00FFFFFFu) == key)
                line[x] = 0;
        }
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// One nine-slice, tiled or stretched drawing of `src` into `target`.
void DrawBody(QPainter& p, const QRect& target, const SkinImage& img, const QRect& src,
              const ImageString& look) {
    const QMargins& c = look.corner;
    if (!c.isNull()) {
        // Corners never take more than the image part or the target has.
        const int l = std::min(c.left(), std::min(src.width(), target.width()) / 2);
        const int r = std::min(c.right(), std::min(src.width(), target.width()) - l);
        const int t = std::min(c.top(), std::min(src.height(), target.height()) / 2);
        const int b = std::min(c.bottom(), std::min(src.height(), target.height()) - t);
        const int sx[4] = {src.left(), src.left() + l, src.left() + src.width() - r,
                           src.left() + src.width()};
        const int sy[4] = {src.top(), src.top() + t, src.top() + src.height() - b, src.top() + src.height()};
        const int tx[4] = {target.left(), target.left() + l, target.left() + target.width() - r,
                           target.left() + target.width()};
        const int ty[4] = {target.top(), target.top() + t, target.top() + target.height() - b,
                           target.top() + target.height()};
        for (int row = 0; row < 3; ++row) {
            for (int col = 0; col < 3; ++col) {
                if (look.hole && row == 1 && col == 1)
                    continue;
                const QRectF s(sx[col], sy[row], sx[col + 1] - sx[col], sy[row + 1] - sy[row]);
                const QRectF d(tx[col], ty[row], tx[col + 1] - tx[col], ty[row + 1] - ty[row]);
                if (s.width() > 0 && s.height() > 0 && d.width() > 0 && d.height() > 0)
                    img.DrawPart(p, d, s);
            }
        }
        return;
    }
    if ((look.xTiled || look.yTiled) && src.width() > 0 && src.height() > 0) {
        p.save();
        p.setClipRect(target, Qt::IntersectClip);
        const int stepX = look.xTiled ? src.width() : target.width();
        const int stepY = look.yTiled ? src.height() : target.height();
        for (int y = target.top(); y < target.top() + target.height(); y += stepY) {
            for (int x = target.left(); x < target.left() + target.width(); x += stepX)
                img.DrawPart(p, QRectF(x, y, stepX, stepY), QRectF(src));
        }
        p.restore();
        return;
    }
    img.DrawPart(p, QRectF(target), QRectF(src));
}

} // namespace

SkinImage::~SkinImage() = default;

void SkinImage::DrawPart(QPainter& p, const QRectF& target, const QRectF& source) const {
    if (m_svg) {
        const QRectF whole(QPointF(0, 0), QSizeF(m_size));
        if (source == whole || m_size.isEmpty()) {
            m_svg->render(&p, target);
            return;
        }
        // Map the part from image pixels into the document's own view box.
        const QRectF vb = m_svg->viewBoxF();
        const double kx = vb.width() / m_size.width();
        const double ky = vb.height() / m_size.height();
        const QRectF part(vb.x() + source.x() * kx, vb.y() + source.y() * ky, source.width() * kx,
                          source.height() * ky);
        m_svg->setViewBox(part);
        m_svg->render(&p, target);
        m_svg->setViewBox(vb);
        return;
    }
    p.drawImage(target, m_raster, source);
}

std::shared_ptr<const SkinImage> SkinImage::Load(const QString& file) {
    return Load(file, QColor());
}

std::shared_ptr<const SkinImage> SkinImage::Load(const QString& file, const QColor& mask) {
    const QString path = ResolvePath(file);
    if (path.isEmpty())
        return nullptr;
    const QString key = mask.isValid() ? path + QLatin1Char('|') + mask.name(QColor::HexArgb) : path;
    Cache& cache = TheCache();
    if (auto it = cache.images.constFind(key); it != cache.images.constEnd())
        return it.value();

    std::shared_ptr<SkinImage> img(new SkinImage());
    if (path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        auto svg = std::make_unique<QSvgRenderer>(path);
        if (svg->isValid()) {
            img->m_size = svg->defaultSize();
            if (img->m_size.isEmpty())
                img->m_size = svg->viewBoxF().size().toSize();
            img->m_svg = std::move(svg);
        }
    } else {
        QImage raster(path);
        if (!raster.isNull()) {
            img->m_raster = mask.isValid() ? KeyOut(raster, mask)
                                           : raster.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            img->m_size = img->m_raster.size();
        }
    }
    // A missing image is remembered too, so painting does not hit the disk on every frame.
    std::shared_ptr<const SkinImage> result =
        (img->m_svg || !img->m_raster.isNull()) ? std::move(img) : nullptr;
    cache.images.insert(key, result);
    return result;
}

void SkinImage::SetImageFolder(const QString& folder) {
    Cache& cache = TheCache();
    if (cache.folder != folder) {
        cache.folder = folder;
        cache.images.clear();
    }
}

QString SkinImage::ImageFolder() {
    Cache& cache = TheCache();
    if (cache.folder.isEmpty())
        cache.folder = QString::fromStdString(JoinPath(ProgramFolder(), "skin"));
    return cache.folder;
}

void SkinImage::ClearCache() {
    TheCache().images.clear();
}

QRect ImageDestRect(const QRect& control, const ImageString& image) {
    if (!image.hasDest)
        return control;
    const QRect d(control.left() + image.dest.left, control.top() + image.dest.top, image.dest.Width(),
                  image.dest.Height());
    return d.intersected(control);
}

bool DrawImageString(QPainter& p, const QRect& control, const QString& image, const ImageTint* tint) {
    ImageString look;
    if (!ParseImageString(image, &look))
        return false;
    return DrawImageString(p, control, look, tint);
}

bool DrawImageString(QPainter& p, const QRect& control, const ImageString& look, const ImageTint* tint) {
    const auto img = SkinImage::Load(look.file, look.hasMask ? look.mask : QColor());
    if (!img)
        return false;
    const QRect dest = ImageDestRect(control, look);
    if (dest.isEmpty())
        return true;
    const QRect whole(QPoint(0, 0), img->Size());
    const QRect src = look.hasSource ? look.source.ToQRect().intersected(whole) : whole;
    if (src.isEmpty())
        return true;

    const double fade = look.fade / 255.0;
    if (!tint) {
        p.save();
        p.setOpacity(p.opacity() * fade);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        DrawBody(p, dest, *img, src, look);
        p.restore();
        return true;
    }

    // Tinting works on an offscreen copy at the device's pixel density.
    const double dpr = std::max(1.0, p.device() ? p.device()->devicePixelRatioF() : 1.0);
    QImage shape(QSize(std::max(1, qRound(dest.width() * dpr)), std::max(1, qRound(dest.height() * dpr))),
                 QImage::Format_ARGB32_Premultiplied);
    shape.fill(Qt::transparent);
    {
        QPainter sp(&shape);
        sp.setRenderHint(QPainter::SmoothPixmapTransform);
        sp.setRenderHint(QPainter::Antialiasing);
        sp.scale(dpr, dpr);
        DrawBody(sp, QRect(QPoint(0, 0), dest.size()), *img, src, look);
    }
    QImage tinted = shape;
    {
        QPainter tp(&tinted);
        tp.setCompositionMode(QPainter::CompositionMode_Multiply);
        tp.fillRect(tinted.rect(), QColor(tint->colour.red(), tint->colour.green(), tint->colour.blue()));
        tp.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        tp.drawImage(0, 0, shape);
    }
    tinted.setDevicePixelRatio(dpr);
    p.save();
    p.setOpacity(p.opacity() * fade * std::clamp(tint->brightness, 0, 255) / 255.0);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRectF(dest), tinted, QRectF(tinted.rect()));
    p.restore();
    return true;
}

} // namespace nk7x
