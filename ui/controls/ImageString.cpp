#include "ui/controls/ImageString.h"

#include <QStringList>

#include <algorithm>

namespace nk7x {
namespace {

// Keeps layout numbers in a range where sums of rectangles cannot overflow.
constexpr int kMaxCoordinate = 1 << 20;

bool ParseInt(const QString& text, int* out) {
    bool ok = false;
    const long long v = text.trimmed().toLongLong(&ok, 10);
    if (!ok || v < -kMaxCoordinate || v > kMaxCoordinate)
        return false;
    *out = static_cast<int>(v);
    return true;
}

bool ParseBool(const QString& text) {
    const QString t = text.trimmed();
    return t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || t == QLatin1String("1");
}

bool ParseColour(const QString& text, QColor* out) {
    QString t = text.trimmed();
    if (t.startsWith(QLatin1Char('#')))
        t.remove(0, 1);
    else if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        t.remove(0, 2);
    if (t.isEmpty() || t.size() > 8)
        return false;
    bool ok = false;
    const uint v = t.toUInt(&ok, 16);
    if (!ok)
        return false;
    // Six digits carry no alpha: opaque.
    const uint argb = t.size() <= 6 ? (v | 0xFF000000u) : v;
    *out = QColor::fromRgba(argb);
    return true;
}

void Apply(ImageString* img, const QString& key, const QString& value) {
    const QString k = key.trimmed().toLower();
    if (k == QLatin1String("file") || k == QLatin1String("res")) {
        img->file = value;
    } else if (k == QLatin1String("restype")) {
        img->resType = value;
    } else if (k == QLatin1String("dest")) {
        img->hasDest = ParseEdgeRect(value, &img->dest);
    } else if (k == QLatin1String("source")) {
        img->hasSource = ParseEdgeRect(value, &img->source);
    } else if (k == QLatin1String("corner")) {
        EdgeRect c;
        if (ParseEdgeRect(value, &c) && c.left >= 0 && c.top >= 0 && c.right >= 0 && c.bottom >= 0)
            img->corner = QMargins(c.left, c.top, c.right, c.bottom);
    } else if (k == QLatin1String("mask")) {
        img->hasMask = ParseColour(value, &img->mask);
    } else if (k == QLatin1String("fade")) {
        int f = 255;
        if (ParseInt(value, &f))
            img->fade = std::clamp(f, 0, 255);
    } else if (k == QLatin1String("hole")) {
        img->hole = ParseBool(value);
    } else if (k == QLatin1String("xtiled")) {
        img->xTiled = ParseBool(value);
    } else if (k == QLatin1String("ytiled")) {
        img->yTiled = ParseBool(value);
    } else if (k == QLatin1String("hsl")) {
        img->hsl = ParseBool(value);
    }
}

} // namespace

bool ParseEdgeRect(const QString& text, EdgeRect* out) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return false;
    int v[4] = {};
    for (int i = 0; i < 4; ++i) {
        if (!ParseInt(parts[i], &v[i]))
            return false;
    }
    *out = EdgeRect{v[0], v[1], v[2], v[3]};
    return true;
}

bool ParseImageString(const QString& text, ImageString* out) {
    *out = ImageString();
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    if (!t.contains(QLatin1Char('='))) {
        out->file = t;
        return true;
    }
    qsizetype i = 0;
    const qsizetype n = t.size();
    while (i < n) {
        while (i < n && t[i].isSpace())
            ++i;
        const qsizetype eq = t.indexOf(QLatin1Char('='), i);
        if (eq < 0)
            break;
        const QString key = t.mid(i, eq - i);
        i = eq + 1;
        while (i < n && t[i].isSpace())
            ++i;
        if (i >= n)
            break;
        QString value;
        const QChar quote = t[i];
        if (quote == QLatin1Char('\'') || quote == QLatin1Char('"')) {
            const qsizetype close = t.indexOf(quote, i + 1);
            if (close < 0) {
                value = t.mid(i + 1); // unterminated: take the rest
                i = n;
            } else {
                value = t.mid(i + 1, close - i - 1);
                i = close + 1;
            }
        } else {
            qsizetype end = i;
            while (end < n && !t[end].isSpace())
                ++end;
            value = t.mid(i, end - i);
            i = end;
        }
        Apply(out, key, value);
    }
    return !out->file.isEmpty();
}

QString FormatSourceImageString(const QString& file, const EdgeRect& source) {
    return QStringLiteral("file='%1' source='%2,%3,%4,%5'")
        .arg(file)
        .arg(source.left)
        .arg(source.top)
        .arg(source.right)
        .arg(source.bottom);
}

} // namespace nk7x
