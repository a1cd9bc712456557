#pragma once

#include "ui/FormBase.h"

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace wk {

namespace ui {
class LinkLabel;
}

/// The About window: the program's name and version, the developer with links to write a mail
/// message or visit the website, the freeware notice and the release notes, and a Donate link.
/// It is centred on the screen when first shown and stays where it was left afterwards.
class TFormAbout : public ui::FormBase {
    Q_OBJECT
public:
    TFormAbout();

    /// The memo's text, line for line.
    static QString memoText();

    /// The e-mail link: a message to the developer whose subject names program and version.
    void Label6Click();
    /// The website link.
    void Label7Click();

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QFrame* Bevel1;
    QLabel* Label4;
    ui::LinkLabel* Label6;
    QLabel* Label5;
    ui::LinkLabel* Label7;
    QPlainTextEdit* Memo1;
    QPushButton* BitBtn1;
    ui::LinkLabel* Label9;

protected:
    bool formKeyPress(QKeyEvent* event) override;

private:
    void FormCreate();
};

} // namespace wk
