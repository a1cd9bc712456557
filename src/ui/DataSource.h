#pragma once

#include "engine/sql/Dataset.h"

#include <QObject>

namespace wk::ui {

/// Connects one dataset to its data-aware controls: the dataset's events become Qt signals.
class DataSource : public QObject, private engine::DatasetObserver {
    Q_OBJECT
public:
    explicit DataSource(engine::Dataset& dataset, QObject* parent = nullptr);
    ~DataSource() override;

    engine::Dataset& dataset() const { return dataset_; }

signals:
    /// The dataset opened, closed, or its records were reloaded or changed.
    void layoutChanged();
    /// Another record became current.
    void recordMoved();
    /// A field of the current record was edited, or editing began or ended.
    void recordChanged();

private:
    void datasetEvent(engine::Dataset& dataset, engine::DatasetEvent event) override;

    engine::Dataset& dataset_;
};

} // namespace wk::ui
