#include "windows/Internet.h"

#include "platform/Host.h"
#include "platform/WebAddress.h"
#include "ui/Colors.h"
#include "ui/DBControls.h"
#include "ui/DBGrid.h"
#include "ui/DBNavigator.h"
#include "ui/DataSource.h"
#include "ui/Fonts.h"
#include "windows/Forms.h"
#include "windows/Menu.h"

#include <QMessageBox>
#include <QPushButton>

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

    setTabOrder(DBGrid1, DBMemo1);
    setTabOrder(DBMemo1, BitBtn1);
    setTabOrder(BitBtn1, DBEdit1);
    DBGrid1->setFocus();

    guarded([this] { FormCreate(); });
}

TFormInternet::~TFormInternet() {
    // The controls follow Table1 through DataSource1; they go before the table does.
    qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
    delete DataSource1;
}

void TFormInternet::FormCreate() {
    setPlacement([] { return QPoint(20, FormMenu->outerHeight() + 40); });
}

void TFormInternet::formActivate() {
    Table1.open();
}

void TFormInternet::BitBtn1Click() {
    repaint();
    const QString url = QString::fromStdString(Table1.fieldAsText("URL"));
    if (url.isEmpty())
        return;
    const std::optional<QString> address = platform::webAddressToOpen(url);
    if (!address) {
        QMessageBox box(
            QMessageBox::Information, QStringLiteral("Wikabay"),
            QStringLiteral("\"%1\" is not a web address, so it is not opened.").arg(url),
            QMessageBox::Ok, this);
        box.exec();
        return;
    }
    platform::host().openAddress(*address, platform::ShowMode::Maximized);
}

bool TFormInternet::formCloseQuery() {
    // A description typed but not yet stored is posted before the table closes; if that fails
    // the error is shown and the window stays open with the text still in the memo.
    Table1.post();
    return true;
}

void TFormInternet::formClose() {
    Table1.close();
}

} // namespace wk
