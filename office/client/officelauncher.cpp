// SPDX-License-Identifier: MIT
#include "office/client/officelauncher.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "office/client/diagnosticsrelay.h"
#include "office/wire/automationwire.h"
#include "platform/paths.h"
#include "platform/process.h"

extern char** environ;

namespace office::client {

using platform::CloseQuietly;
using platform::OpenProcessDescriptor;

namespace {

// The process a process descriptor stands for, as the kernel reports it; -1 when it cannot
// be told (no /proc) or the process has ended and been reaped.
pid_t pidOfPidfd(int pidfd) {
    std::ifstream info("/proc/self/fdinfo/" + std::to_string(pidfd));
    std::string line;
    while (std::getline(info, line)) {
        if (line.rfind("Pid:", 0) == 0) {
            try {
                return static_cast<pid_t>(std::stol(line.substr(4)));
            } catch (const std::exception&) {
                return -1;
            }
        }
    }
    return -1;
}

using Clock = std::chrono::steady_clock;

}  // namespace

// Starts the office server program with the given arguments (after the program name, before the
// extra ones of the options) and childEnd as its descriptor kServerSocketFd, in a process group
// of its own. Gives 0 and the pid, or the error number; path is the program it tried.
int spawnServer(const OfficeOptions& options, std::vector<std::string> arguments, int childEnd,
                pid_t& pid, std::string& path) {
    path = options.serverPath.empty()
               ? platform::inFolder(platform::programFolder(), "pavendel-office")
               : options.serverPath;
    if (childEnd == kServerSocketFd) {
        // dup2 onto itself would keep close-on-exec set; move it out of the way first.
        const int moved = ::fcntl(childEnd, F_DUPFD_CLOEXEC, kServerSocketFd + 1);
        const int error = moved < 0 ? errno : 0;
        if (moved < 0) {
            return error;
        }
        const int status = spawnServer(options, std::move(arguments), moved, pid, path);
        ::close(moved);
        return status;
    }
    arguments.insert(arguments.begin(), path);
    arguments.insert(arguments.end(), options.arguments.begin(), options.arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    // Nothing to read, standard output nowhere (it may be this program's report), messages
    // through the relay, the socket, and no other descriptor of this process.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const int messages = diagnosticsPipe();
    if (messages >= 0) {
        posix_spawn_file_actions_adddup2(&actions, messages, STDERR_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_adddup2(&actions, childEnd, kServerSocketFd);
    posix_spawn_file_actions_addclosefrom_np(&actions, kServerSocketFd + 1);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A session of its own, without the program's terminal, whose process group a hung server
    // and the engine it started are killed with; default signal handling and an empty mask
    // whatever the program set up.
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigaddset(&signals, SIGPIPE);
    sigaddset(&signals, SIGCHLD);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const int error =
        ::posix_spawn(&pid, path.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        pid = -1;
    }
    return error;
}

// Waits until the process descriptor says the process ended, at most for the limit.
bool waitEnded(int pidfd, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return false;
        }
        pollfd entry{pidfd, POLLIN, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left));
        if (ready > 0) {
            return true;
        }
        if (ready < 0 && errno != EINTR) {
            return false;
        }
    }
}

bool Launcher::running() {
    std::lock_guard lock(m_mutex);
    return runningLocked();
}

bool Launcher::runningLocked() const {
    if (m_pid <= 0 || m_pidfd < 0) {
        return false;
    }
    pollfd entry{m_pidfd, POLLIN, 0};
    return ::poll(&entry, 1, 0) == 0;
}

bool Launcher::spawn() {
    std::lock_guard lock(m_mutex);
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
        return false;
    }
    m_control = ends[0];
    m_ready = false;
    std::string path;
    const int error = spawnServer(m_options,
                                  {"--socket-fd=" + std::to_string(kServerSocketFd), "--launcher",
                                   "--parent=" + std::to_string(::getpid())},
                                  ends[1], m_pid, path);
    ::close(ends[1]);
    if (error != 0) {
        CloseQuietly(m_control);
        return false;
    }
    m_pidfd = OpenProcessDescriptor(m_pid);
    return true;
}

bool Launcher::ready() {
    std::lock_guard lock(m_mutex);
    return readyLocked();
}

bool Launcher::readyLocked() {
    if (m_ready) {
        return true;
    }
    if (!runningLocked()) {
        kill();
        return false;
    }
    // The first start of all may prepare the engine's profile, as long as a document may take.
    nlohmann::json hello;
    int fd = -1;
    const auto status = wire::receivePacket(
        m_control, hello, fd, Clock::now() + m_options.deadlines.document, m_pidfd, true);
    CloseQuietly(fd);
    if (status != wire::ReadStatus::Message ||
        wire::integerMember(hello, "protocol") != wire::kProtocolVersion ||
        !hello.contains("launcher")) {
        kill();
        return false;
    }
    m_ready = true;
    return true;
}

bool Launcher::start() {
    return spawn() && ready();
}

