#include "ui/SessionEnd.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSocketNotifier>
#if QT_CONFIG(sessionmanager)
#include <QSessionManager>
#endif

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>

#include <sys/socket.h>
#include <unistd.h>

namespace wk::ui {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr size_t kSignalCount = sizeof kSignals / sizeof kSignals[0];

// What the signal handler touches: lock-free atomics only.
static_assert(std::atomic<int>::is_always_lock_free);
std::atomic<int> writeEnd{-1};
std::atomic<int> untaken{0}; // signals handled but not yet taken by the event loop

// The rest belongs to the one SessionEnd there is.
bool installed = false;
int readEnd = -1;
struct sigaction previous[kSignalCount];

void onTerminationSignal(int signal) {
    const int savedErrno = errno;
    if (untaken.fetch_add(1) > 0) {
        // The loop has not taken the signal before this one: it may be stuck. The default
        // effect, once this handler returns.
        struct sigaction byDefault {};
        byDefault.sa_handler = SIG_DFL;
        sigemptyset(&byDefault.sa_mask);
        ::sigaction(signal, &byDefault, nullptr);
        ::raise(signal);
    } else if (const int fd = writeEnd.load(); fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signal);
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

/// One line on stderr naming what could not be stored.
void reportOnStderr(std::string error) {
    for (char& c : error)
        if (c == '\n' || c == '\r')
            c = ' ';
    const std::string line = "Wikabay: what was being edited could not be stored: " + error + '\n';
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

} // namespace

SessionEnd::SessionEnd(std::function<void()> storePending, QObject* parent)
    : QObject(parent), storePending_(std::move(storePending)) {
    if (installed)
        throw std::logic_error("SessionEnd: there is one already");
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0)
        throw std::runtime_error(std::string("SessionEnd: no socket pair: ") +
                                 std::strerror(errno));
    installed = true;
    readEnd = fds[1];
    writeEnd.store(fds[0]);
    untaken.store(0);
    notifier_ = new QSocketNotifier(readEnd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SessionEnd::takeSignals);

    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < kSignalCount; ++i)
        ::sigaction(kSignals[i], &action, &previous[i]);

#if QT_CONFIG(sessionmanager)
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager&) { storePendingQuietly(); });
#endif
}

SessionEnd::~SessionEnd() {
    for (size_t i = 0; i < kSignalCount; ++i)
        ::sigaction(kSignals[i], &previous[i], nullptr);
    const int fd = writeEnd.exchange(-1);
    delete notifier_;
    ::close(fd);
    ::close(readEnd);
    readEnd = -1;
    untaken.store(0);
    installed = false;
}

bool SessionEnd::storePendingQuietly() {
    try {
        storePending_();
        return true;
    } catch (const std::exception& e) {
        reportOnStderr(e.what());
    } catch (...) {
        reportOnStderr("an unknown error");
    }
    return false;
}

void SessionEnd::takeSignals() {
    int signal = 0;
    unsigned char bytes[16];
    ssize_t n;
    while ((n = ::read(readEnd, bytes, sizeof bytes)) > 0)
        signal = bytes[n - 1];
    untaken.store(0);
    if (signal == 0)
        return;
    storePendingQuietly();
    emit terminated(signal);
    QCoreApplication::exit(0);
}

} // namespace wk::ui
