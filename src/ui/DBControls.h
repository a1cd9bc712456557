#pragma once

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QString>

namespace wk::ui {

class DataSource;

/// A single-line edit showing one field of the current record. It holds its data source through
/// a QPointer, and shows nothing once the data source or its dataset is gone; so does DBMemo.
class DBEdit : public QLineEdit {
    Q_OBJECT
public:
    DBEdit(DataSource& source, const QString& field, QWidget* parent);
    /// Reads the field again.
    void refresh();

private:
    QPointer<DataSource> source_;
    QString field_;
};

/// A memo showing one field of the current record, with a vertical scroll bar. When it is not
/// read-only and the dataset allows changes, typing edits the field of the current record (an
/// empty table begins a new record); the change is posted when the record moves.
class DBMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    DBMemo(DataSource& source, const QString& field, QWidget* parent);
    /// Reads the field again.
    void refresh();

    /// Makes the memo read-only, with the hint "This table cannot be changed: <reason>.", when
    /// `reason` is not empty; editable and without a hint when it is.
    void setUnchangeableBecause(const QString& reason);

private:
    void userEdited();

    QPointer<DataSource> source_;
    QString field_;
    bool refreshing_ = false;
    bool storing_ = false;
};

/// The field's text in the current record, or "" when there is no data source or dataset (null),
/// or the dataset is closed or lacks the field.
QString currentFieldText(const DataSource* source, const QString& field);

/// Sets a control's background to a packed colour value (red in the low byte), or to the button
/// face colour for kButtonFace.
inline constexpr int kButtonFace = -1;
void setBaseColor(QWidget* control, int packed);

} // namespace wk::ui
