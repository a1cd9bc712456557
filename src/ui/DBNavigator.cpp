#include "ui/DBNavigator.h"

#include "ui/DataSource.h"
#include "ui/ErrorHandler.h"

#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace wk::ui {
namespace {

enum class Arrow { First, Prior, Next, Last };

// A black triangle pointing left or right, with a bar for First and Last.
QIcon arrowIcon(Arrow kind) {
    auto draw = [kind](const QColor& colour) {
        QPixmap pm(16, 16);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        const bool left = kind == Arrow::First || kind == Arrow::Prior;
        QPainterPath tri;
        if (left) {
            tri.moveTo(10, 3);
            tri.lineTo(10, 13);
            tri.lineTo(5, 8);
        } else {
            tri.moveTo(6, 3);
            tri.lineTo(6, 13);
            tri.lineTo(11, 8);
        }
        tri.closeSubpath();
        p.drawPath(tri);
        if (kind == Arrow::First)
            p.drawRect(3, 3, 2, 11);
        if (kind == Arrow::Last)
            p.drawRect(11, 3, 2, 11);
        return pm;
    };
    QIcon icon;
    icon.addPixmap(draw(Qt::black), QIcon::Normal);
    icon.addPixmap(draw(QColor(160, 160, 160)), QIcon::Disabled);
    return icon;
}

} // namespace

DBNavigator::DBNavigator(DataSource& source, QWidget* parent) : QWidget(parent), source_(&source) {
    const char* hints[] = {"First record", "Prior record", "Next record", "Last record"};
    const Arrow arrows[] = {Arrow::First, Arrow::Prior, Arrow::Next, Arrow::Last};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QToolButton(this);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setToolTip(QString::fromLatin1(hints[i]));
        b->setIcon(arrowIcon(arrows[i]));
        buttons_[i] = b;
    }
    auto wire = [this](QToolButton* b, void (engine::Dataset::*move)()) {
        connect(b, &QToolButton::clicked, this, [this, move] {
            if (engine::Dataset* ds = DataSource::datasetOf(source_))
                errors::guarded(window(), [ds, move] { (ds->*move)(); });
        });
    };
    wire(buttons_[0], &engine::Dataset::first);
    wire(buttons_[1], &engine::Dataset::prior);
    wire(buttons_[2], &engine::Dataset::next);
    wire(buttons_[3], &engine::Dataset::last);
    connect(&source, &DataSource::layoutChanged, this, &DBNavigator::updateButtons);
    connect(&source, &DataSource::recordMoved, this, &DBNavigator::updateButtons);
    updateButtons();
}

void DBNavigator::resizeEvent(QResizeEvent*) {
    const int w = width() / 4;
    for (int i = 0; i < 4; ++i)
        buttons_[i]->setGeometry(i * w, 0, i == 3 ? width() - 3 * w : w, height());
}

void DBNavigator::updateButtons() {
    const engine::Dataset* ds = DataSource::datasetOf(source_);
    const bool open = ds && ds->active() && ds->recordCount() > 0;
    const bool atFirst = !ds || ds->recNo() <= 0;
    const bool atLast = !ds || ds->recNo() >= ds->recordCount() - 1;
    buttons_[0]->setEnabled(open && !atFirst);
    buttons_[1]->setEnabled(open && !atFirst);
    buttons_[2]->setEnabled(open && !atLast);
    buttons_[3]->setEnabled(open && !atLast);
}

} // namespace wk::ui
