#include "windows/About.h"

#include "platform/Host.h"
#include "platform/WebAddress.h"
#include "ui/Colors.h"
#include "ui/Fonts.h"
#include "ui/Glyphs.h"
#include "ui/LinkLabel.h"
#include "windows/Developer.h"
#include "windows/Forms.h"
#include "windows/Menu.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace wk {
namespace {

QLabel* arialLabel(const QString& text, QWidget* parent, const QRect& geometry, int pixels,
                   const QColor& colour) {
    QLabel* l = ui::makeLabel(text, parent, geometry);
    l->setFont(ui::arialFont(pixels, true));
    ui::setTextColor(l, colour);
    if (geometry.width() == 0)
        l->adjustSize();
    ui::fitLabel(l);
    return l;
}

ui::LinkLabel* arialLink(const QString& text, QWidget* parent, QPoint at, const char* hint) {
    auto* l = new ui::LinkLabel(text, parent);
    l->move(at);
    QFont f = ui::arialFont(11, true);
    f.setUnderline(true);
    l->setFont(f);
    l->adjustSize();
    ui::setTextColor(l, ui::linkGreen());
    l->setToolTip(QString::fromLatin1(hint));
    return l;
}

} // namespace

TFormAbout::TFormAbout() {
    setWindowTitle(QStringLiteral("About this program"));
    setClientSize(320, 346);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);

    Label1 = arialLabel(QStringLiteral("Wikabay"), this, {5, 0, 309, 41}, 35, ui::linkBlue());
    Label2 = arialLabel(QStringLiteral("Version XXX"), this, {4, 44, 313, 24}, 21, ui::navy());
    Label2->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    Label3 = arialLabel(QStringLiteral("Developed by ") + QString::fromUtf8(developer::kName), this,
                        {43, 72, 234, 16}, 13, Qt::black);

    Bevel1 = new QFrame(this);
    Bevel1->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    Bevel1->setGeometry(0, 96, 321, 2);

    Label4 = arialLabel(QStringLiteral("E-mail:"), this, {57, 104, 0, 0}, 11, Qt::black);
    Label6 = arialLink(QString::fromUtf8(developer::kEmail), this, {102, 104},
                       "Click here to send me a message");
    Label5 = arialLabel(QStringLiteral("Website:"), this, {46, 124, 0, 0}, 11, Qt::black);
    Label7 = arialLink(QString::fromUtf8(developer::kWebsite), this, {102, 124},
                       "Click here to visit my website");
    connect(Label6, &ui::LinkLabel::clicked, this, [this] { guarded([this] { Label6Click(); }); });
    connect(Label7, &ui::LinkLabel::clicked, this, [this] { guarded([this] { Label7Click(); }); });

    Memo1 = new QPlainTextEdit(this);
    Memo1->setGeometry(12, 152, 297, 149);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setFont(ui::defaultFont(11, true));
    QPalette red = Memo1->palette();
    red.setColor(QPalette::Text, ui::linkRed());
    Memo1->setPalette(red);
    Memo1->setPlainText(memoText());

    BitBtn1 = new QPushButton(QStringLiteral("&OK"), this);
    BitBtn1->setGeometry(122, 312, 75, 25);
    BitBtn1->setIcon(ui::okGlyph());
    BitBtn1->setIconSize(QSize(16, 16));
    BitBtn1->setDefault(true);
    addPlainAccelerator(BitBtn1);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { close(); });

    Label9 = new ui::LinkLabel(QStringLiteral("Donate"), this);
    Label9->setGeometry(262, 316, 42, 13);
    QFont donate = ui::defaultFont(11, true);
    donate.setUnderline(true);
    Label9->setFont(donate);
    ui::setTextColor(Label9, ui::linkBlue());
    connect(Label9, &ui::LinkLabel::clicked, this,
            [this] { guarded([] { FormMenu->OpenDonationPage(); }); });

    // OK comes first in the tab order and has the focus; the memo second.
    setTabOrder(BitBtn1, Memo1);
    BitBtn1->setFocus();

    guarded([this] { FormCreate(); });
}

