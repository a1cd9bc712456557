#include "ui/UpperCaseEdit.h"

namespace wk::ui {

UpperCaseEdit::UpperCaseEdit(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
        const QString upper = toCapitals(withoutControls(text));
        if (upper == text)
            return;
        // The cursor stays after the same character, less the controls dropped before it.
        const int cursor = cursorPosition();
        const qsizetype dropped = cursor - withoutControls(text.left(cursor)).size();
        setText(upper);
        setCursorPosition(static_cast<int>(cursor - dropped));
    });
}

QString UpperCaseEdit::withoutControls(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (c.category() != QChar::Other_Control)
            out += c;
    return out;
}

QString UpperCaseEdit::toCapitals(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            const char32_t cp = QChar::toUpper(QChar::surrogateToUcs4(text[i], text[i + 1]));
            out += QString::fromUcs4(&cp, 1);
            ++i;
        } else {
            out += text[i].toUpper();
        }
    }
    return out;
}

} // namespace wk::ui
