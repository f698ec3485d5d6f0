// A skin image string as layouts write it: either a bare file name or "file='a.svg' dest='0,0,10,10'
// source='...' corner='...' ..." with the keys the controls understand. Parsing never fails hard.
#pragma once

#include <QColor>
#include <QMargins>
#include <QRect>
#include <QString>

namespace nk7x {

// Left, top, right, bottom as the layouts give them (right and bottom exclusive).
struct EdgeRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    QRect ToQRect() const { return QRect(left, top, Width(), Height()); }
    friend bool operator==(const EdgeRect&, const EdgeRect&) = default;
};

struct ImageString {
    QString file;    // "file" or "res" (a bare string is the file)
    QString resType; // "restype": kept, resources are files here
    bool hasDest = false;
    EdgeRect dest; // relative to the control's top-left corner
    bool hasSource = false;
    EdgeRect source; // in image pixels
    QMargins corner; // nine-slice insets, in image pixels
    bool hasMask = false;
    QColor mask;       // colour key made transparent (raster images)
    int fade = 255;    // 0..255 opacity
    bool hole = false; // nine-slice without its centre
    bool xTiled = false;
    bool yTiled = false;
    bool hsl = false; // accepted; no global hue adjustment exists here

    bool IsEmpty() const { return file.isEmpty(); }
};

// Parses an image string; unknown keys are skipped, malformed numbers leave a field at its default.
// Returns false when no file could be found in the text.
bool ParseImageString(const QString& text, ImageString* out);

// "file='NAME' source='l,t,r,b'" exactly as the panning button rebuilds it.
QString FormatSourceImageString(const QString& file, const EdgeRect& source);

// Parses "l,t,r,b" (four integers, optional spaces). False when it is not four integers.
bool ParseEdgeRect(const QString& text, EdgeRect* out);

} // namespace nk7x
