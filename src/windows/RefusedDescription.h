#pragma once

#include <QString>

class QWidget;

namespace wk {

/// What the user chose for a description that was not stored because another program changed
/// its record meanwhile.
enum class RefusalChoice {
    KeepMine,   ///< store the typed text over the other program's
    TakeTheirs, ///< drop the typed text; the other program's stays
    KeepEditing ///< go on editing the typed text, not stored yet
};

/// Asks, in a modal box over `over`, what to do with `mine`, a description typed for a record
/// whose description another program changed meanwhile to `theirs`: both are shown, so that
/// nothing is stored over a text the user has not seen. Escape keeps editing.
RefusalChoice askKeepMineOrTakeTheirs(QWidget* over, const QString& theirs, const QString& mine);

/// Shows `mine`, a description that could not be stored (`why` says why: its record is gone, or
/// the table cannot be read), in a modal box over `over` that offers to copy it to the clipboard.
/// The text is not kept anywhere else.
void offerForCopying(QWidget* over, const QString& why, const QString& mine);

} // namespace wk
