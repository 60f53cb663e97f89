// SPDX-License-Identifier: MIT
#include "office/client/diagnosticsrelay.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/systemtext.h"

namespace office::client {

std::string DiagnosticLines::take(std::string_view written) {
    std::string out;
    for (const char c : written) {
        if (c == '\n' || m_pending.size() >= kLongestLine) {
            out += platform::EscapeTerminalControls(m_pending);
            out += '\n';
            m_pending.clear();
        }
        if (c != '\n') {
            m_pending += c;
        }
    }
    return out;
}

namespace {

void writeAll(int fd, const std::string& text) {
    for (std::size_t written = 0; written < text.size();) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        written += static_cast<std::size_t>(n);
    }
}

class Relay {
 public:
    Relay() {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            return;
        }
        m_read = ends[0];
        m_write = ends[1];
        std::thread([this] { run(); }).detach();
    }

    int writeEnd() const { return m_write; }

    void flush(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        std::unique_lock lock(m_mutex);
        while (std::chrono::steady_clock::now() < deadline) {
            int waiting = 0;
            if (!m_copying && (::ioctl(m_read, FIONREAD, &waiting) != 0 || waiting == 0)) {
                return;
            }
            m_changed.wait_for(lock, std::chrono::milliseconds(5));
        }
    }

 private:
    // Marked as copying before it reads, so that flush never sees the pipe empty while what was
    // in it has not been written yet.
    void run() {
        DiagnosticLines lines;
        char chunk[4096];
        for (;;) {
            pollfd entry{m_read, POLLIN, 0};
            if (::poll(&entry, 1, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            {
                std::lock_guard lock(m_mutex);
                m_copying = true;
            }
            const ssize_t n = ::read(m_read, chunk, sizeof chunk);
            if (n > 0) {
                writeAll(STDERR_FILENO,
                         lines.take(std::string_view(chunk, static_cast<std::size_t>(n))));
            }
            {
                std::lock_guard lock(m_mutex);
                m_copying = false;
            }
            m_changed.notify_all();
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
                return;
            }
        }
    }

    int m_read = -1;
    int m_write = -1;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_copying = false;
};

// One for the process, never destroyed: office processes may outlive every object of this one.
Relay& relay() {
    static Relay* const instance = [] {
        auto* made = new Relay;
        std::atexit([] { flushDiagnostics(std::chrono::milliseconds(500)); });
        return made;
    }();
    return *instance;
}

}  // namespace

int diagnosticsPipe() {
    return relay().writeEnd();
}

void flushDiagnostics(std::chrono::milliseconds limit) {
    relay().flush(limit);
}

}  // namespace office::client
