#pragma once

#include "engine/sql/Query.h"
#include "ui/FormBase.h"

#include <QString>

#include <utility>
#include <vector>

class QFrame;
class QLabel;
class QPushButton;

namespace wk {

namespace ui {
class DataSource;
class DBGrid;
class DBNavigator;
class DBEdit;
class DBMemo;
class UpperCaseEdit;
} // namespace ui

/// The dictionary window: lists the records of `Tagalog`, shows the current record's fields, and
/// searches six fields at once for the text typed in capitals. Every activation re-runs the
/// statement that `Query1` holds: the full listing until the first search, the last search after.
class TFormMain : public ui::FormBase {
    Q_OBJECT
public:
    TFormMain();

    /// The search statement for text `t`: a case-insensitive substring match of `Tagalo`,
    /// `English`, `ActiveVerb`, `PassiveVerb`, `L2Definition` and `Examples`. A double quote in
    /// the text is written twice so that the engine searches for the quote itself; `%` and `_`
    /// stay wildcards. Control characters (a NUL, a tab) are left out; the rest of the text is
    /// used as it is.
    static QString searchStatement(const QString& t);

    /// Runs the search for the text of `Edit1`.
    void Search();

    /// What the empty grid offers after a search that found nothing: up to three headwords the
    /// learner may have meant, each with why ("root of KINAIN"). A click on one, or F3 in the
    /// search edit for the first, searches for it as if it had been typed.
    const std::vector<std::pair<QString, QString>>& suggestions() const { return suggestions_; }
    void searchSuggestion(size_t index);

    /// After a search that found records for a text that is not itself a headword: the
    /// learner's answer for it (its root, a variant spelling, the headword without stress marks)
    /// and why, which F3 in the search edit searches and the edit's hint names ("F3: KAIN, root
    /// of KINAIN"); empty otherwise.
    const std::pair<QString, QString>& answer() const { return answer_; }

    /// The current entry with the window's labels ("Tagalog: kain", ...), one field a line, as
    /// Ctrl+Shift+C copies it.
    QString entryText() const;

    engine::Query Query1;
    ui::DataSource* DataSource1;
    ui::DBNavigator* DBNavigator1;
    QFrame* Bevel3;
    ui::UpperCaseEdit* Edit1;
    QPushButton* BitBtn1;
    ui::DBGrid* DBGrid1;
    QFrame* Bevel1;
    QLabel* Label1;
    ui::DBEdit* DBEdit1;
    QLabel* Label2;
    ui::DBEdit* DBEdit2;
    QLabel* Label3;
    ui::DBEdit* DBEdit3;
    QFrame* Bevel2;
    QLabel* Label4;
    ui::DBMemo* DBMemo2;
    QLabel* Label6;
    ui::DBMemo* DBMemo1;
    QLabel* Label5;
    ui::DBMemo* DBMemo3;
    QLabel* Label7;
    ui::DBMemo* DBMemo4;

protected:
    void formActivate() override;
    void formClose() override;
    bool formKeyPress(QKeyEvent* event) override;

private:
    void FormCreate();
    void ShowAllRecords();
    void showCount();
    void showSuggestions();
    ui::DBEdit* makeEdit(const char* field, const QRect& geometry, int colour);
    ui::DBMemo* makeMemo(const char* field, const QRect& geometry, int colour);

    QString lastSearch_; // the text of the last search run
    std::vector<std::pair<QString, QString>> suggestions_;
    std::pair<QString, QString> answer_;
};

} // namespace wk
