#pragma once

#include "engine/sql/Table.h"
#include "ui/ErrorHandler.h"
#include "ui/FormBase.h"

#include <QString>

class QPushButton;

namespace wk {

namespace ui {
class DataSource;
class DBEdit;
class DBGrid;
class DBMemo;
class DBNavigator;
} // namespace ui

/// The list of websites about the language: pick one and open it in the browser. The description
/// can be edited; the change is stored when another record is chosen or the window closes. When
/// the table cannot be changed, the description is read-only and its hint says why. When another
/// program's change refused a description, the user sees both texts and chooses (Answerer).
class TFormInternet : public ui::FormBase, public ui::errors::Answerer {
    Q_OBJECT
public:
    TFormInternet();

    /// The Go to button: hands the current record's URL to the system when it is a web or mail
    /// address, maximised.
    void BitBtn1Click();

    /// Stores the description typed but not yet stored, asking nothing; raises the engine's error
    /// when it cannot be stored, and the text stays pending. A new record with neither a name
    /// nor an address (an empty table begins one at the first keystroke) is dropped instead, for
    /// the program has no way to fill them in.
    void storePending();

    engine::Table Table1;
    ui::DataSource* DataSource1;
    ui::DBNavigator* DBNavigator2;
    QPushButton* BitBtn1;
    ui::DBGrid* DBGrid1;
    ui::DBEdit* DBEdit1;
    ui::DBMemo* DBMemo1;

    /// A failure that left a refused description is answered by settling it.
    bool answer(const std::exception& error) override;

protected:
    void formActivate() override;
    bool formCloseQuery() override;
    void formClose() override;

private:
    void FormCreate();
    /// Makes the description read-only, saying why, when the table cannot be changed.
    void showWhetherTableCanChange();
    /// Shows a description that was not stored (`why` says why) and what the other program
    /// stored, and does what the user chooses; false when the user goes on editing, or storing
    /// the user's text failed.
    bool settleRefusal(const engine::Table::RefusedChange& refused, const QString& why);
    /// Asks whether to drop the change that could not be stored (`error` says why) or go on
    /// editing; true when it was dropped.
    bool discardAfter(const QString& error);
};

} // namespace wk
