#pragma once

#include <QPointer>
#include <QWidget>

class QToolButton;

namespace wk::ui {

class DataSource;

/// The buttons First, Prior, Next and Last on a data source, flat, with the hints "First record",
/// "Prior record", "Next record" and "Last record". They take no focus; First and Prior are
/// disabled on the first record, Next and Last on the last one, all four while the dataset is
/// closed, and for good once the data source or its dataset is gone (the navigator holds the
/// data source through a QPointer).
class DBNavigator : public QWidget {
    Q_OBJECT
public:
    DBNavigator(DataSource& source, QWidget* parent);

    QToolButton* firstButton() const { return buttons_[0]; }
    QToolButton* priorButton() const { return buttons_[1]; }
    QToolButton* nextButton() const { return buttons_[2]; }
    QToolButton* lastButton() const { return buttons_[3]; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateButtons();

    QPointer<DataSource> source_;
    QToolButton* buttons_[4];
};

} // namespace wk::ui
