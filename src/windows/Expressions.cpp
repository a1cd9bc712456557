#include "windows/Expressions.h"

#include "ui/Colors.h"
#include "ui/DBGrid.h"
#include "ui/DataSource.h"
#include "ui/Fonts.h"
#include "ui/LinkLabel.h"

#include <QGroupBox>

namespace wk {

TFormExpressions::TFormExpressions() {
    setWindowTitle(QStringLiteral("Wikabay - Expressions"));
    setClientSize(685, 449);

    Table1.setName("Table1");
    Table1.setDatabaseName("Wikabay");
    Table1.setSessionName("Session1");
    Table1.setTableName("Expressions1.db");
    Table1.setFilter("Group='Ventrel'");
    Table1.setFiltered(true);
    DataSource1 = new ui::DataSource(Table1, this);

    GroupBox1 = new QGroupBox(QStringLiteral("Topics"), this);
    GroupBox1->setGeometry(4, 4, 677, 105);
    Label3 = makeTopic("General", 12, 20);
    Label4 = makeTopic("Language", 12, 40);
    Label5 = makeTopic("Conversation", 12, 60);
    Label6 = makeTopic("Relationships", 12, 80);
    Label7 = makeTopic("Travelling", 116, 20);
    Label8 = makeTopic("Food", 116, 40);
    Label9 = makeTopic("Date/time", 116, 60);
    Label10 = makeTopic("Money", 116, 80);
    Label11 = makeTopic("Emergency", 208, 20);
    Label12 = makeTopic("Numbers", 208, 40);

    DBGrid1 = new ui::DBGrid(*DataSource1,
                             {{QStringLiteral("English"), QStringLiteral("English"), 322},
                              {QStringLiteral("Tagalog"), QStringLiteral("Tagalog"), 322}},
                             this);
    DBGrid1->setGeometry(4, 116, 677, 329);
    DBGrid1->setColor(ui::kPaleYellow);
    // The grid comes first in the tab order and has the focus when the window is shown; the
    // topic labels take no focus.
    DBGrid1->setFocus();

    guarded([this] { FormCreate(); });
}

ui::LinkLabel* TFormExpressions::makeTopic(const char* caption, int left, int top) {
    auto* l = new ui::LinkLabel(QString::fromUtf8(caption), GroupBox1);
    l->move(left, top);
    QFont f = ui::defaultFont(11, true);
    f.setUnderline(true);
    l->setFont(f);
    l->adjustSize();
    ui::setTextColor(l, ui::linkBlue());
    l->setToolTip(QStringLiteral("Show expressions for this topic"));
    connect(l, &ui::LinkLabel::clicked, this,
            [this, l] { guarded([this, l] { Label3Click(l); }); });
    return l;
}

void TFormExpressions::FormCreate() {
    setOuterPos(200, 200);
    // Whenever the window becomes active (from another program too), and every second while it
    // stays active, a phrase book imported anew since it was opened is read again under the same
    // topic; asking at activation also connects again to a server that went away and came back.
    followImports(Table1, [this] {
        Table1.close();
        Table1.open();
    });
}

void TFormExpressions::formActivate() {
    setBusyCaption();
    Table1.open();
    repaint();
    setWindowTitle(QStringLiteral("Wikabay - Expressions"));
}

void TFormExpressions::Label3Click(QLabel* sender) {
    const QString caption = sender->text();
    setBusyCaption();
    Table1.close();
    Table1.setFilter("Group='" + caption.toStdString() + "'");
    Table1.open();
    setWindowTitle(QStringLiteral("Wikabay - Expressions about '") + caption + u'\'');
}

void TFormExpressions::formClose() {
    Table1.close();
}

} // namespace wk
