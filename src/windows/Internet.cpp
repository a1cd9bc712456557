#include "windows/Internet.h"

#include "platform/Host.h"
#include "platform/WebAddress.h"
#include "ui/Colors.h"
#include "ui/DBControls.h"
#include "ui/DBGrid.h"
#include "ui/DBNavigator.h"
#include "ui/DataSource.h"
#include "ui/ErrorHandler.h"
#include "ui/Fonts.h"
#include "windows/Forms.h"
#include "windows/Menu.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QWindow>

namespace wk {
namespace {

// After the table refused a description because another program changed the record meanwhile,
// the typed text stays in the memo: as a pending change of the record as it is now, so that the
// next move or close stores it; or, when the record it was typed for is gone (deleted, or the
// table imported anew), only in view, to be copied, for it must not land on another record.
void keepRefusedDescription(engine::Table& table, ui::DBMemo& memo) {
    const std::optional<engine::Table::RefusedChange> refused = table.takeRefusedChange();
    const int field = table.fieldIndex("Description");
    if (!refused || field < 0 || static_cast<size_t>(field) >= refused->values.size())
        return;
    const std::string& typed = refused->values[static_cast<size_t>(field)];
    if (refused->sameRecord) {
        try {
            if (typed != table.fieldAsText("Description"))
                table.setFieldText("Description", typed);
            return;
        } catch (const std::exception&) {
            // The record cannot be read now: the text stays in view all the same.
        }
    }
    const QSignalBlocker quiet(&memo);
    memo.setPlainText(QString::fromStdString(typed));
}

} // namespace

TFormInternet::TFormInternet() {
    setWindowTitle(QStringLiteral("Wikabay - Internet"));
    setClientSize(329, 318);

    Table1.setName("Table1");
    Table1.setDatabaseName("Wikabay");
    Table1.setSessionName("Session1");
    Table1.setTableName("Internet.db");
    DataSource1 = new ui::DataSource(Table1, this);

    DBNavigator2 = new ui::DBNavigator(*DataSource1, this);
    DBNavigator2->setGeometry(4, 4, 128, 25);

    BitBtn1 = new QPushButton(QStringLiteral("&Go to"), this);
    BitBtn1->setGeometry(248, 4, 75, 25);
    BitBtn1->setToolTip(QStringLiteral("Go to visit the selected website"));
    addPlainAccelerator(BitBtn1);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { guarded([this] { BitBtn1Click(); }); });

    DBGrid1 =
        new ui::DBGrid(*DataSource1, {{QStringLiteral("Name"), QStringLiteral("Name"), 280}}, this);
    DBGrid1->setGeometry(4, 36, 321, 120);
    DBGrid1->setColor(ui::kPaleYellow);

    DBEdit1 = new ui::DBEdit(*DataSource1, QStringLiteral("URL"), this);
    DBEdit1->setGeometry(4, 160, 321, 21);
    DBEdit1->setReadOnly(true);
    DBEdit1->setFont(ui::defaultFont(11, true));
    ui::setBaseColor(DBEdit1, ui::kButtonFace);

    DBMemo1 = new ui::DBMemo(*DataSource1, QStringLiteral("Description"), this);
    DBMemo1->setGeometry(4, 188, 321, 125);
    ui::setBaseColor(DBMemo1, ui::kPaleYellow);
    // Connected after the memo: it has shown the record read again when the typed text returns.
    // The table tells the data source when it goes, and is not read then.
    connect(DataSource1, &ui::DataSource::layoutChanged, this, [this] {
        if (DataSource1->dataset())
            keepRefusedDescription(Table1, *DBMemo1);
    });
    // Whenever the window becomes active (from another program too), a table imported anew
    // since it was opened is read again, so that no change is meant for a record that is gone.
    // A description typed for one of its records is refused first, with the table's error.
    auto readAgainIfReplaced = [this] {
        if (!Table1.active() || !Table1.tableReplaced())
            return;
        try {
            storePending();
            if (Table1.tableReplaced()) {
                Table1.close();
                Table1.open();
            }
        } catch (...) {
            showWhetherTableCanChange();
            throw;
        }
        showWhetherTableCanChange();
    };
    whenActivated(readAgainIfReplaced);

    setTabOrder(DBGrid1, DBMemo1);
    setTabOrder(DBMemo1, BitBtn1);
    setTabOrder(BitBtn1, DBEdit1);
    DBGrid1->setFocus();

    guarded([this] { FormCreate(); });
}

void TFormInternet::FormCreate() {
    setPlacement([] { return QPoint(20, FormMenu->outerHeight() + 40); });
}

void TFormInternet::formActivate() {
    if (Table1.active())
        return;
    // Whether the table can be changed is looked at when it opens, so that no typing is taken
    // that could not be stored.
    try {
        Table1.open();
    } catch (...) {
        showWhetherTableCanChange();
        throw;
    }
    showWhetherTableCanChange();
}

void TFormInternet::showWhetherTableCanChange() {
    DBMemo1->setUnchangeableBecause(
        Table1.active() ? QString::fromStdString(Table1.readOnlyReason()) : QString());
}

void TFormInternet::BitBtn1Click() {
    repaint();
    const QString url = QString::fromStdString(Table1.fieldAsText("URL"));
    if (url.isEmpty())
        return;
    // An address that is refused, or that the system cannot open, is named in a box.
    platform::openWebAddress(this, url, platform::ShowMode::Maximized);
}

void TFormInternet::storePending() {
    auto blank = [this](const char* field) {
        return Table1.fieldIndex(field) < 0 ||
               QString::fromStdString(Table1.fieldAsText(field)).trimmed().isEmpty();
    };
    if (Table1.state() == engine::DatasetState::Insert && blank("Name") && blank("URL")) {
        Table1.cancel();
        return;
    }
    Table1.post();
}

bool TFormInternet::formCloseQuery() {
    // A description typed but not yet stored is stored before the table closes. When that fails
    // the user chooses: drop it and close, or keep the window open with the text still in the
    // memo (to copy it, or to try again). The question takes the place of the error box.
    try {
        storePending();
        return true;
    } catch (const std::exception& e) {
        return discardAfter(QString::fromUtf8(e.what()));
    }
}

bool TFormInternet::discardAfter(const QString& error) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Wikabay"),
                    QStringLiteral("The description could not be stored.\n\n%1\n\nDiscard the "
                                   "change, or keep editing?")
                        .arg(ui::errors::withFullStop(error)),
                    QMessageBox::NoButton, this);
    QPushButton* discard = box.addButton(QMessageBox::Discard);
    discard->setText(QStringLiteral("&Discard"));
    QPushButton* keep = box.addButton(QMessageBox::Cancel);
    keep->setText(QStringLiteral("Keep editing"));
    box.setDefaultButton(keep);
    box.setEscapeButton(keep);
    box.exec();
    if (box.clickedButton() != discard)
        return false;
    Table1.cancel();
    return true;
}

void TFormInternet::formClose() {
    Table1.close();
}

} // namespace wk