std::optional<Launcher::Server> Launcher::newServer(int serverEnd) {
    std::lock_guard lock(m_mutex);
    if (!runningLocked() || !readyLocked()) {
        return std::nullopt;
    }
    if (!wire::sendPacket(m_control, {{"request", "server"}}, serverEnd)) {
        kill();
        return std::nullopt;
    }
    nlohmann::json reply;
    int pidfd = -1;
    const auto status = wire::receivePacket(m_control, reply, pidfd,
                                            Clock::now() + m_options.deadlines.call, m_pidfd, true);
    if (status == wire::ReadStatus::Message && pidfd >= 0) {
        // The number must be the process the descriptor stands for (unless that has ended
        // already and cannot be told), and never 1 or less, which would name every process or
        // the caller's own group to kill(). The number is never used to signal a server of the
        // launcher, but a launcher that names a wrong one is not trusted again; servers are
        // then started directly.
        const auto pid = reply.find("pid");
        const pid_t actual = pidOfPidfd(pidfd);
        if (pid != reply.end() && pid->is_number_integer() && pid->get<std::int64_t>() > 1 &&
            (pid->get<std::int64_t>() == actual || actual == -1)) {
            return Server{static_cast<pid_t>(pid->get<std::int64_t>()), pidfd};
        }
        CloseQuietly(pidfd);
        if (pid != reply.end()) {
            kill();
        }
        return std::nullopt;
    }
    CloseQuietly(pidfd);
    if (status != wire::ReadStatus::Message) {
        kill();
    }
    return std::nullopt;
}

bool Launcher::keepSpares(int count) {
    std::lock_guard lock(m_mutex);
    if (!runningLocked() || !readyLocked()) {
        return false;
    }
    if (!wire::sendPacket(m_control, {{"request", "spares"}, {"count", count}})) {
        kill();
        return false;
    }
    nlohmann::json reply;
    int fd = -1;
    const auto status = wire::receivePacket(m_control, reply, fd,
                                            Clock::now() + m_options.deadlines.call, m_pidfd, true);
    CloseQuietly(fd);
    if (status != wire::ReadStatus::Message || !reply.contains("spares")) {
        kill();
        return false;
    }
    return true;
}

void Launcher::kill() {
    if (m_pid > 0) {
        // Its servers die with it (they ask the kernel for that).
        ::kill(-m_pid, SIGKILL);
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
    }
    CloseQuietly(m_control);
    CloseQuietly(m_pidfd);
}

void Launcher::shutDown() {
    std::lock_guard lock(m_mutex);
    if (m_pid <= 0) {
        return;
    }
    // Closing the socket tells the launcher to end: it stops every server it started, waits for
    // them and removes its files.
    CloseQuietly(m_control);
    if (m_pidfd >= 0) {
        waitEnded(m_pidfd, m_options.exitGrace);
    }
    kill();
}

namespace {

// Launchers still alive when the program exits normally are ended properly then, so that they
// remove their files; when the program is killed they die with it all the same.
std::mutex& launchersMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::vector<std::weak_ptr<Launcher>>& liveLaunchers() {
    static auto* launchers = new std::vector<std::weak_ptr<Launcher>>;
    return *launchers;
}

void endLaunchersAtExit() {
    std::vector<std::shared_ptr<Launcher>> launchers;
    {
        std::lock_guard lock(launchersMutex());
        for (const auto& launcher : liveLaunchers()) {
            if (auto alive = launcher.lock()) {
                launchers.push_back(alive);
            }
        }
    }
    for (const auto& launcher : launchers) {
        launcher->shutDown();
    }
}

void registerLauncher(const std::shared_ptr<Launcher>& launcher) {
    static std::once_flag registered;
    std::call_once(registered, [] { std::atexit(endLaunchersAtExit); });
    std::lock_guard lock(launchersMutex());
    auto& launchers = liveLaunchers();
    launchers.erase(std::remove_if(launchers.begin(), launchers.end(),
                                   [](const auto& entry) { return entry.expired(); }),
                    launchers.end());
    launchers.push_back(launcher);
}

}  // namespace

std::shared_ptr<Launcher> LauncherSlot::running() {
    std::lock_guard lock(m_mutex);
    return m_launcher && m_launcher->running() ? m_launcher : nullptr;
}

std::shared_ptr<Launcher> LauncherSlot::get() {
    std::lock_guard lock(m_mutex);
    if (!m_options.useLauncher || m_failures >= 2) {
        return nullptr;
    }
    if (m_launcher && m_launcher->running()) {
        if (m_launcher->ready()) {
            return m_launcher;
        }
        // Started early, it did not become ready: that counts as a failed start.
        ++m_failures;
        if (m_failures >= 2) {
            m_launcher.reset();
            return nullptr;
        }
    }
    m_launcher = std::make_shared<Launcher>(m_options);
    if (!m_launcher->start()) {
        m_launcher.reset();
        ++m_failures;
    } else {
        registerLauncher(m_launcher);
    }
    return m_launcher;
}

void LauncherSlot::startEarly() {
    std::lock_guard lock(m_mutex);
    if (!m_options.useLauncher || m_failures >= 2 || (m_launcher && m_launcher->running())) {
        return;
    }
    auto launcher = std::make_shared<Launcher>(m_options);
    if (launcher->spawn()) {
        m_launcher = std::move(launcher);
        registerLauncher(m_launcher);
    } else {
        ++m_failures;
    }
}

}  // namespace office::client
