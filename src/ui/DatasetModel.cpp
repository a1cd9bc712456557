#include "ui/DatasetModel.h"

#include "ui/DataSource.h"

#include <limits>

namespace wk::ui {

DatasetModel::DatasetModel(DataSource& source, std::vector<GridColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), source_(&source), columns_(std::move(columns)) {
}

int DatasetModel::rowCount(const QModelIndex& parent) const {
    const engine::Dataset* ds = DataSource::datasetOf(source_);
    if (parent.isValid() || !ds)
        return 0;
    const long long n = ds->recordCount();
    return static_cast<int>(std::min<long long>(n, std::numeric_limits<int>::max()));
}

int DatasetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant DatasetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const engine::Dataset* ds = DataSource::datasetOf(source_);
    if (!ds)
        return {};
    std::string text;
    try {
        const QString& field = columns_[static_cast<size_t>(index.column())].field;
        text = ds->valueAt(index.row(), ds->fieldIndex(field.toStdString()));
    } catch (const std::exception&) {
        // A row that cannot be read now (another program holds the table) paints empty; the
        // next paint tries again.
        return {};
    }
    QString value = QString::fromStdString(text);
    if (role == Qt::DisplayRole) {
        // A grid cell shows one line.
        const qsizetype nl = value.indexOf(u'\n');
        if (nl >= 0)
            value = value.left(nl).trimmed() + QStringLiteral(" ...");
    }
    return value;
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < columnCount()
                   ? columns_[static_cast<size_t>(section)].title
                   : QVariant();
    const engine::Dataset* ds = DataSource::datasetOf(source_);
    return ds && section == ds->recNo() ? QStringLiteral("\u25B6") : QString();
}

void DatasetModel::reset() {
    beginResetModel();
    endResetModel();
}

void DatasetModel::currentMoved(int oldRow, int newRow) {
    if (oldRow >= 0 && oldRow < rowCount())
        emit headerDataChanged(Qt::Vertical, oldRow, oldRow);
    if (newRow >= 0 && newRow < rowCount())
        emit headerDataChanged(Qt::Vertical, newRow, newRow);
}

void DatasetModel::rowChanged(int row) {
    if (row >= 0 && row < rowCount())
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

} // namespace wk::ui
