#include "DBControls.h"

#include "Colors.h"
#include "DataSource.h"
#include "ErrorHandler.h"
#include "engine/Table.h"

namespace wk::ui {

QString currentFieldText(const DataSource& source, const QString& field) {
    const engine::Dataset& ds = source.dataset();
    const std::string name = field.toStdString();
    if (!ds.active() || ds.fieldIndex(name) < 0)
        return {};
    return QString::fromStdString(ds.fieldAsText(name));
}

void setBaseColor(QWidget* control, int packed) {
    QPalette p = control->palette();
    p.setColor(QPalette::Base, packedColor(packed));
    control->setPalette(p);
}

DBEdit::DBEdit(DataSource& source, const QString& field, QWidget* parent)
    : QLineEdit(parent), source_(source), field_(field) {
    for (auto signal :
         {&DataSource::layoutChanged, &DataSource::recordMoved, &DataSource::recordChanged})
        connect(&source_, signal, this, &DBEdit::refresh);
    refresh();
}

void DBEdit::refresh() {
    const QString text = currentFieldText(source_, field_);
    if (this->text() != text) {
        setText(text);
        setCursorPosition(0);
    }
}

DBMemo::DBMemo(DataSource& source, const QString& field, QWidget* parent)
    : QPlainTextEdit(parent), source_(source), field_(field) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(true);
    for (auto signal :
         {&DataSource::layoutChanged, &DataSource::recordMoved, &DataSource::recordChanged})
        connect(&source_, signal, this, &DBMemo::refresh);
    connect(this, &QPlainTextEdit::textChanged, this, &DBMemo::userEdited);
    refresh();
}

void DBMemo::refresh() {
    const QString text = currentFieldText(source_, field_);
    if (toPlainText() == text)
        return;
    refreshing_ = true;
    setPlainText(text);
    refreshing_ = false;
}

void DBMemo::userEdited() {
    if (refreshing_ || isReadOnly())
        return;
    auto* table = dynamic_cast<engine::Table*>(&source_.dataset());
    if (!table || !table->active())
        return;
    const std::string text = toPlainText().toStdString();
    errors::guarded(window(), [&] { table->setFieldText(field_.toStdString(), text); });
}

} // namespace wk::ui
