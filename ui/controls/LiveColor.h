// The packing of a key's live colour as the device pages hand it to their key buttons: red in
// bits 0-7, blue in bits 8-15, green in bits 16-23.
#pragma once

#include <QColor>
#include <QtGlobal>

namespace nk7x {

constexpr quint32 PackLiveColor(quint8 red, quint8 green, quint8 blue) {
    return quint32(red) | (quint32(blue) << 8) | (quint32(green) << 16);
}

inline QColor LiveColorToQColor(quint32 value) {
    return QColor(int(value & 0xFF), int((value >> 16) & 0xFF), int((value >> 8) & 0xFF));
}

} // namespace nk7x
