// The keyboard picture: where each of the 126 program keys sits on the board, in key units, and the
// key and LED buttons built from it inside the key panel, placed and scaled with the panel.
#pragma once

#include <array>

#include <QRectF>
#include <QSizeF>

class QWidget;

namespace nk7x {

class LanguageTexts;

inline constexpr int kKeyboardLayoutKeys = 126;

// One key on the board: its row (0 function row, 1..5 main rows, 6 the extra row of the regional
// keys), its left edge and its size, in key units (1 = the width of a letter key).
struct KeyPlace {
    int row = 0;
    double x = 0.0;
    double width = 1.0;
    double height = 1.0;
};

// The board's size in key units: every key lies inside [0, width] x [0, height].
inline constexpr double kBoardUnitsWide = 24.0;
inline constexpr double kBoardUnitsHigh = 7.5;

// Indexed by key index 0..125.
const std::array<KeyPlace, kKeyboardLayoutKeys>& KeyboardKeyLayout();

// The top edge of a row in key units.
double KeyRowTop(int row);

// A key's rectangle in key units; empty for an index outside 0..125.
QRectF KeyUnitRect(int keyIndex);

// The board's rectangle inside an area of that size: as large as fits with the board's proportions,
// centred.
QRectF BoardRectIn(const QSizeF& area);

// A key's rectangle inside an area of that size, with the board placed as BoardRectIn says.
QRectF KeyRectIn(int keyIndex, const QSizeF& area);

// Fills the key panel: for every key index n a key button "key_<n>" with the key's caption and an
// LED button "light_<n>" (user data "light_<n>") behind it that shows the key's live colour, both
// CDeviceKeyButtonUI and direct children of the container, and the board's body drawn behind them.
// They follow the container's size from then on. The captions are the translations of
// "keyboard_key_" + the key's name (property "textKey", so a language change reaches them), taken
// from `texts` when given. A container already filled is left as it is.
// Returns how many buttons were made (252 for an empty container, 0 for a filled one or null).
int PopulateKeyboardKeys(QWidget* container, const LanguageTexts* texts = nullptr);

} // namespace nk7x
