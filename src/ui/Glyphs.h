#pragma once

#include <QIcon>
#include <QImage>

class QPushButton;

namespace wk::ui {

/// The 16 x 16 glyph of the menu buttons: a yellow hand with a black and cyan cuff pointing to the
/// right. The icon holds it for the normal state and a grey copy for the disabled state; the olive
/// background is transparent.
QIcon handGlyph();

/// The 16 x 16 glyph of the Search button: a yellow hand pointing right at a red mark on a dashed
/// black vertical line, with its grey disabled copy.
QIcon searchGlyph();

/// The standard glyph of an OK button: a green check mark, with its grey disabled copy.
QIcon okGlyph();

/// Puts the 16 x 16 `glyph` on `button` after its label (on the right), with the usual four
/// pixels between the label and the glyph.
void setTrailingGlyph(QPushButton* button, const QIcon& glyph);

/// A glyph drawn from rows of characters: '.' is the olive background (transparent), 'K' black,
/// 'Y' yellow, 'C' cyan, 'R' red, 'G' green. `disabled` gives the grey copy.
QImage glyphImage(const char* const rows[16], bool disabled);

} // namespace wk::ui
