#pragma once

// Waiting in tests of windows for what the test checks next: the event loop runs until the
// condition holds, never for a fixed time, so that neither the machine's speed nor the window
// system's timing decides the outcome.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <string>

namespace wk::testing {

/// How long a wait may take before the test fails, in milliseconds: far more than any step needs,
/// even on a busy machine.
inline constexpr int kPatience = 10000;

/// Runs the events (posted ones, due timers, the window system's) until `holds()` is true. Fails,
/// naming `what` was awaited, when it still does not hold after `limit` milliseconds; use it as
/// ASSERT_TRUE(waitFor(...)) or EXPECT_TRUE(waitFor(...)).
template <typename Predicate>
[[nodiscard]] ::testing::AssertionResult waitFor(Predicate&& holds, const std::string& what,
                                                 int limit = kPatience) {
    if (QTest::qWaitFor(holds, limit))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "waited " << limit << " ms in vain for " << what;
}

/// Waits until `widget`'s window is the active window.
[[nodiscard]] inline ::testing::AssertionResult waitForActive(QWidget* widget) {
    if (QTest::qWaitForWindowActive(widget, kPatience))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "waited " << kPatience << " ms in vain for the window '"
           << widget->window()->windowTitle().toStdString() << "' to become active";
}

/// Delivers the events queued so far (posted events, calls queued with a zero-time timer, the
/// window system's events), then what those queued in turn, three rounds deep. Waits for no timer
/// that is not due yet. A modal box shown meanwhile must be answered (see answeringBoxes in the
/// window tests) for it to return.
inline void processDueEvents() {
    for (int round = 0; round < 3; ++round) {
        // Posted events are delivered in the order they were posted: once this call runs, so
        // has everything queued before it.
        bool reached = false;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&reached] { reached = true; }, Qt::QueuedConnection);
        const QDeadlineTimer deadline(kPatience);
        while (!reached) {
            if (deadline.hasExpired()) {
                ADD_FAILURE() << "the events queued did not run within " << kPatience << " ms";
                return;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
    }
}

} // namespace wk::testing
