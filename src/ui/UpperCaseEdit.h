#pragma once

#include <QLineEdit>

namespace wk::ui {

/// A single-line edit that turns every letter typed or pasted into a capital as it arrives
/// ("ñ" becomes "Ñ"), keeping the cursor where it was.
class UpperCaseEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit UpperCaseEdit(QWidget* parent);

    /// Each letter as its single-character capital; letters without one stay as they are.
    static QString toCapitals(const QString& text);
};

} // namespace wk::ui
