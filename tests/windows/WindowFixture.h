#pragma once

// Creates the program's real windows offscreen over real table files in an EngineHome, and drives
// them as a user would: every step waits for what it brings about (see common/Waits.h), never
// for a fixed time.

#include "engine/sql/Table.h"
#include "engine/storage/Session.h"
#include "engine/storage/TableFile.h"
#include "ui/DBControls.h"
#include "ui/DBGrid.h"
#include "ui/UpperCaseEdit.h"
#include "windows/Forms.h"
#include "windows/Main.h"
#include "windows/Menu.h"

#include "common/Aliases.h"
#include "common/EngineHome.h"
#include "common/OrdinaryUser.h"
#include "common/TableRows.h"
#include "common/Waits.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace wk::testing {

/// What a message box said when it was answered.
struct BoxSeen {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

inline const std::vector<std::string> kDictionaryFields = {
    "Tagalo", "ActiveVerb", "PassiveVerb", "English", "L2Definition", "Examples", "Notes"};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { home_.makeCurrent(); }

    void TearDown() override {
        if (FormMenu)
            destroyForms();
    }

    /// Makes the alias `name` over the test's tables.
    void setAlias(const std::string& name = "Wikabay") {
        wk::testing::setAlias(name, tables_.string());
    }

    /// Creates or replaces a table file among the test's tables, protected as the program's are.
    void makeTable(const std::string& name, const std::vector<std::string>& fields,
                   const Rows& rows) {
        writeTable(tables_, name, fields, rows, std::string(TFormMenu::kTablePassword));
    }

    void makeDictionary(const Rows& rows) {
        setAlias();
        makeTable("Tagalog", kDictionaryFields, rows);
    }

    /// One field of every record stored in a table file, read through a session of the test's
    /// own, so that what the windows hold in memory does not count.
    std::vector<std::string> storedField(const std::string& table, const std::string& field) {
        engine::Session check("Check");
        check.addPassword(TFormMenu::kTablePassword);
        engine::Table t;
        t.setSessionName("Check");
        t.setDatabaseName("Wikabay");
        t.setTableName(table);
        t.open();
        std::vector<std::string> out;
        for (long long r = 0; r < t.recordCount(); ++r)
            out.push_back(t.valueAt(r, t.fieldIndex(field)));
        return out;
    }

    /// Answers the next modal message box, shown within kPatience, with `button`, remembering
    /// what it said.
    void answerNextBox(QMessageBox::StandardButton button) {
        QTimer::singleShot(0,
                           [this, button] { answerWhenShown(button, QDeadlineTimer(kPatience)); });
    }

    /// Runs `action` and then the events it queued; every message box raised meanwhile is
    /// answered with OK and remembered.
    void answeringBoxes(const std::function<void()>& action) {
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                answer(box, QMessageBox::Ok);
        });
        poll.start(10);
        action();
        processDueEvents();
    }

    /// Creates the windows, answering any box start-up shows.
    void start() {
        answeringBoxes([] { createForms(); });
        FormMenu->show();
        ASSERT_TRUE(waitForActive(FormMenu));
        processDueEvents();
    }

    /// Makes `form` the active window coming from another of the program's windows, and lets
    /// the work its activation queued run.
    void activate(ui::FormBase* form) {
        form->showForm();
        ASSERT_TRUE(waitForActive(form));
        processDueEvents();
    }

    /// Clicks the menu's `button` and waits until the window it opens, `form`, is active and its
    /// activation has run.
    void openFromMenu(QAbstractButton* button, ui::FormBase* form) {
        activate(FormMenu);
        button->click();
        ASSERT_TRUE(waitForActive(form));
        processDueEvents();
    }

    /// Makes a window that is none of the program's forms active, as another application or the
    /// help viewer would be.
    void activateSomethingElse(QWidget& other) {
        other.show();
        other.activateWindow();
        ASSERT_TRUE(waitForActive(&other));
        processDueEvents();
    }

    /// Makes `form` the active window coming from another of the program's windows, with `input`
    /// (a click or a key) arriving together with the activation: before the activation reaches
    /// the program (`inputFirst`, as a click on an inactive window can), or right after it, before
    /// anything the activation queued has run.
    void activateWith(ui::FormBase* form, bool inputFirst, const std::function<void()>& input) {
        // The About window's display a second after start would take the activation midway.
        FormMenu->Timer1.stop();
        if (inputFirst) {
            form->activateWindow();
            input();
        } else {
            QMetaObject::Connection once;
            once = QObject::connect(qApp, &QGuiApplication::focusWindowChanged,
                                    [&once, form, &input](QWindow* window) {
                                        if (window != form->windowHandle())
                                            return;
                                        QObject::disconnect(once);
                                        input();
                                    });
            form->activateWindow();
            const auto reached =
                waitFor([&] { return !once; }, "the activation to reach the window");
            QObject::disconnect(once);
            ASSERT_TRUE(reached);
        }
        ASSERT_TRUE(waitForActive(form));
        processDueEvents();
    }

    void openDictionary() { openFromMenu(FormMenu->SpeedButton1, FormMain); }

    /// Types `text` key by key, as a user would (QTest::keyClicks handles ASCII only).
    static void typeText(QWidget* widget, const QString& text) {
        for (QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClick(widget, c.toLatin1());
                continue;
            }
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(widget, &press);
            QApplication::sendEvent(widget, &release);
        }
    }

    void search(const QString& text) {
        FormMain->Edit1->setFocus();
        FormMain->Edit1->clear();
        typeText(FormMain->Edit1, text);
        QTest::keyClick(FormMain->Edit1, Qt::Key_Return);
        processDueEvents();
    }

    /// Runs `action`; every message box it raises is remembered and handed to `answer`, which
    /// closes it (a click on one of its buttons, or a key).
    void answeringBoxesWith(const std::function<void(QMessageBox&)>& answer,
                            const std::function<void()>& action) {
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [this, &answer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            boxes_.push_back({box->windowTitle(), box->text(), box->icon()});
            answer(*box);
        });
        poll.start(10);
        action();
        processDueEvents();
    }

    /// Runs `first` from the event loop, which then runs until the application is told to exit;
    /// returns the exit code, or 99 when nothing ended the loop within kPatience.
    static int runLoopAfter(const std::function<void()>& first) {
        QTimer::singleShot(0, first);
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        limit.start(kPatience);
        return QApplication::exec();
    }

private:
    EngineHome home_{"wikabay-windows"};

protected:
    const std::filesystem::path root_ = home_.root();
    const std::filesystem::path tables_ = home_.tables();
    std::vector<BoxSeen> boxes_;

private:
    void answer(QMessageBox* box, QMessageBox::StandardButton button) {
        boxes_.push_back({box->windowTitle(), box->text(), box->icon()});
        box->button(button)->click();
    }

    void answerWhenShown(QMessageBox::StandardButton button, QDeadlineTimer deadline) {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            answer(box, button);
            return;
        }
        if (deadline.hasExpired()) {
            ADD_FAILURE() << "no message box was shown within " << kPatience << " ms";
            return;
        }
        QTimer::singleShot(10, [this, button, deadline] { answerWhenShown(button, deadline); });
    }
};

} // namespace wk::testing
