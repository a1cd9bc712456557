#include "ui/DBGrid.h"

#include "engine/sql/Table.h"
#include "ui/Colors.h"
#include "ui/DataSource.h"
#include "ui/ErrorHandler.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QScrollBar>

namespace wk::ui {

DBGrid::DBGrid(DataSource& source, std::vector<GridColumn> columns, QWidget* parent)
    : QTableView(parent), source_(&source), model_(source, std::move(columns), this) {
    setModel(&model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setShowGrid(true);
    setWordWrap(false);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // The grid scrolls by whole rows, and its top row is never cut (see alignTopRow).
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);

    QHeaderView* h = horizontalHeader();
    h->setSectionsMovable(true);
    h->setSectionResizeMode(QHeaderView::Interactive);
    h->setHighlightSections(false);
    h->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    h->setStretchLastSection(false);
    h->setMinimumSectionSize(8);
    for (size_t i = 0; i < model_.columns().size(); ++i)
        h->resizeSection(static_cast<int>(i), model_.columns()[i].width);

    QHeaderView* v = verticalHeader();
    v->setSectionResizeMode(QHeaderView::Fixed);
    v->setDefaultSectionSize(fontMetrics().height() + 4);
    v->setMinimumWidth(12);
    v->setFixedWidth(12);
    v->setDefaultAlignment(Qt::AlignCenter);
    v->setHighlightSections(false);
    v->setSectionsClickable(false);

    // The selected row stays marked while another control has the focus.
    QPalette p = palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight,
               p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText,
               p.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);

    // The text shown over an empty grid, left-aligned in its upper part.
    empty_ = new QLabel(viewport());
    empty_->setTextFormat(Qt::RichText);
    empty_->setWordWrap(true);
    empty_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    empty_->setMargin(4);
    empty_->setAttribute(Qt::WA_TransparentForMouseEvents, false);
    empty_->hide();
    connect(empty_, &QLabel::linkActivated, this, &DBGrid::emptyTextLinkActivated);

    connect(&source, &DataSource::layoutChanged, this, &DBGrid::reload);
    connect(&source, &DataSource::recordMoved, this, &DBGrid::followCurrentRecord);
    connect(&source, &DataSource::recordChanged, this,
            [this] { model_.rowChanged(currentRecord()); });
}

engine::Dataset* DBGrid::dataset() const {
    return DataSource::datasetOf(source_);
}

int DBGrid::currentRecord() const {
    const engine::Dataset* ds = dataset();
    return ds ? static_cast<int>(ds->recNo()) : -1;
}

void DBGrid::setColor(int packed) {
    QPalette p = palette();
    p.setColor(QPalette::Base, packedColor(packed));
    setPalette(p);
}

void DBGrid::reload() {
    model_.reset();
    shownRow_ = -1;
    followCurrentRecord();
    showEmptyText();
}

void DBGrid::setEmptyText(const QString& html) {
    empty_->setText(html);
    showEmptyText();
}

QString DBGrid::emptyText() const {
    return empty_->text();
}

void DBGrid::showEmptyText() {
    empty_->setGeometry(viewport()->rect());
    empty_->setVisible(!empty_->text().isEmpty() && model_.rowCount() == 0);
}

void DBGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    showEmptyText();
}

QString DBGrid::currentRowText() const {
    const int row = currentRecord();
    if (row < 0 || row >= model_.rowCount())
        return {};
    QStringList cells;
    const QHeaderView* h = horizontalHeader();
    for (int visual = 0; visual < h->count(); ++visual) {
        const int column = h->logicalIndex(visual);
        if (!h->isSectionHidden(column))
            cells << model_.index(row, column).data().toString();
    }
    return cells.join(u'\t');
}

void DBGrid::followCurrentRecord() {
    const int row = currentRecord();
    model_.currentMoved(shownRow_, row);
    shownRow_ = row;
    following_ = true;
    if (row >= 0 && row < model_.rowCount()) {
        const int column = currentIndex().isValid() ? currentIndex().column() : 0;
        const QModelIndex index = model_.index(row, column);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                     QItemSelectionModel::Rows);
        scrollTo(index);
    } else {
        selectionModel()->clear();
    }
    following_ = false;
}

void DBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    engine::Dataset* ds = dataset();
    if (following_ || !current.isValid() || !ds || current.row() == ds->recNo())
        return;
    const int row = current.row();
    // Moving posts a pending change; if that fails the grid goes back to the current record.
    if (!errors::guarded(window(), [ds, row] { ds->moveTo(row); }))
        followCurrentRecord();
}

void DBGrid::scrollContentsBy(int dx, int dy) {
    QTableView::scrollContentsBy(dx, dy);
    alignTopRow();
}

void DBGrid::updateGeometries() {
    QTableView::updateGeometries();
    alignTopRow();
}

void DBGrid::alignTopRow() {
    // Scrolled to the end, the view would put the last row against the bottom edge and cut the
    // top row; the scroll range already ends where the last row shows whole below a whole top
    // row.
    QHeaderView* rows = verticalHeader();
    const int top = verticalScrollBar()->value();
    if (top >= model_.rowCount())
        return;
    const int offset = rows->sectionPosition(top);
    if (rows->offset() != offset) {
        rows->setOffset(offset);
        viewport()->update();
    }
}

void DBGrid::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::ControlModifier) {
        confirmDelete();
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        if (const QString text = currentRowText(); !text.isEmpty())
            QGuiApplication::clipboard()->setText(text);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        QTableView::keyPressEvent(event);
        return;
    default:
        event->ignore();
    }
}

void DBGrid::confirmDelete() {
    auto* table = dynamic_cast<engine::Table*>(dataset());
    if (!table || !table->canModify() || !table->active() || table->recordCount() == 0)
        return;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"),
                    QStringLiteral("Delete record?"), QMessageBox::Ok | QMessageBox::Cancel,
                    window());
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    // The dataset may have gone while the box was open.
    if (box.exec() != QMessageBox::Ok || dataset() != table)
        return;
    errors::guarded(window(), [table] { table->deleteRecord(); });
}

} // namespace wk::ui