void TFormAbout::FormCreate() {
    Label2->setText(QStringLiteral("Version ") + FormMenu->VersionNumber);
    setPlacement([this] {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        return screen.center() - QPoint(outerWidth() / 2, outerHeight() / 2) + QPoint(1, 1);
    });
}

bool TFormAbout::formKeyPress(QKeyEvent* event) {
    // OK is the default button: Enter closes the window, except in the memo, which takes Enter
    // for itself.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        QApplication::focusWidget() != Memo1) {
        BitBtn1->click();
        return true;
    }
    return FormBase::formKeyPress(event);
}

void TFormAbout::Label6Click() {
    const QString address = QStringLiteral("mailto:") + QString::fromUtf8(developer::kEmail) +
                            QStringLiteral(" ?subject=I am using ") + Label1->text() + u' ' +
                            Label2->text();
    platform::openWebAddress(this, address, platform::ShowMode::Normal);
}

void TFormAbout::Label7Click() {
    platform::openWebAddress(this, QString::fromUtf8(developer::kWebsite),
                             platform::ShowMode::Maximized);
}

QString TFormAbout::memoText() {
    const QStringList lines = {
        QString(),
        QString(),
        QStringLiteral("However, software development is more "),
        QStringLiteral("expensive than you may think. Therefore, "),
        QStringLiteral("please DONATE. Any amount will do! Just visit "),
        QStringLiteral("my website and click on the PayPal button for "),
        QStringLiteral("further instructions."),
        QString(),
        QStringLiteral("If you don't have the money for a donation, then "),
        QStringLiteral("I will understand. In that case, please send me "),
        QStringLiteral("a message and tell me if you like this software "),
        QStringLiteral("(or not)."),
        QString(),
        QStringLiteral("When you want to be informed about new "),
        QStringLiteral("versions, database updates (more translations) "),
        QStringLiteral("or other related news then send me a short "),
        QStringLiteral("message too."),
        QString(),
        QStringLiteral("Thank you in advance."),
        QString(),
        QString::fromUtf8(developer::kName),
        QString::fromUtf8(developer::kTownAndCountry),
        QString(),
        QStringLiteral("=-=-=-=-=-=-=-=-=-=-=-=-=-=-=-="),
        QString(),
        QStringLiteral("RELEASE NOTES"),
        QString(),
        QStringLiteral("Version 1.6 - 10 November 2005"),
        QString(),
        QStringLiteral("- Layout changes (more like XP)."),
        QStringLiteral("- Installation script has been changed for "),
        QStringLiteral("non-English Windows versions."),
        QStringLiteral("- About screen at start up."),
        QString(),
        QStringLiteral("Version 1.7 - 21 January 2006"),
        QString(),
        QStringLiteral("- HTML help file included and embedded in "),
        QStringLiteral("application."),
        QStringLiteral("- Shortcuts (keyboard) for main menu."),
        QStringLiteral("- Shortcuts (keyboard) for buttons in all screens; "),
        QStringLiteral("except navigation buttons."),
        QStringLiteral("- Close subwindows with escape key."),
        QStringLiteral("- Hints (tiptools) for all buttons."),
        QString(),
        QStringLiteral("Version 1.8 - 7 August 2008"),
        QString(),
        QStringLiteral("- Procedure ChangeNetDir added in order to "),
        QStringLiteral("adapt to computers with Windows Vista. This is "),
        QStringLiteral("experimental."),
        QString(),
        QStringLiteral("Version 1.9 - 8 August 2008"),
        QString(),
        QStringLiteral("- Minor changes in procedure ChangeNetDir."),
        QString(),
        QStringLiteral("Version 1.11 - 23 August 2008"),
        QString(),
        QStringLiteral("- Donation link included in program."),
        QStringLiteral("- Minor improvements in Wise install script."),
    };
    return lines.join(u'\n');
}

} // namespace wk
