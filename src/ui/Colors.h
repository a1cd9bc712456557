#pragma once

#include <QColor>

namespace wk::ui {

/// A colour given as a 24-bit value with red in the low byte, green in the middle byte and blue in
/// the high byte: 13434879 is pale yellow (255, 255, 204).
inline QColor packedColor(int value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

inline constexpr int kPaleYellow = 13434879;  ///< red 255, green 255, blue 204
inline constexpr int kPalerYellow = 15925247; ///< red 255, green 255, blue 242
inline constexpr int kLightGrey = 14671839;   ///< red, green and blue 223

/// The usual palette colours by name.
inline QColor teal() {
    return QColor(0, 128, 128);
}
inline QColor navy() {
    return QColor(0, 0, 128);
}
inline QColor linkBlue() {
    return QColor(0, 0, 255);
}
inline QColor linkRed() {
    return QColor(255, 0, 0);
}
inline QColor linkGreen() {
    return QColor(0, 128, 0);
}

} // namespace wk::ui
