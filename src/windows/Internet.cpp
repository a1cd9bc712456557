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
#include "windows/RefusedDescription.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

namespace wk {
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
    // The memo takes no typing while there is no website to describe, and whenever the table
    // cannot be changed; the records can come and go with every change of the table.
    // The table tells the data source when it goes, and is not read then.
    connect(DataSource1, &ui::DataSource::layoutChanged, this, [this] {
        if (DataSource1->dataset())
            showWhetherTableCanChange();
    });
    // A table imported anew since it was opened is read again, so that no change is meant for a
    // record that is gone and the list and its records belong together: whenever the window
    // becomes active (from another program too), and every second while it stays active. A
    // description typed for one of its records is refused first, and the user is asked.
    followImports(Table1, [this] {
        storePending();
        if (Table1.tableReplaced()) {
            Table1.close();
            Table1.open();
        }
    });

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
    // Whether the table can be changed is looked at when it opens (layoutChanged), so that no
    // typing is taken that could not be stored.
    if (!Table1.active())
        Table1.open();
}

void TFormInternet::showWhetherTableCanChange() {
    if (Table1.active() && Table1.recordCount() == 0) {
        // Typing would begin a record without a name or an address, which could not be stored.
        DBMemo1->setReadOnly(true);
        DBMemo1->setToolTip(QStringLiteral("There is no website to describe."));
        return;
    }
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
    // A description typed but not yet stored is stored before the table closes. When another
    // program's change refused it, the user settles that; when it fails otherwise the user
    // chooses: drop it and close, or keep the window open with the text still in the memo (to
    // copy it, or to try again). The question takes the place of the error box.
    try {
        storePending();
        return true;
    } catch (const std::exception& e) {
        if (std::optional<engine::Table::RefusedChange> refused = Table1.takeRefusedChange())
            return settleRefusal(*refused, QString::fromUtf8(e.what()));
        return discardAfter(QString::fromUtf8(e.what()));
    }
}

bool TFormInternet::answer(const std::exception& error) {
    std::optional<engine::Table::RefusedChange> refused = Table1.takeRefusedChange();
    if (!refused)
        return false;
    settleRefusal(*refused, QString::fromUtf8(error.what()));
    return true;
}

bool TFormInternet::settleRefusal(const engine::Table::RefusedChange& refused, const QString& why) {
    const QString mine = QString::fromStdString(refused.value("Description"));
    if (refused.sameRecord && Table1.active() && Table1.fieldIndex("Description") >= 0) {
        const QString theirs = QString::fromStdString(Table1.fieldAsText("Description"));
        if (theirs == mine)
            return true;
        switch (askKeepMineOrTakeTheirs(this, theirs, mine)) {
        case RefusalChoice::KeepMine:
            // Stored over a text the user has now seen; a failure is answered as any other.
            return guarded([this, &mine] {
                Table1.setFieldText("Description", mine.toStdString());
                Table1.post();
            });
        case RefusalChoice::TakeTheirs:
            return true;
        case RefusalChoice::KeepEditing:
            guarded([this, &mine] { Table1.setFieldText("Description", mine.toStdString()); });
            return false;
        }
    }
    offerForCopying(this, why, mine);
    return true;
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
