#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QString>

#include <vector>

namespace wk::ui {

class DataSource;

/// A grid column: the field it shows, its title and width.
struct GridColumn {
    QString field;
    QString title;
    int width = 64;
};

/// The rows of a dataset as a table model. Only the rows the view paints are asked for, and the
/// dataset fetches each on demand, so a million-record result costs nothing up front. The
/// vertical header is the record indicator: it marks the current record. Once the data source or
/// its dataset is gone the model has no rows (whoever shows it resets it on layoutChanged).
class DatasetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    DatasetModel(DataSource& source, std::vector<GridColumn> columns, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const std::vector<GridColumn>& columns() const { return columns_; }

    /// Re-reads everything: the dataset opened, closed or reloaded.
    void reset();
    /// The current record moved from `oldRow`: repaints both indicator cells.
    void currentMoved(int oldRow, int newRow);
    /// Repaints the row of the current record.
    void rowChanged(int row);

private:
    QPointer<DataSource> source_;
    std::vector<GridColumn> columns_;
};

} // namespace wk::ui
