#pragma once

#include "ui/DatasetModel.h"

#include <QPointer>
#include <QTableView>

class QLabel;

namespace wk::engine {
class Dataset;
}

namespace wk::ui {

class DataSource;

/// A grid on a data source with the program's grid options: column titles, the record indicator
/// column, columns resized and reordered by dragging their titles, column and row lines, whole-row
/// selection that stays visible without the focus, no editing. Up and Down move between records,
/// Tab moves the focus on, typed letters are left to the window's accelerators, and Ctrl+Delete
/// asks "Delete record?" and deletes the current record when the dataset allows changes. Ctrl+C
/// copies the current record's shown columns.
///
/// The grid holds its data source through a QPointer: once the data source or its dataset is
/// gone, the grid has no rows and its keys do nothing.
class DBGrid : public QTableView {
    Q_OBJECT
public:
    DBGrid(DataSource& source, std::vector<GridColumn> columns, QWidget* parent);

    /// The background colour as a packed value (red in the low byte).
    void setColor(int packed);

    DatasetModel& datasetModel() { return model_; }

    /// A rich text shown over the grid while it has no rows (empty: nothing is shown). A link in
    /// it emits emptyTextLinkActivated with the link's address.
    void setEmptyText(const QString& html);
    QString emptyText() const;

    /// The current record's shown columns, in the order they are shown, tab-separated: what
    /// Ctrl+C puts on the clipboard. Empty when there is no current record.
    QString currentRowText() const;

signals:
    void emptyTextLinkActivated(const QString& link);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyboardSearch(const QString&) override {}
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;

    void resizeEvent(QResizeEvent* event) override;

private:
    void showEmptyText();
    /// Puts the top row's upper edge at the top of the view.
    void alignTopRow();
    void reload();
    void followCurrentRecord();
    void confirmDelete();
    /// The dataset shown, or nullptr when the data source or its dataset is gone.
    engine::Dataset* dataset() const;
    /// The index of the current record, or -1 when there is none.
    int currentRecord() const;

    QPointer<DataSource> source_;
    DatasetModel model_;
    QLabel* empty_;
    int shownRow_ = -1;
    bool following_ = false;
};

} // namespace wk::ui
