#pragma once

#include "engine/sql/Dataset.h"

#include <QObject>

namespace wk::ui {

/// Connects one dataset to its data-aware controls: the dataset's events become Qt signals.
///
/// The data source owns neither its dataset nor its controls: a window holds the dataset as a
/// member and the data source and its controls as Qt children, and they may go in any order.
/// - When the dataset goes first, it tells the data source, which drops it and from then on
///   behaves as if it had none: dataset() is null, and layoutChanged is emitted so that the
///   controls show nothing and the grid's rows are read again (there are none).
/// - When the data source goes first, it leaves the dataset's observers and emits layoutChanged
///   with dataset() already null, so that its controls show nothing. The controls hold it through
///   a QPointer and read no dataset once it is gone (datasetOf).
class DataSource : public QObject, private engine::DatasetObserver {
    Q_OBJECT
public:
    explicit DataSource(engine::Dataset& dataset, QObject* parent = nullptr);
    ~DataSource() override;

    /// The dataset, or nullptr once it has been destroyed (or while this data source goes).
    engine::Dataset* dataset() const { return dataset_; }

    /// The dataset behind `source`, or nullptr when the source is null or has none.
    static engine::Dataset* datasetOf(const DataSource* source) {
        return source ? source->dataset() : nullptr;
    }

signals:
    /// The dataset opened, closed, or its records were reloaded or changed; or it is gone.
    void layoutChanged();
    /// Another record became current.
    void recordMoved();
    /// A field of the current record was edited, or editing began or ended.
    void recordChanged();

private:
    void datasetEvent(engine::Dataset& dataset, engine::DatasetEvent event) override;
    void datasetDestroyed(engine::Dataset& dataset) override;

    engine::Dataset* dataset_;
};

} // namespace wk::ui
