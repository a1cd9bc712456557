#include "windows/Main.h"

#include "engine/storage/Session.h"
#include "engine/tagalog/Lookup.h"
#include "ui/Bevel.h"
#include "ui/Colors.h"
#include "ui/DBControls.h"
#include "ui/DBGrid.h"
#include "ui/DBNavigator.h"
#include "ui/DataSource.h"
#include "ui/Glyphs.h"
#include "ui/LinkLabel.h"
#include "ui/UpperCaseEdit.h"
#include "windows/Forms.h"
#include "windows/Menu.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QToolTip>
#include <QWindow>

namespace wk {
namespace {
// The labels beside the three edits end six pixels left of them.
constexpr Qt::Alignment kRightAligned = Qt::AlignRight | Qt::AlignVCenter;
} // namespace

TFormMain::TFormMain() {
    setWindowFlag(Qt::WindowMinimizeButtonHint);
    setWindowTitle(QStringLiteral("Wikabay - PLEASE WAIT..."));
    setClientSize(442, 490);

    Query1.setName("Query1");
    Query1.setDatabaseName("Wikabay");
    Query1.setSessionName("Session1");
    Query1.addSql("SELECT *");
    Query1.addSql("FROM Tagalog");
    DataSource1 = new ui::DataSource(Query1, this);

    DBNavigator1 = new ui::DBNavigator(*DataSource1, this);
    DBNavigator1->setGeometry(4, 4, 128, 25);
    Bevel3 = ui::makeBevel(this, {136, 2, 301, 29});
    Edit1 = new ui::UpperCaseEdit(this);
    Edit1->setGeometry(140, 6, 213, 21);
    connect(Edit1, &QLineEdit::returnPressed, this, [this] { guarded([this] { Search(); }); });

    BitBtn1 = new QPushButton(QStringLiteral("&Search"), this);
    BitBtn1->setGeometry(356, 6, 77, 21);
    BitBtn1->setToolTip(QStringLiteral("Search for translation records"));
    ui::setTrailingGlyph(BitBtn1, ui::searchGlyph());
    BitBtn1->setFocusPolicy(Qt::ClickFocus);
    addPlainAccelerator(BitBtn1);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { guarded([this] { Search(); }); });

    DBGrid1 = new ui::DBGrid(*DataSource1,
                             {{QStringLiteral("Tagalo"), QStringLiteral("Tagalog"), 200},
                              {QStringLiteral("English"), QStringLiteral("English"), 200}},
                             this);
    DBGrid1->setGeometry(4, 36, 433, 111);
    DBGrid1->setColor(ui::kLightGrey);

    Bevel1 = ui::makeBevel(this, {4, 152, 433, 93});
    Label1 = ui::makeLabel(QStringLiteral("Tagalog"), this, {35, 164, 39, 13}, kRightAligned);
    DBEdit1 = makeEdit("Tagalo", {80, 160, 201, 21}, ui::kPaleYellow);
    Label2 = ui::makeLabel(QStringLiteral("Active verb"), this, {20, 192, 54, 13}, kRightAligned);
    DBEdit2 = makeEdit("ActiveVerb", {80, 188, 201, 21}, ui::kPalerYellow);
    Label3 = ui::makeLabel(QStringLiteral("Passive verb"), this, {13, 220, 61, 13}, kRightAligned);
    DBEdit3 = makeEdit("PassiveVerb", {80, 216, 201, 21}, ui::kPalerYellow);

    Bevel2 = ui::makeBevel(this, {4, 252, 433, 233});
    Label4 = ui::makeLabel(QStringLiteral("English"), this, {16, 260, 34, 13});
    DBMemo2 = makeMemo("English", {12, 276, 205, 89}, ui::kPaleYellow);
    Label6 = ui::makeLabel(QStringLiteral("L2 Definition"), this, {228, 260, 59, 13});
    DBMemo1 = makeMemo("L2Definition", {224, 276, 205, 89}, ui::kPalerYellow);
    Label5 = ui::makeLabel(QStringLiteral("Examples"), this, {16, 372, 45, 13});
    DBMemo3 = makeMemo("Examples", {12, 388, 205, 89}, ui::kPalerYellow);
    Label7 = ui::makeLabel(QStringLiteral("Notes"), this, {228, 372, 28, 13});
    DBMemo4 = makeMemo("Notes", {224, 388, 205, 89}, ui::kPalerYellow);

    connect(DBGrid1, &ui::DBGrid::emptyTextLinkActivated, this, [this](const QString& link) {
        guarded([this, link] { searchSuggestion(link.toULong()); });
    });

    // Only the grid and the search edit are reached with Tab.
    setTabOrder(DBGrid1, Edit1);

    // A dictionary imported anew since the statement ran is searched again, so that the count
    // and the rows belong together: whenever the window becomes active (from another program
    // too), and every second while it stays active.
    followImports(Query1, [this] {
        setBusyCaption();
        Query1.close();
        Query1.open();
        showCount();
        showSuggestions();
    });

    guarded([this] { FormCreate(); });
}

ui::DBEdit* TFormMain::makeEdit(const char* field, const QRect& geometry, int colour) {
    auto* e = new ui::DBEdit(*DataSource1, QString::fromLatin1(field), this);
    e->setGeometry(geometry);
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::ClickFocus);
    ui::setBaseColor(e, colour);
    return e;
}

ui::DBMemo* TFormMain::makeMemo(const char* field, const QRect& geometry, int colour) {
    auto* m = new ui::DBMemo(*DataSource1, QString::fromLatin1(field), this);
    m->setGeometry(geometry);
    m->setReadOnly(true);
    m->setFocusPolicy(Qt::ClickFocus);
    ui::setBaseColor(m, colour);
    return m;
}

