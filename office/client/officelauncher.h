// SPDX-License-Identifier: MIT
// The client's side of the office launcher (office/server/launcher.h), and how the office server
// program is started: the parts of the "Word.Application" provider that make server processes.
// The connection to one server is connection.h.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "office/client/officeoptions.h"

namespace office::client {

// The descriptor number the server finds its end of the socket pair under.
constexpr int kServerSocketFd = 3;

// Starts the office server program with the given arguments (after the program name, before the
// extra ones of the options) and childEnd as its descriptor kServerSocketFd, in a session of its
// own, with its messages going to the relay (diagnosticsrelay.h) and no other descriptor. Gives 0
// and the pid, or the error number; path is the program it tried.
int spawnServer(const OfficeOptions& options, std::vector<std::string> arguments, int childEnd,
                pid_t& pid, std::string& path);

// Waits until the process descriptor says the process ended, at most for the limit.
bool waitEnded(int pidfd, std::chrono::milliseconds limit);

// The launcher of one office provider: started with the provider's first object (or before it,
// by startEarly), it forks every later server from a preinitialised engine. It ends when the
// provider and every object of it are gone, and with the thread that started it.
class Launcher {
 public:
    struct Server {
        pid_t pid;
        int pidfd;
    };

    explicit Launcher(OfficeOptions options) : m_options(std::move(options)) {}
    ~Launcher() { shutDown(); }
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    // Starts it without waiting for it to become ready: the engine prepares itself meanwhile, and
    // the first request waits for it. False when it could not be started.
    bool spawn();
    // Waits until it is ready (once); false when it did not become ready properly in time, and
    // then it is gone.
    bool ready();
    // spawn() and ready() at once.
    bool start();
    // Tells it to end and waits for that (for the exit grace at most), then kills what is left.
    void shutDown();
    bool running();
    // A new server speaking on serverEnd; nothing when the launcher could not make one (a
    // launcher that does not answer properly is stopped). Threads asking at once are served one
    // after the other.
    std::optional<Server> newServer(int serverEnd);
    // Asks the launcher to keep this many servers ready (one per document converting at once);
    // false when it did not answer properly (then it is stopped).
    bool keepSpares(int count);

 private:
    bool runningLocked() const;
    bool readyLocked();
    void kill();

    // Held for a whole request and its answer: the answers carry no request number, so two
    // requests under way at once could each take the other's server. Also guards the process
    // and socket against shutDown from the exit handler while another thread asks.
    std::mutex m_mutex;
    OfficeOptions m_options;
    pid_t m_pid = -1;
    int m_pidfd = -1;
    int m_control = -1;
    bool m_ready = false;
};

// The provider's launcher, started when the provider makes its first object (or earlier) and
// again after it died; given up after it failed to start twice (then servers are started directly).
class LauncherSlot {
 public:
    explicit LauncherSlot(OfficeOptions options) : m_options(std::move(options)) {}

    // The running launcher, started now if need be; null when servers are to start directly.
    std::shared_ptr<Launcher> get();
    // Starts the launcher, unless one runs, without waiting for it: a program that will convert
    // soon lets the engine prepare itself while the user chooses the documents.
    void startEarly();
    // The launcher when one runs; never starts one.
    std::shared_ptr<Launcher> running();

 private:
    std::mutex m_mutex;  // objects may be created from several threads
    OfficeOptions m_options;
    std::shared_ptr<Launcher> m_launcher;
    int m_failures = 0;
};

}  // namespace office::client
