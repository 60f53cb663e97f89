// SPDX-License-Identifier: MIT
// SIGTERM, SIGINT and SIGHUP reach the event loop through a socket pair: the handler only
// writes a byte, which is all a signal handler may safely do, and a socket notifier on the
// user-interface thread reads it and closes the windows.
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>

#include "app/shutdownwatcher.h"

namespace app {

namespace {

constexpr std::array<int, 3> kStopSignals = {SIGTERM, SIGINT, SIGHUP};

std::atomic<int> g_writeEnd{-1};

extern "C" void writeStopRequest(int) {
    const int savedErrno = errno;
    const char byte = 1;
    const int fd = g_writeEnd.load();
    if (fd >= 0) {
        // A full socket already holds a request; losing this byte loses nothing.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

// Owns the socket pair and the installed handlers; restores the previous handlers when it goes.
class StopSignals final : public QObject {
 public:
    explicit StopSignals(QObject* parent) : QObject(parent) {
        // Only one set of handlers at a time; without the socket pair the signals keep their
        // default action, which ends the process.
        if (g_writeEnd.load() >= 0 ||
            ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0,
                         m_sockets.data()) != 0) {
            return;
        }
        m_notifier = new QSocketNotifier(m_sockets[0], QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &StopSignals::drain);
        g_writeEnd.store(m_sockets[1]);
        struct sigaction action {};
        action.sa_handler = writeStopRequest;
        sigemptyset(&action.sa_mask);
        // Restarted system calls: a signal must not make a file write or a wait for the office
        // server fail with EINTR.
        action.sa_flags = SA_RESTART;
        for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
            ::sigaction(kStopSignals[i], &action, &m_previous[i]);
        }
    }

    ~StopSignals() override {
        if (m_notifier != nullptr) {
            for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
                ::sigaction(kStopSignals[i], &m_previous[i], nullptr);
            }
            g_writeEnd.store(-1);
            delete m_notifier;
        }
        for (const int fd : m_sockets) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }

    // Null when the handlers could not be installed.
    QSocketNotifier* notifier() const { return m_notifier; }

 private:
    void drain() {
        char bytes[16];
        while (::read(m_sockets[0], bytes, sizeof bytes) > 0) {
        }
    }

    std::array<int, 2> m_sockets = {-1, -1};
    std::array<struct sigaction, kStopSignals.size()> m_previous{};
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace

void ShutdownWatcher::watchStopSignals() {
    auto* stop = new StopSignals(this);
    if (stop->notifier() == nullptr) {
        delete stop;
        return;
    }
    // After the socket is drained by the connection made first.
    connect(stop->notifier(), &QSocketNotifier::activated, this, &ShutdownWatcher::closeWindows);
}

}  // namespace app
