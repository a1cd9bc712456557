#include "ui/ErrorHandler.h"

#include <QMessageBox>

namespace wk::ui::errors {

QString withFullStop(const QString& text) {
    if (!text.isEmpty() && text.back() > QChar(u'.'))
        return text + u'.';
    return text;
}

void show(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Wikabay"), withFullStop(text),
                    QMessageBox::Ok, parent);
    box.exec();
}

bool guarded(QWidget* parent, const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (const std::exception& e) {
        auto* answerer = dynamic_cast<Answerer*>(parent ? parent->window() : nullptr);
        if (!answerer || !answerer->answer(e))
            show(parent, QString::fromUtf8(e.what()));
    }
    return false;
}

} // namespace wk::ui::errors
