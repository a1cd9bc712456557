#pragma once

// Creates the program's real windows offscreen over real table files in a temporary folder, with
// the engine's configuration and data kept inside that folder too.

#include "engine/config/Aliases.h"
#include "engine/config/ConfigStore.h"
#include "engine/sql/Table.h"
#include "engine/storage/Session.h"
#include "engine/storage/TableFile.h"
#include "ui/DBControls.h"
#include "ui/DBGrid.h"
#include "ui/UpperCaseEdit.h"
#include "windows/Forms.h"
#include "windows/Main.h"
#include "windows/Menu.h"

#include "common/ConfigurationOwner.h"

#include <QPushButton>

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace wk::testing {

/// What a message box said when it was answered.
struct BoxSeen {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

using Rows = std::vector<std::vector<std::string>>;

inline const std::vector<std::string> kDictionaryFields = {
    "Tagalo", "ActiveVerb", "PassiveVerb", "English", "L2Definition", "Examples", "Notes"};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/wikabay-windows-XXXXXX";
        root_ = mkdtemp(pattern);
        setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
        tables_ = root_ / "tables";
        std::filesystem::create_directories(tables_);
    }

    void TearDown() override {
        if (FormMenu)
            destroyForms();
        std::filesystem::remove_all(root_);
    }

    void setAlias(const std::string& name = "Wikabay") {
        engine::ConfigStore().update(
            [&](engine::ConfigTree& t) { engine::aliases::set(t, name, tables_.string()); });
    }

    void makeTable(const std::string& name, const std::vector<std::string>& fields,
                   const Rows& rows) {
        size_t next = 0;
        engine::tablefile::replace(
            tables_, name, fields,
            [&](std::vector<std::string>& row) {
                if (next == rows.size())
                    return false;
                row = rows[next++];
                return true;
            },
            std::string(TFormMenu::kTablePassword));
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

    /// Answers the next modal message box with `button`, remembering what it said.
    void answerNextBox(QMessageBox::StandardButton button) {
        QTimer::singleShot(0, [this, button] { answerWhenShown(button, 200); });
    }

    /// Runs `action`; every message box it raises is answered with OK and remembered.
    void answeringBoxes(const std::function<void()>& action) {
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                answer(box, QMessageBox::Ok);
        });
        poll.start(10);
        action();
        settle();
    }

    /// Lets queued events (activations, repaints) run.
    static void settle(int ms = 50) {
        for (int i = 0; i < 5; ++i) {
            QCoreApplication::processEvents();
            QTest::qWait(ms / 5);
        }
    }

    /// Creates the windows, answering any box start-up shows.
    void start() {
        answeringBoxes([] { createForms(); });
        FormMenu->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(FormMenu));
        settle();
    }

    /// Makes `form` the active window coming from another of the program's windows.
    void activate(ui::FormBase* form) {
        form->showForm();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form));
        settle(150);
    }

    /// Makes a window that is none of the program's forms active, as another application or the
    /// help viewer would be.
    void activateSomethingElse(QWidget& other) {
        other.show();
        other.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
        settle(100);
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
            (void)QTest::qWaitFor([&] { return !once; }, 1000);
            QObject::disconnect(once);
        }
        ASSERT_TRUE(QTest::qWaitForWindowActive(form));
        settle(150);
    }

    void openDictionary() {
        activate(FormMenu);
        FormMenu->SpeedButton1->click();
        ASSERT_TRUE(QTest::qWaitForWindowActive(FormMain));
        settle(150);
    }

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
        settle();
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
        settle();
    }

    std::filesystem::path root_;
    std::filesystem::path tables_;
    std::vector<BoxSeen> boxes_;

private:
    void answer(QMessageBox* box, QMessageBox::StandardButton button) {
        boxes_.push_back({box->windowTitle(), box->text(), box->icon()});
        box->button(button)->click();
    }

    void answerWhenShown(QMessageBox::StandardButton button, int triesLeft) {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            answer(box, button);
            return;
        }
        if (triesLeft > 0)
            QTimer::singleShot(
                10, [this, button, triesLeft] { answerWhenShown(button, triesLeft - 1); });
    }
};

/// While it lives, a process running as root acts as an ordinary user (root may write any file,
/// so read-only files and folders count only for another identity); the folders from `folder` up
/// to `top` are opened for reading and searching first, so that the user reaches the tables.
/// Elsewhere it changes nothing.
class OrdinaryUser {
public:
    OrdinaryUser(const std::filesystem::path& folder, const std::filesystem::path& top) {
        if (::geteuid() != 0)
            return;
        for (std::filesystem::path p = folder;; p = p.parent_path()) {
            ::chmod(p.c_str(), 0755);
            if (p == top || p == p.parent_path())
                break;
        }
        wk::testing::giveConfigurationTo(65534);
        switched_ = ::seteuid(65534) == 0;
        unavailable_ = !switched_;
    }
    ~OrdinaryUser() { end(); }
    OrdinaryUser(const OrdinaryUser&) = delete;
    OrdinaryUser& operator=(const OrdinaryUser&) = delete;

    /// Takes back the identity the process had.
    void end() {
        if (switched_) {
            EXPECT_EQ(::seteuid(0), 0);
        }
        switched_ = false;
    }
    /// Running as root without the right to take another identity: the test cannot be made.
    bool unavailable() const { return unavailable_; }

private:
    bool switched_ = false;
    bool unavailable_ = false;
};

} // namespace wk::testing
