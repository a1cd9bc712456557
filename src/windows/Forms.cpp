#include "windows/Forms.h"

#include "windows/About.h"
#include "windows/Expressions.h"
#include "windows/Internet.h"
#include "windows/Main.h"
#include "windows/Menu.h"

#include "platform/DesktopHost.h"
#include "ui/Fonts.h"

#include <QApplication>

namespace wk {

TFormMenu* FormMenu = nullptr;
TFormMain* FormMain = nullptr;
TFormAbout* FormAbout = nullptr;
TFormInternet* FormInternet = nullptr;
TFormExpressions* FormExpressions = nullptr;

void prepareApplication() {
    QApplication::setApplicationName(QStringLiteral("Wikabay"));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setFont(ui::defaultFont());
    platform::setHost(platform::makeDesktopHost());
}

void createForms() {
    FormMenu = new TFormMenu();
    FormMain = new TFormMain();
    FormAbout = new TFormAbout();
    FormInternet = new TFormInternet();
    FormExpressions = new TFormExpressions();
}

void destroyForms() {
    delete FormExpressions;
    delete FormInternet;
    delete FormAbout;
    delete FormMain;
    delete FormMenu;
    FormExpressions = nullptr;
    FormInternet = nullptr;
    FormAbout = nullptr;
    FormMain = nullptr;
    FormMenu = nullptr;
}

} // namespace wk
