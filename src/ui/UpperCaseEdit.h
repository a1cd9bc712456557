#pragma once

#include <QLineEdit>

namespace wk::ui {

/// A single-line edit that turns every letter typed or pasted into a capital as it arrives
/// ("ñ" becomes "Ñ"), keeping the cursor where it was. Control characters that arrive with a
/// paste or a drop (a NUL, a tab, a line break) are dropped: the text is a search text.
class UpperCaseEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit UpperCaseEdit(QWidget* parent);

    /// Each letter as its single-character capital; letters without one stay as they are.
    static QString toCapitals(const QString& text);

    /// The text without its control characters (those of the Unicode category Cc); everything
    /// else stays as it is.
    static QString withoutControls(const QString& text);
};

} // namespace wk::ui
