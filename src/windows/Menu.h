#pragma once

#include "engine/storage/Session.h"
#include "ui/FormBase.h"

#include <QString>
#include <QTimer>

class QFrame;
class QLabel;
class QPushButton;

namespace wk {

namespace ui {
class LinkLabel;
}

/// The main menu: the program's main window. Creating it rewrites the engine's network control
/// directory, starts the session `Session1` with that directory and the tables' password, and
/// places the window; its four buttons open the other windows. Closing it ends the program.
class TFormMenu : public ui::FormBase {
    Q_OBJECT
public:
    TFormMenu();

    /// The tables' password, built into the program.
    static constexpr const char* kTablePassword = "58rmrm31";
    /// The help file, a bare name: the viewer looks for it next to the executable.
    static constexpr const char* kHelpFile = "wikabay_help.chm";

    /// Sets the table driver's "NET DIR" in the engine's persistent configuration to `NetDir`.
    /// Silent on every failure; the cursor is closed and the engine shut down on every path.
    void ChangeNetDir();

    /// The donation prompt of both Donate links: a beep, a message box asking for a donation,
    /// and once it is closed, the donation page in the browser.
    void OpenDonationPage();

    /// The application's help hook: a request with command 0 and data 0 opens the help file's
    /// table of contents; every request is swallowed.
    bool ApplicationHelp(quint16 command, qint32 data, bool& callHelp);

    /// Stores what the windows hold and have not stored yet, asking nothing: for the end of the
    /// session, when nobody is there to answer. Raises the first failure.
    void storePendingEdits();

    /// The Help link: opens the help file's table of contents.
    void Label1Click();
    /// The Donate link.
    void Label3Click();

    QString VersionNumber;
    QString NetDir;
    engine::Session Session1{"Session1"};
    QTimer Timer1;

    QLabel* Label5;
    ui::LinkLabel* Label3;
    ui::LinkLabel* Label1;
    QFrame* Bevel1;
    QPushButton* SpeedButton1;
    QPushButton* SpeedButton2;
    QPushButton* SpeedButton4;
    QPushButton* SpeedButton3;

protected:
    bool formCloseQuery() override;
    void formClose() override;

private:
    void FormCreate();
    void Timer1Timer();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton4Click();
    void SpeedButton3Click();
    QPushButton* makeButton(const QString& caption, const char* helpKeyword, int top);
};

} // namespace wk
