#include "windows/Menu.h"

#include "engine/config/ConfigApi.h"
#include "platform/Host.h"
#include "platform/WebAddress.h"
#include "ui/Bevel.h"
#include "ui/Colors.h"
#include "ui/Fonts.h"
#include "ui/Glyphs.h"
#include "ui/HelpHook.h"
#include "ui/LinkLabel.h"
#include "windows/About.h"
#include "windows/Developer.h"
#include "windows/Expressions.h"
#include "windows/Forms.h"
#include "windows/Internet.h"
#include "windows/Main.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include <cstring>

namespace wk {

using namespace engine;

TFormMenu::TFormMenu() {
    setWindowTitle(QStringLiteral("Wikabay"));
    setClientSize(233, 177);
    setClosesOnEscape(false);

    Label5 = ui::makeLabel(QStringLiteral("Main menu"), this, {4, 0, 88, 20});
    Label5->setFont(ui::defaultFont(16, true));
    ui::fitLabel(Label5);
    ui::setTextColor(Label5, ui::teal());

    Label3 = new ui::LinkLabel(QStringLiteral("Donate"), this);
    Label3->setGeometry(154, 4, 42, 13);
    Label1 = new ui::LinkLabel(QStringLiteral("Help"), this);
    Label1->setGeometry(200, 4, 27, 13);
    QFont link = ui::defaultFont(11, true);
    link.setUnderline(true);
    for (auto* l : {Label3, Label1})
        l->setFont(link);
    ui::setTextColor(Label3, ui::linkBlue());
    ui::setTextColor(Label1, ui::linkRed());

    connect(Label1, &ui::LinkLabel::clicked, this, [this] { guarded([this] { Label1Click(); }); });
    connect(Label3, &ui::LinkLabel::clicked, this, [this] { guarded([this] { Label3Click(); }); });

    Bevel1 = ui::makeBevel(this, {4, 20, 225, 153});

    SpeedButton1 = makeButton(QStringLiteral("&Dictionary"), "dictionary", 28);
    SpeedButton2 = makeButton(QStringLiteral("&Expressions"), "expressions", 64);
    SpeedButton4 = makeButton(QStringLiteral("&Internet"), "internet", 100);
    SpeedButton3 = makeButton(QStringLiteral("&About this program"), "about", 136);
    connect(SpeedButton1, &QPushButton::clicked, this,
            [this] { guarded([this] { SpeedButton1Click(); }); });
    connect(SpeedButton2, &QPushButton::clicked, this,
            [this] { guarded([this] { SpeedButton2Click(); }); });
    connect(SpeedButton4, &QPushButton::clicked, this,
            [this] { guarded([this] { SpeedButton4Click(); }); });
    connect(SpeedButton3, &QPushButton::clicked, this,
            [this] { guarded([this] { SpeedButton3Click(); }); });

    Timer1.setInterval(1000);
    Timer1.setSingleShot(false);
    connect(&Timer1, &QTimer::timeout, this, [this] { guarded([this] { Timer1Timer(); }); });

    guarded([this] { FormCreate(); });
}

QPushButton* TFormMenu::makeButton(const QString& caption, const char* helpKeyword, int top) {
    auto* b = new QPushButton(caption, this);
    b->setGeometry(10, top, 211, 29);
    b->setFont(ui::defaultFont(19, true));
    b->setIcon(ui::handGlyph());
    b->setIconSize(QSize(16, 16));
    b->setFocusPolicy(Qt::NoFocus);
    b->setProperty("helpKeyword", QString::fromLatin1(helpKeyword));
    addPlainAccelerator(b);
    return b;
}

void TFormMenu::FormCreate() {
    VersionNumber = QStringLiteral("1.11");
    NetDir = QStringLiteral("C:\\BdeNetDir");
    ChangeNetDir();
    ui::help::setHook([this](quint16 command, qint32 data, bool& callHelp) {
        return ApplicationHelp(command, data, callHelp);
    });
    ui::help::setHelpFile(QString::fromLatin1(kHelpFile));
    Session1.setNetFileDir(NetDir.toStdString());
    Session1.addPassword(kTablePassword);
    setOuterPos(20, 20);
    Timer1.start();
}

void TFormMenu::ChangeNetDir() {
    if (DbiInitFn(DbiInterfaceVersion, nullptr) != DbiOk)
        return;
    DbiCursor cursor = 0;
    if (DbiOpenConfigList(0, DbiOpenMode::ReadWrite, DbiConfigMode::Persistent,
                          "\\DRIVERS\\PARADOX\\INIT", &cursor) == DbiOk &&
        DbiMoveToStart(cursor) == DbiOk) {
        DbiConfigEntry entry{};
        const QByteArray netDir = NetDir.toLocal8Bit();
        while (DbiFetchNextEntry(cursor, DbiLockMode::Read, &entry, nullptr) == DbiOk) {
            if (QString::fromLocal8Bit(entry.nodeName)
                    .compare(QStringLiteral("NET DIR"), Qt::CaseInsensitive) == 0) {
                const size_t n =
                    std::min<size_t>(static_cast<size_t>(netDir.size()), DbiConfigTextSize - 1);
                std::memcpy(entry.value, netDir.constData(), n);
                entry.value[n] = '\0';
                DbiModifyEntry(cursor, &entry, true);
                break;
            }
        }
    }
    DbiCloseCursor(&cursor);
    DbiExit();
}

void TFormMenu::Timer1Timer() {
    Timer1.stop();
    FormAbout->showForm();
}

void TFormMenu::SpeedButton1Click() {
    repaint();
    FormMain->showForm();
}

void TFormMenu::SpeedButton2Click() {
    repaint();
    FormExpressions->showForm();
}

void TFormMenu::SpeedButton4Click() {
    repaint();
    FormInternet->showForm();
}

void TFormMenu::SpeedButton3Click() {
    repaint();
    FormAbout->showForm();
}

void TFormMenu::Label1Click() {
    platform::host().htmlHelp(platform::applicationWindow(), ui::help::helpFile(),
                              platform::kHelpDisplayToc, 0);
}

void TFormMenu::Label3Click() {
    OpenDonationPage();
}

bool TFormMenu::ApplicationHelp(quint16 command, qint32 data, bool& callHelp) {
    if (command == 0 && data == 0)
        platform::host().htmlHelp(platform::applicationWindow(), ui::help::helpFile(),
                                  platform::kHelpDisplayToc, 0);
    callHelp = false;
    return true;
}

void TFormMenu::OpenDonationPage() {
    platform::host().beep();
    // Both boxes stand over the window whose Donate link was clicked.
    const QPointer<QWidget> over =
        QApplication::activeWindow() ? QApplication::activeWindow() : this;
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"),
                    QStringLiteral("Your donation would be very appreciated. Any amount will do!\n"
                                   "Please click \"OK\" and follow the instructions on the "
                                   "website.\n\nThank you in advance."),
                    QMessageBox::Ok, over);
    box.exec();
    platform::openWebAddress(over ? over.data() : this, QString::fromUtf8(developer::kDonationPage),
                             platform::ShowMode::Maximized);
}

void TFormMenu::storePendingEdits() {
    if (FormInternet)
        FormInternet->storePending();
}

bool TFormMenu::formCloseQuery() {
    // Ending the program closes the other windows first, so that each stores what it holds. Each
    // is asked before any closes: one whose change cannot be stored asks the user, and Keep
    // editing keeps every window open, as they were, and the menu with them; Discard lets the
    // program end.
    const std::initializer_list<ui::FormBase*> forms{FormMain, FormAbout, FormInternet,
                                                     FormExpressions};
    for (ui::FormBase* form : forms)
        if (form && form->isVisible() && !form->mayClose())
            return false;
    for (ui::FormBase* form : forms)
        if (form && form->isVisible() && !form->close())
            return false;
    return true;
}

void TFormMenu::formClose() {
    QApplication::quit();
}

} // namespace wk
