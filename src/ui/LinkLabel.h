#pragma once

#include <QLabel>

namespace wk::ui {

/// A label that reacts to a mouse click, with the hand cursor.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString& text, QWidget* parent);
    /// Sets the font and widens the label to fit its text.
    void setFont(const QFont& font);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

/// A plain label at `geometry`, widened to fit its text (see fitLabel).
QLabel* makeLabel(const QString& text, QWidget* parent, const QRect& geometry,
                  Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);

/// Widens a label whose text does not fit in its font: a right-aligned label keeps its right
/// edge, any other its left edge. Call again after changing the font.
void fitLabel(QLabel* label);

/// Sets a widget's text colour.
void setTextColor(QWidget* widget, const QColor& colour);

} // namespace wk::ui
