// The program entry: the application, its windows in their fixed order, and the message loop,
// which ends when the main menu is closed.

#include "platform/DesktopHost.h"
#include "ui/Fonts.h"
#include "windows/Forms.h"
#include "windows/Menu.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wikabay"));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setFont(wk::ui::defaultFont());
    wk::platform::setHost(wk::platform::makeDesktopHost());
    wk::createForms();
    wk::FormMenu->show();
    const int result = QApplication::exec();
    wk::destroyForms();
    return result;
}
