#include "ui/LinkLabel.h"

#include <QMouseEvent>

namespace wk::ui {

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setCursor(Qt::PointingHandCursor);
    setTextFormat(Qt::PlainText);
}

void LinkLabel::setFont(const QFont& font) {
    QLabel::setFont(font);
    fitLabel(this);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

QLabel* makeLabel(const QString& text, QWidget* parent, const QRect& geometry,
                  Qt::Alignment alignment) {
    auto* l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    l->setAlignment(alignment);
    l->setGeometry(geometry);
    fitLabel(l);
    return l;
}

void fitLabel(QLabel* label) {
    const int needed = label->fontMetrics().horizontalAdvance(label->text()) + 1;
    const QRect g = label->geometry();
    if (needed <= g.width())
        return;
    if (label->alignment() & Qt::AlignRight)
        label->setGeometry(g.right() + 1 - needed, g.y(), needed, g.height());
    else
        label->setGeometry(g.x(), g.y(), needed, g.height());
}

void setTextColor(QWidget* widget, const QColor& colour) {
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::Text, colour);
    widget->setPalette(p);
}

} // namespace wk::ui
