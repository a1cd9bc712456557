#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace wk::ui {

/// The end of the program from outside: SIGTERM, SIGINT and SIGHUP (a logout, `kill`, the
/// terminal closed) and the desktop session's end (QGuiApplication::commitDataRequest). Either
/// way `storePending` runs from the event loop and stores what the windows hold, asking nothing;
/// a failure is written to stderr as one line naming the error. After a signal the application
/// is then told to exit (QCoreApplication::exit(0), not quit(), which would close the windows,
/// and they would ask). The session's end only stores: the user may still cancel the logout.
///
/// The signal handlers only write a byte to a socket pair, which is all a handler may safely do;
/// a socket notifier reads it in the event loop. A second signal that comes before the loop has
/// taken the first has its default effect, so that a program whose loop is stuck still ends.
///
/// One may exist at a time; destroying it gives the signals back the handlers they had.
class SessionEnd : public QObject {
    Q_OBJECT
public:
    explicit SessionEnd(std::function<void()> storePending, QObject* parent = nullptr);
    ~SessionEnd() override;
    SessionEnd(const SessionEnd&) = delete;
    SessionEnd& operator=(const SessionEnd&) = delete;

    /// Runs `storePending`; a failure is written to stderr. False when it failed.
    bool storePendingQuietly();

signals:
    /// The event loop took termination signal `signal`; what was pending has been stored, or
    /// named on stderr, and the application is told to exit right after.
    void terminated(int signal);

private:
    void takeSignals();

    std::function<void()> storePending_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace wk::ui
