#pragma once

#include "engine/sql/Table.h"
#include "ui/FormBase.h"

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
/// can be edited; the change is stored when another record is chosen or the window closes.
class TFormInternet : public ui::FormBase {
    Q_OBJECT
public:
    TFormInternet();
    ~TFormInternet() override;

    /// The Go to button: hands the current record's URL to the system when it is a web or mail
    /// address, maximised.
    void BitBtn1Click();

    engine::Table Table1;
    ui::DataSource* DataSource1;
    ui::DBNavigator* DBNavigator2;
    QPushButton* BitBtn1;
    ui::DBGrid* DBGrid1;
    ui::DBEdit* DBEdit1;
    ui::DBMemo* DBMemo1;

protected:
    void formActivate() override;
    bool formCloseQuery() override;
    void formClose() override;

private:
    void FormCreate();
};

} // namespace wk
