// wikabay-window-bench: times the dictionary window itself, from the Enter that starts a search to
// the window showing its caption and first rows, over the alias Wikabay of the current
// configuration (as the program runs it).
//
//   wikabay-window-bench [--rounds R] TEXT...
//
// For each text: `window text=<t> caption=<caption> ms=<median>`, where ms runs from the Enter key
// reaching the search edit until the window has handled every event that followed, painted
// included. Run under a display (xvfb-run on a machine without one).

#include "ui/UpperCaseEdit.h"
#include "windows/Forms.h"
#include "windows/Main.h"
#include "windows/Menu.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

void settle(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

void key(QWidget* w, int k, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, k, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &release);
}

double timeSearch(const QString& text) {
    wk::ui::UpperCaseEdit* edit = wk::FormMain->Edit1;
    edit->setFocus();
    edit->clear();
    for (QChar c : text)
        key(edit, Qt::Key_unknown, QString(c));
    settle(50);
    QElapsedTimer t;
    t.start();
    key(edit, Qt::Key_Return, QStringLiteral("\r"));
    // Everything the search queued, the repaint of the caption and the grid included.
    QApplication::processEvents(QEventLoop::AllEvents);
    wk::FormMain->repaint();
    QApplication::processEvents(QEventLoop::AllEvents);
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    wk::prepareApplication();
    int rounds = 5;
    std::vector<QString> texts;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::stoi(argv[++i]));
        else
            texts.push_back(QString::fromUtf8(argv[i]));
    }
    wk::createForms();
    wk::FormMenu->show();
    settle(300);
    wk::FormMenu->SpeedButton1->click();
    settle(1000);
    if (!wk::FormMain->isVisible()) {
        std::fprintf(stderr, "wikabay-window-bench: the dictionary window did not open\n");
        return 1;
    }
    for (const QString& text : texts) {
        std::vector<double> ms;
        timeSearch(text); // the first search of a text warms the caches, as a window in use has
        for (int r = 0; r < rounds; ++r)
            ms.push_back(timeSearch(text));
        std::sort(ms.begin(), ms.end());
        std::printf("window text=%s caption=%s ms=%.1f\n", text.toUtf8().constData(),
                    wk::FormMain->windowTitle().toUtf8().constData(), ms[ms.size() / 2]);
        std::fflush(stdout);
    }
    wk::destroyForms();
    return 0;
}
