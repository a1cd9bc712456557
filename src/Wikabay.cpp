// The program entry: the application, its windows in their fixed order, and the message loop,
// which ends when the main menu is closed, or when a termination signal comes (SessionEnd.h).

#include "ui/SessionEnd.h"
#include "windows/Forms.h"
#include "windows/Menu.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    wk::prepareApplication();
    wk::createForms();
    // A logout, `kill` or the terminal closing stores the description being typed, as closing
    // its window does, but asks nothing.
    const wk::ui::SessionEnd sessionEnd([] {
        if (wk::FormMenu)
            wk::FormMenu->storePendingEdits();
    });
    wk::FormMenu->show();
    const int result = QApplication::exec();
    wk::destroyForms();
    return result;
}
