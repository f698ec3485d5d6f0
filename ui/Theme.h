// The skin's style sheet, with its pixel sizes scaled to the window's scale and its image paths
// made absolute.
#pragma once

#include <QString>

namespace nk7x {

// Reads a style sheet from the skin folder; empty when missing. Relative url(...) paths are
// resolved against the skin folder.
QString LoadStyleSheet(const QString& skinFolder, const QString& file);

// Whether the windows support a scale (DPI): 48, 72, 96, 120, 144, 168 or 192.
bool IsAllowedDpi(int dpi);

// Makes every relative url(...) of a style sheet absolute below the skin folder.
QString ResolveSkinUrls(const QString& qss, const QString& skinFolder);

// Multiplies every "<n>px" by scale / 96, rounding to the nearest pixel (never below 1 for n > 0).
QString ScaleStyleSheet(const QString& qss, int scale);

} // namespace nk7x
