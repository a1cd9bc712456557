#pragma once

#include "ui/DatasetModel.h"

#include <QTableView>

namespace wk::ui {

class DataSource;

/// A grid on a data source with the program's grid options: column titles, the record indicator
/// column, columns resized and reordered by dragging their titles, column and row lines, whole-row
/// selection that stays visible without the focus, no editing. Up and Down move between records,
/// Tab moves the focus on, typed letters are left to the window's accelerators, and Ctrl+Delete
/// asks "Delete record?" and deletes the current record when the dataset allows changes.
class DBGrid : public QTableView {
    Q_OBJECT
public:
    DBGrid(DataSource& source, std::vector<GridColumn> columns, QWidget* parent);

    /// The background colour as a packed value (red in the low byte).
    void setColor(int packed);

    DatasetModel& datasetModel() { return model_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyboardSearch(const QString&) override {}
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;

private:
    /// Puts the top row's upper edge at the top of the view.
    void alignTopRow();
    void reload();
    void followCurrentRecord();
    void confirmDelete();

    DataSource& source_;
    DatasetModel model_;
    int shownRow_ = -1;
    bool following_ = false;
};

} // namespace wk::ui
