#include "ui/DBControls.h"

#include "engine/sql/Table.h"
#include "ui/Colors.h"
#include "ui/DataSource.h"
#include "ui/ErrorHandler.h"

namespace wk::ui {

QString currentFieldText(const DataSource* source, const QString& field) {
    const engine::Dataset* ds = DataSource::datasetOf(source);
    const std::string name = field.toStdString();
    if (!ds || !ds->active() || ds->fieldIndex(name) < 0)
        return {};
    try {
        return QString::fromStdString(ds->fieldAsText(name));
    } catch (const std::exception&) {
        return {}; // the record cannot be read now; the next move reads it again
    }
}

void setBaseColor(QWidget* control, int packed) {
    QPalette p = control->palette();
    p.setColor(QPalette::Base, packed < 0 ? p.color(QPalette::Button) : packedColor(packed));
    control->setPalette(p);
}

DBEdit::DBEdit(DataSource& source, const QString& field, QWidget* parent)
    : QLineEdit(parent), source_(&source), field_(field) {
    for (auto signal :
         {&DataSource::layoutChanged, &DataSource::recordMoved, &DataSource::recordChanged})
        connect(&source, signal, this, &DBEdit::refresh);
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
    : QPlainTextEdit(parent), source_(&source), field_(field) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(true);
    for (auto signal :
         {&DataSource::layoutChanged, &DataSource::recordMoved, &DataSource::recordChanged})
        connect(&source, signal, this, &DBMemo::refresh);
    connect(this, &QPlainTextEdit::textChanged, this, &DBMemo::userEdited);
    refresh();
}

void DBMemo::refresh() {
    const QString text = currentFieldText(source_, field_);
    // While the memo hands its own typing to the dataset, the dataset's events echo it back.
    if (storing_ || toPlainText() == text)
        return;
    refreshing_ = true;
    setPlainText(text);
    refreshing_ = false;
}

void DBMemo::setUnchangeableBecause(const QString& reason) {
    setReadOnly(!reason.isEmpty());
    setToolTip(reason.isEmpty() ? QString()
                                : QStringLiteral("This table cannot be changed: ") +
                                      errors::withFullStop(reason));
}

void DBMemo::userEdited() {
    if (refreshing_ || isReadOnly())
        return;
    auto* table = dynamic_cast<engine::Table*>(DataSource::datasetOf(source_));
    if (!table || !table->active())
        return;
    const std::string text = toPlainText().toStdString();
    storing_ = true;
    errors::guarded(window(), [&] { table->setFieldText(field_.toStdString(), text); });
    storing_ = false;
}

} // namespace wk::ui
