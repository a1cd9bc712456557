#include "ui/DataSource.h"

namespace wk::ui {

DataSource::DataSource(engine::Dataset& dataset, QObject* parent)
    : QObject(parent), dataset_(&dataset) {
    dataset_->addObserver(this);
}

DataSource::~DataSource() {
    if (dataset_) {
        dataset_->removeObserver(this);
        dataset_ = nullptr;
        emit layoutChanged();
    }
}

void DataSource::datasetDestroyed(engine::Dataset&) {
    dataset_ = nullptr;
    emit layoutChanged();
}

void DataSource::datasetEvent(engine::Dataset&, engine::DatasetEvent event) {
    switch (event) {
    case engine::DatasetEvent::Opened:
    case engine::DatasetEvent::Closed:
    case engine::DatasetEvent::DataChanged:
        emit layoutChanged();
        break;
    case engine::DatasetEvent::RecordMoved:
        emit recordMoved();
        break;
    case engine::DatasetEvent::FieldChanged:
    case engine::DatasetEvent::StateChanged:
        emit recordChanged();
        break;
    }
}

} // namespace wk::ui
