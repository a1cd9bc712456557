#pragma once

#include "engine/sql/Table.h"
#include "ui/FormBase.h"

#include <QString>

class QGroupBox;
class QLabel;

namespace wk {

namespace ui {
class DataSource;
class DBGrid;
class LinkLabel;
} // namespace ui

/// The phrase book: English expressions with their Tagalog translations, filed under ten topics.
/// A click on a topic lists that topic's expressions; the topic stays chosen when the window is
/// closed and opened again.
class TFormExpressions : public ui::FormBase {
    Q_OBJECT
public:
    TFormExpressions();

    /// The one click handler of the ten topic labels: lists the expressions of the clicked
    /// label's topic.
    void Label3Click(QLabel* sender);

    engine::Table Table1;
    ui::DataSource* DataSource1;
    QGroupBox* GroupBox1;
    ui::LinkLabel* Label3;
    ui::LinkLabel* Label4;
    ui::LinkLabel* Label5;
    ui::LinkLabel* Label6;
    ui::LinkLabel* Label7;
    ui::LinkLabel* Label8;
    ui::LinkLabel* Label9;
    ui::LinkLabel* Label10;
    ui::LinkLabel* Label11;
    ui::LinkLabel* Label12;
    ui::DBGrid* DBGrid1;

protected:
    void formActivate() override;
    void formClose() override;

private:
    void FormCreate();
    ui::LinkLabel* makeTopic(const char* caption, int left, int top);
};

} // namespace wk
