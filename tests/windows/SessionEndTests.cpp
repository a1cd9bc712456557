// The end of the program from outside: termination signals and the desktop session's end store the
// description being typed, asking nothing.

#include "WindowFixture.h"

#include "ui/SessionEnd.h"
#include "windows/Internet.h"

#include <sqlite3.h>

#include <csignal>
#include <cstdlib>

namespace wk::testing {
namespace {

class SessionEndTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        setAlias();
        makeTable("Internet", {"Name", "Description", "URL"},
                  {{"Commission", "The language commission.", "https://kwf.gov.ph/"}});
        start();
        activate(FormMenu);
        FormMenu->SpeedButton4->click();
        ASSERT_TRUE(QTest::qWaitForWindowActive(FormInternet));
        settle(100);
    }

    static void typeDescription(const QString& text) {
        FormInternet->DBMemo1->setFocus();
        FormInternet->DBMemo1->moveCursor(QTextCursor::End);
        typeText(FormInternet->DBMemo1, text);
    }

    std::string storedDescription() { return storedField("Internet.db", "Description").at(0); }

    /// Runs `first` from the event loop, which then runs until the application is told to exit;
    /// returns the exit code, or 99 when nothing ended the loop within five seconds.
    int runLoopAfter(const std::function<void()>& first) {
        int result = -1;
        const QObject limit; // goes with the call, so that its timer never ends a later loop
        answeringBoxes([&] {
            QTimer::singleShot(0, first);
            QTimer::singleShot(5000, &limit, [] { QCoreApplication::exit(99); });
            result = QApplication::exec();
        });
        return result;
    }

    /// What the program hands to the session's end.
    static void storeWhatIsPending() {
        if (FormMenu)
            FormMenu->storePendingEdits();
    }
};

TEST_F(SessionEndTest, EachTerminationSignalStoresThePendingDescriptionAndEndsTheLoop) {
    std::string expected = "The language commission.";
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ui::SessionEnd end(storeWhatIsPending);
        int taken = 0;
        QObject::connect(&end, &ui::SessionEnd::terminated, [&taken](int s) { taken = s; });
        const QString added = QStringLiteral(" Signal %1.").arg(signal);
        typeDescription(added);
        expected += added.toStdString();
        EXPECT_EQ(runLoopAfter([signal] { ::raise(signal); }), 0) << signal;
        EXPECT_EQ(taken, signal);
        EXPECT_TRUE(boxes_.empty()) << signal;
        EXPECT_EQ(FormInternet->Table1.state(), engine::DatasetState::Browse) << signal;
        EXPECT_EQ(storedDescription(), expected) << signal;
    }
}

TEST_F(SessionEndTest, DescriptionThatCannotBeStoredIsNamedOnStandardErrorAndTheLoopEnds) {
    ui::SessionEnd end(storeWhatIsPending);
    typeDescription(" Lost.");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open((tables_ / "Internet.db").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    ::testing::internal::CaptureStderr();
    const int result = runLoopAfter([] { ::raise(SIGTERM); });
    const std::string err = ::testing::internal::GetCapturedStderr();
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(boxes_.empty());
    // One line, naming the error.
    ASSERT_FALSE(err.empty());
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    EXPECT_NE(err.find("Table 'Internet'"), std::string::npos) << err;
    EXPECT_NE(err.find("locked"), std::string::npos) << err;
    EXPECT_EQ(storedDescription(), "The language commission.");
}

TEST_F(SessionEndTest, DesktopSessionEndStoresWithoutEndingTheLoop) {
    // The user may still cancel the logout: what is pending is stored, the program goes on.
    ui::SessionEnd end(storeWhatIsPending);
    typeDescription(" Saved.");
    bool stored = false;
    int result = -1;
    answeringBoxes([&] {
        QTimer::singleShot(0, [&] { stored = end.storePendingQuietly(); });
        QTimer::singleShot(300, [] { QCoreApplication::exit(7); });
        result = QApplication::exec();
    });
    EXPECT_TRUE(stored);
    EXPECT_EQ(result, 7);
    EXPECT_TRUE(boxes_.empty());
    EXPECT_TRUE(FormInternet->isVisible());
    EXPECT_EQ(storedDescription(), "The language commission. Saved.");
}

// Without windows: the death test's own run of the program ends before any clearing up.
TEST(SessionEndSignals, SecondSignalBeforeTheLoopTookTheFirstEndsTheProgramAtOnce) {
    // A program whose loop is stuck can still be ended: the first signal waits for the loop, the
    // second one has its default effect. (The test program runs again for it, rather than being
    // forked with Qt's threads running.)
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ui::SessionEnd end([] {});
    EXPECT_EXIT(
        {
            ::raise(SIGTERM);
            ::raise(SIGTERM);
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGTERM), "");
}

TEST(SessionEndSignals, SignalsHaveTheirFormerHandlersOnceItIsGone) {
    struct sigaction before {};
    ::sigaction(SIGTERM, nullptr, &before);
    {
        ui::SessionEnd end([] {});
        struct sigaction during {};
        ::sigaction(SIGTERM, nullptr, &during);
        EXPECT_NE(during.sa_handler, before.sa_handler);
    }
    struct sigaction after {};
    ::sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

} // namespace
} // namespace wk::testing