void TFormMain::FormCreate() {
    setPlacement([] { return QPoint(FormMenu->outerWidth() + 40, 20); });
}

void TFormMain::formActivate() {
    setBusyCaption();
    ShowAllRecords();
}

void TFormMain::ShowAllRecords() {
    repaint();
    Query1.close();
    QThread::msleep(100);
    Query1.open();
    Edit1->setFocus();
    showCount();
    showSuggestions();
}

void TFormMain::showCount() {
    setWindowTitle(QStringLiteral("Wikabay - %1 records found").arg(Query1.recordCount()));
}

QString TFormMain::searchStatement(const QString& t) {
    // A control character cannot stand in a text of the statement (a NUL would end it).
    QString quoted = ui::UpperCaseEdit::withoutControls(t);
    quoted.replace(u'"', QStringLiteral("\"\""));
    const QString pattern = QStringLiteral("\"%") + quoted + QStringLiteral("%\"");
    QString line = QStringLiteral("SELECT * FROM Tagalog WHERE Upper(Tagalo) like ") + pattern;
    for (const char* field : {"English", "ActiveVerb", "PassiveVerb", "L2Definition", "Examples"})
        line += QStringLiteral(" OR Upper(") + QString::fromLatin1(field) +
                QStringLiteral(") like ") + pattern;
    return line;
}

void TFormMain::Search() {
    setBusyCaption();
    lastSearch_ = ui::UpperCaseEdit::withoutControls(Edit1->text());
    Query1.clearSql();
    Query1.addSql(searchStatement(lastSearch_).toStdString());
    Query1.open();
    showCount();
    showSuggestions();
}

void TFormMain::showSuggestions() {
    suggestions_.clear();
    answer_ = {};
    const bool found = Query1.active() && Query1.recordCount() > 0;
    if (Query1.active() && !lastSearch_.trimmed().isEmpty()) {
        // Suggestions and answers are extra: a dictionary that cannot give them shows none, and
        // the search's caption and count stand as they are.
        try {
            if (engine::Session* session = engine::Session::find("Session1")) {
                engine::tagalog::Lookup lookup(session->database("Wikabay"));
                const std::string text = lastSearch_.toStdString();
                const auto shown = [](const engine::tagalog::Suggestion& s) {
                    return std::pair(
                        ui::UpperCaseEdit::toCapitals(QString::fromStdString(s.headword)),
                        QString::fromStdString(s.why));
                };
                // A pattern (with % or _) or several words has no learner's answer of its own.
                const bool oneWord = text.find_first_of("%_ \t") == std::string::npos;
                if (!found)
                    for (const auto& s : lookup.suggest(text, 3))
                        suggestions_.push_back(shown(s));
                else if (const auto a = oneWord ? lookup.answer(text) : std::nullopt)
                    answer_ = shown(*a);
            }
        } catch (const std::exception&) {
            suggestions_.clear();
            answer_ = {};
        }
    }
    const QString hint = answer_.first.isEmpty()
                             ? QString()
                             : QStringLiteral("F3: %1, %2").arg(answer_.first, answer_.second);
    if (Edit1->toolTip() != hint) {
        Edit1->setToolTip(hint);
        QToolTip::hideText(); // a hint on the screen would name the last search's answer
    }
    QStringList lines;
    for (size_t i = 0; i < suggestions_.size(); ++i)
        lines << QStringLiteral("Did you mean <a href=\"%1\">%2</a>? (%3)")
                     .arg(i)
                     .arg(suggestions_[i].first.toHtmlEscaped(),
                          suggestions_[i].second.toHtmlEscaped());
    DBGrid1->setEmptyText(lines.join(QStringLiteral("<br>")));
}

void TFormMain::searchSuggestion(size_t index) {
    if (index >= suggestions_.size())
        return;
    Edit1->setText(suggestions_[index].first);
    Search();
}

QString TFormMain::entryText() const {
    QStringList lines;
    if (!Query1.active() || Query1.recordCount() == 0)
        return {};
    const std::pair<QLabel*, const char*> fields[] = {
        {Label1, "Tagalo"},  {Label2, "ActiveVerb"},   {Label3, "PassiveVerb"},
        {Label4, "English"}, {Label6, "L2Definition"}, {Label5, "Examples"},
        {Label7, "Notes"}};
    for (const auto& [label, field] : fields)
        lines << label->text() + QStringLiteral(": ") +
                     QString::fromStdString(Query1.fieldAsText(field));
    return lines.join(u'\n');
}

bool TFormMain::formKeyPress(QKeyEvent* event) {
    if (event->key() == Qt::Key_F3 && event->modifiers() == Qt::NoModifier &&
        QApplication::focusWidget() == Edit1) {
        if (!suggestions_.empty()) {
            guarded([this] { searchSuggestion(0); });
            return true;
        }
        if (!answer_.first.isEmpty()) {
            guarded([this] {
                Edit1->setText(answer_.first);
                Search();
            });
            return true;
        }
    }
    if (event->key() == Qt::Key_C &&
        event->modifiers() == (Qt::ControlModifier | Qt::ShiftModifier)) {
        if (const QString text = entryText(); !text.isEmpty())
            QGuiApplication::clipboard()->setText(text);
        return true;
    }
    return FormBase::formKeyPress(event);
}

void TFormMain::formClose() {
    Query1.close();
}

} // namespace wk
