// SPDX-License-Identifier: MIT
#include "platform/officeclient.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>

#include "platform/automationwire.h"
#include "platform/paths.h"
#include "platform/process.h"

extern char** environ;

namespace platform {

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

// The descriptor number the server finds its end of the socket pair under.
constexpr int kServerSocketFd = 3;

bool sameName(const std::string& a, const char* b) {
    const std::size_t length = std::strlen(b);
    return a.size() == length && std::equal(a.begin(), a.end(), b, [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string seconds(std::chrono::milliseconds duration) {
    std::ostringstream text;
    if (duration.count() % 1000 == 0) {
        text << duration.count() / 1000;
    } else {
        text.precision(1);
        text << std::fixed << static_cast<double>(duration.count()) / 1000.0;
    }
    text << (duration == std::chrono::seconds(1) ? " second" : " seconds");
    return text.str();
}

// Starts the office server program with the given arguments (after the program name, before the
// extra ones of the options) and childEnd as its descriptor kServerSocketFd, in a process group
// of its own. Gives 0 and the pid, or the error number; path is the program it tried.
int spawnServer(const OfficeOptions& options, std::vector<std::string> arguments, int childEnd,
                pid_t& pid, std::string& path) {
    path = options.serverPath.empty() ? inFolder(programFolder(), "pavendel-office")
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

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, childEnd, kServerSocketFd);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A process group of its own, so that a hung server and the engine it started can be killed
    // together; default signal handling and an empty mask whatever the program set up.
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigaddset(&signals, SIGPIPE);
    sigaddset(&signals, SIGCHLD);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
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

// The launcher of one office provider (office/launcher.h): started with the provider's first
// object, it forks every later server from a preinitialised engine. It ends when the provider and
// every object of it are gone, and with the thread that started it.
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

    // False when it could not be started or did not become ready in time; then it is gone.
    bool start();
    // Tells it to end and waits for that (for the exit grace at most), then kills what is left.
    void shutDown();
    bool running() {
        std::lock_guard lock(m_mutex);
        return runningLocked();
    }
    // A new server speaking on serverEnd; nothing when the launcher could not make one (a
    // launcher that does not answer properly is stopped). Threads asking at once are served one
    // after the other.
    std::optional<Server> newServer(int serverEnd);

 private:
    bool runningLocked() const { return m_pid > 0 && !ended(); }
    bool ended() const {
        pollfd entry{m_pidfd, POLLIN, 0};
        return m_pidfd < 0 || ::poll(&entry, 1, 0) != 0;
    }
    void kill();

    // Held for a whole request and its answer: the answers carry no request number, so two
    // requests under way at once could each take the other's server. Also guards the process
    // and socket against shutDown from the exit handler while another thread asks.
    std::mutex m_mutex;
    OfficeOptions m_options;
    pid_t m_pid = -1;
    int m_pidfd = -1;
    int m_control = -1;
};

bool Launcher::start() {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
        return false;
    }
    m_control = ends[0];
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
    // The first start of all may prepare the engine's profile, as long as a document may take.
    nlohmann::json hello;
    int fd = -1;
    const auto status = wire::receivePacket(
        m_control, hello, fd, Clock::now() + m_options.documentDeadline, m_pidfd, true);
    CloseQuietly(fd);
    if (status != wire::ReadStatus::Message ||
        wire::integerMember(hello, "protocol") != wire::kProtocolVersion ||
        !hello.contains("launcher")) {
        kill();
        return false;
    }
    return true;
}

std::optional<Launcher::Server> Launcher::newServer(int serverEnd) {
    std::lock_guard lock(m_mutex);
    if (!runningLocked()) {
        return std::nullopt;
    }
    if (!wire::sendPacket(m_control, {{"request", "server"}}, serverEnd)) {
        kill();
        return std::nullopt;
    }
    nlohmann::json reply;
    int pidfd = -1;
    const auto status = wire::receivePacket(m_control, reply, pidfd,
                                            Clock::now() + m_options.callDeadline, m_pidfd, true);
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

// The provider's launcher, started when the provider makes its first object and again after it
// died; given up after it failed to start twice (then servers are started directly).
class LauncherSlot {
 public:
    explicit LauncherSlot(OfficeOptions options) : m_options(std::move(options)) {}

    std::shared_ptr<Launcher> get() {
        std::lock_guard lock(m_mutex);
        if (!m_options.useLauncher || m_failures >= 2) {
            return nullptr;
        }
        if (m_launcher && m_launcher->running()) {
            return m_launcher;
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

 private:
    std::mutex m_mutex;  // objects may be created from several threads
    OfficeOptions m_options;
    std::shared_ptr<Launcher> m_launcher;
    int m_failures = 0;
};

class RemoteObject;

// One running server and the socket to it; shared by every object the server handed out.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
    explicit Connection(OfficeOptions options) : m_options(std::move(options)) {}
    ~Connection() { shutDown(); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Starts the server through the launcher when there is one, else directly.
    void start(const std::shared_ptr<Launcher>& launcher);
    ObjectPtr root() { return objectFor(wire::kRootObject); }
    Variant request(std::int64_t object, bool isCall, const std::string& member,
                    const std::vector<Variant>& positional, const NamedArguments& named);

 private:
    enum class State { Running, Quit, Gone };

    ObjectPtr objectFor(std::int64_t id);
    std::int64_t idOf(const ObjectPtr& object);
    [[noreturn]] void fail(const std::string& description);
    void shutDown();
    void killGroup();

    OfficeOptions m_options;
    // The launcher that forked the server; it must outlive the server. Empty when the server
    // was started directly, as a child of this process.
    std::shared_ptr<Launcher> m_launcher;
    pid_t m_pid = -1;
    int m_pidfd = -1;  // readable once the server has ended
    int m_fd = -1;
    std::optional<wire::Channel> m_channel;
    State m_state = State::Gone;
    std::int64_t m_nextRequest = 1;
    // The file name of the document last opened, to name it in descriptions.
    std::string m_document;
    std::map<std::int64_t, std::weak_ptr<RemoteObject>> m_objects;
};

class RemoteObject : public AutomationObject {
 public:
    RemoteObject(std::shared_ptr<Connection> connection, std::int64_t id)
        : m_connection(std::move(connection)), m_id(id) {}

    Variant get(const std::string& name) override {
        return m_connection->request(m_id, false, name, {}, {});
    }
    Variant call(const std::string& name, const std::vector<Variant>& positional,
                 const NamedArguments& named) override {
        return m_connection->request(m_id, true, name, positional, named);
    }

    const Connection* connection() const { return m_connection.get(); }
    std::int64_t id() const { return m_id; }

 private:
    std::shared_ptr<Connection> m_connection;
    std::int64_t m_id;
};

void Connection::start(const std::shared_ptr<Launcher>& launcher) {
    int ends[2];
    const auto newPair = [&ends] {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
            throw AutomationError(std::string("The office engine could not be started: ") +
                                  std::strerror(errno) + ".");
        }
    };
    newPair();
    if (launcher) {
        if (const auto server = launcher->newServer(ends[1])) {
            m_pid = server->pid;
            m_pidfd = server->pidfd;
            m_launcher = launcher;
        } else {
            // The launcher may have handed the socket on before it failed; a server started
            // directly gets a socket of its own, which nothing else can answer on.
            ::close(ends[0]);
            ::close(ends[1]);
            newPair();
        }
    }
    m_fd = ends[0];
    const int serverEnd = ends[1];
    if (!m_launcher) {
        std::string path;
        const int error = spawnServer(m_options, {"--socket-fd=" + std::to_string(kServerSocketFd)},
                                      serverEnd, m_pid, path);
        if (error != 0) {
            ::close(serverEnd);
            CloseQuietly(m_fd);
            throw AutomationError("The office engine could not be started: " + path + ": " +
                                  std::strerror(error) + ". Reinstall Pavendel.");
        }
        m_pidfd = OpenProcessDescriptor(m_pid);
    }
    ::close(serverEnd);
    m_state = State::Running;
    m_channel.emplace(m_fd);
    m_channel->runWaitHookWhileWaiting(true);

    nlohmann::json hello;
    switch (m_channel->receive(hello, Clock::now() + m_options.startDeadline, m_pidfd)) {
        case wire::ReadStatus::TimedOut:
            killGroup();
            fail("The office engine did not start in time (more than " +
                 seconds(m_options.startDeadline) + "), so it was stopped.");
        case wire::ReadStatus::Closed:
            fail("The office engine stopped unexpectedly while starting.");
        case wire::ReadStatus::Message:
            break;
    }
    if (const std::int64_t protocol = wire::integerMember(hello, "protocol");
        protocol != wire::kProtocolVersion) {
        fail(
            "The office engine of this installation does not match the program (it speaks "
            "protocol " +
            std::to_string(protocol) + ", the program " + std::to_string(wire::kProtocolVersion) +
            "). Reinstall Pavendel.");
    }
    if (auto found = hello.find("error"); found != hello.end() && found->is_string()) {
        fail(found->get<std::string>());
    }
}

Variant Connection::request(std::int64_t object, bool isCall, const std::string& member,
                            const std::vector<Variant>& positional, const NamedArguments& named) {
    const bool isQuit = isCall && object == wire::kRootObject && sameName(member, "Quit");
    if (m_state != State::Running) {
        if (isQuit) {
            return {};  // already ended: what Quit asks for is done
        }
        throw AutomationError(m_state == State::Quit ? "The office engine has already been closed."
                                                     : "The office engine is no longer running.");
    }

    const bool isOpen = isCall && sameName(member, "Open");
    const bool isSave = isCall && sameName(member, "SaveAs");
    if (isOpen && !positional.empty() && positional.front().isString()) {
        m_document = std::filesystem::path(positional.front().asString()).filename().string();
    }
    const std::string document = "\"" + (m_document.empty() ? "(none)" : m_document) + "\"";
    std::string doing;
    if (isOpen) {
        doing = "opening the document " + document;
    } else if (isSave) {
        doing = "saving the document " + document + " as RTF";
    } else if (isQuit) {
        doing = "closing";
    } else {
        doing = (isCall ? "running " : "getting ") + member;
    }

    nlohmann::json message{{"id", m_nextRequest++},
                           {"object", object},
                           {"kind", isCall ? "call" : "get"},
                           {"member", member}};
    const auto toId = [this](const ObjectPtr& value) { return idOf(value); };
    nlohmann::json args = nlohmann::json::array();
    for (const Variant& value : positional) {
        args.push_back(wire::encode(value, toId));
    }
    nlohmann::json namedArgs = nlohmann::json::object();
    for (const auto& [name, value] : named) {
        namedArgs[name] = wire::encode(value, toId);
    }
    message["args"] = std::move(args);
    message["named"] = std::move(namedArgs);

    if (!m_channel->send(message)) {
        if (isQuit) {
            killGroup();
            return {};
        }
        fail("The office engine stopped unexpectedly before " + doing + ".");
    }

    const auto deadline = (isOpen || isSave) ? m_options.documentDeadline : m_options.callDeadline;
    nlohmann::json reply;
    switch (m_channel->receive(reply, Clock::now() + deadline, m_pidfd)) {
        case wire::ReadStatus::TimedOut:
            killGroup();
            if (isQuit) {
                return {};  // it would not end by itself, so it was ended
            }
            if (isOpen) {
                fail("The document " + document + " took too long to open (more than " +
                     seconds(deadline) + "), so the office engine was stopped.");
            }
            if (isSave) {
                fail("The document " + document + " took too long to save as RTF (more than " +
                     seconds(deadline) + "), so the office engine was stopped.");
            }
            fail("The office engine took too long " + doing + " (more than " + seconds(deadline) +
                 "), so it was stopped.");
        case wire::ReadStatus::Closed:
            if (isQuit) {
                killGroup();
                return {};
            }
            fail("The office engine stopped unexpectedly while " + doing + ".");
        case wire::ReadStatus::Message:
            break;
    }
    if (wire::integerMember(reply, "id") != message["id"].get<std::int64_t>()) {
        fail("The office engine gave an answer this program does not understand while " + doing +
             ".");
    }
    if (auto error = reply.find("error"); error != reply.end()) {
        // A description keeps the bytes of the file name it quotes.
        throw AutomationError(
            wire::decodeText(*error).value_or("The office engine reported an error."));
    }
    if (isQuit) {
        m_state = State::Quit;
    }
    const auto value = reply.find("value");
    if (value == reply.end()) {
        return {};
    }
    return wire::decode(*value, [this](std::int64_t id) { return objectFor(id); });
}

ObjectPtr Connection::objectFor(std::int64_t id) {
    if (auto existing = m_objects[id].lock()) {
        return existing;
    }
    auto created = std::make_shared<RemoteObject>(shared_from_this(), id);
    m_objects[id] = created;
    return created;
}

std::int64_t Connection::idOf(const ObjectPtr& object) {
    const auto* remote = dynamic_cast<const RemoteObject*>(object.get());
    if (remote == nullptr || remote->connection() != this) {
        throw AutomationError("Only objects of the same office engine can be passed to it.");
    }
    return remote->id();
}

void Connection::fail(const std::string& description) {
    killGroup();
    throw AutomationError(description);
}

void Connection::killGroup() {
    if (m_pid > 0) {
        if (m_launcher) {
            // The launcher reaps this server, so its number may already name another process
            // group: the server is signalled through its process descriptor only, and the
            // launcher ends what is left of its group when it sees the server end.
            ::syscall(SYS_pidfd_send_signal, m_pidfd, SIGKILL, nullptr, 0);
            waitEnded(m_pidfd, m_options.exitGrace);
        } else {
            // Not reaped yet (at worst a zombie), the server keeps its group's number: this
            // reaches the server and the engine it started, nothing more.
            ::kill(-m_pid, SIGKILL);
            int status = 0;
            while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
            }
        }
        m_pid = -1;
    }
    m_channel.reset();
    CloseQuietly(m_fd);
    CloseQuietly(m_pidfd);
    m_state = State::Gone;
}

void Connection::shutDown() {
    if (m_pid <= 0) {
        return;
    }
    // Closing the socket tells the server to end: it stops its engine and removes its files.
    m_channel.reset();
    CloseQuietly(m_fd);
    if (m_pidfd >= 0) {
        waitEnded(m_pidfd, m_options.exitGrace);
    }
    killGroup();
}

}  // namespace

ObjectProvider officeProvider(OfficeOptions options) {
    auto launcher = std::make_shared<LauncherSlot>(options);
    return [options, launcher]() -> ObjectPtr {
        auto connection = std::make_shared<Connection>(options);
        connection->start(launcher->get());
        return connection->root();
    };
}

}  // namespace platform
