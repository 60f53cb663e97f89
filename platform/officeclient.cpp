// SPDX-License-Identifier: MIT
#include "platform/officeclient.h"

#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>

#include "platform/automationwire.h"
#include "platform/lookahead.h"
#include "platform/officelauncher.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// What one office instance may take at its peak (proportional set size, with what it shares
// with the launcher counted in part), with a margin for large documents; and what the desktop
// keeps for itself.
constexpr std::uint64_t kInstanceKiB = std::uint64_t{512} << 10;
constexpr std::uint64_t kDesktopReserveKiB = std::uint64_t{1} << 20;

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

class RemoteObject;

// One running server and the socket to it; shared by every object the server handed out.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
    // waitHook: whether calls run the automation wait hook while they wait (only on the thread
    // that owns the window).
    explicit Connection(OfficeOptions options, bool waitHook = true)
        : m_options(std::move(options)), m_waitHook(waitHook) {}
    ~Connection() { shutDown(); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Starts the server through the launcher when there is one, else directly.
    void start(const std::shared_ptr<Launcher>& launcher);
    ObjectPtr root() { return objectFor(wire::kRootObject); }
    Variant request(std::int64_t object, bool isCall, const std::string& member,
                    const std::vector<Variant>& positional, const NamedArguments& named);
    // Ends the server from another thread: the call under way on the connection's own thread
    // then fails as for a server that died.
    void abort();

 private:
    enum class State { Running, Quit, Gone };

    ObjectPtr objectFor(std::int64_t id);
    std::int64_t idOf(const ObjectPtr& object);
    [[noreturn]] void fail(const std::string& description);
    void setProcessDescriptor(int pidfd);
    void shutDown();
    void killGroup();

    OfficeOptions m_options;
    bool m_waitHook;
    // Guards m_pidfd against abort() from another thread while it is set or closed.
    std::mutex m_abortMutex;
    bool m_aborted = false;
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
            setProcessDescriptor(server->pidfd);
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
        setProcessDescriptor(OpenProcessDescriptor(m_pid));
    }
    ::close(serverEnd);
    m_state = State::Running;
    m_channel.emplace(m_fd);
    m_channel->runWaitHookWhileWaiting(m_waitHook);

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
    const bool isQuit = isCall && object == wire::kRootObject && IsMember(member, "Quit");
    if (m_state != State::Running) {
        if (isQuit) {
            return {};  // already ended: what Quit asks for is done
        }
        throw AutomationError(m_state == State::Quit ? "The office engine has already been closed."
                                                     : "The office engine is no longer running.");
    }

    const bool isOpen = isCall && IsMember(member, "Open");
    const bool isSave = isCall && IsMember(member, "SaveAs");
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

void Connection::setProcessDescriptor(int pidfd) {
    std::lock_guard lock(m_abortMutex);
    m_pidfd = pidfd;
    if (m_aborted && m_pidfd >= 0) {
        ::syscall(SYS_pidfd_send_signal, m_pidfd, SIGKILL, nullptr, 0);
    }
}

void Connection::abort() {
    std::lock_guard lock(m_abortMutex);
    m_aborted = true;
    if (m_pidfd >= 0) {
        // Through the descriptor, which cannot name another process; what the server started
        // in its group is ended when its own thread sees it gone.
        ::syscall(SYS_pidfd_send_signal, m_pidfd, SIGKILL, nullptr, 0);
    }
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
    {
        std::lock_guard lock(m_abortMutex);
        CloseQuietly(m_pidfd);
    }
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

// Converts one document ahead on a slot's thread, with the calls a run makes, into the private
// target; the instance is ended before it returns.
AheadResult convertAhead(const OfficeOptions& options, const std::shared_ptr<Launcher>& launcher,
                         const std::string& source, const std::string& target,
                         AheadCancel& cancel) {
    auto connection = std::make_shared<Connection>(options, false);
    cancel.onCancel([weak = std::weak_ptr<Connection>(connection)] {
        if (auto alive = weak.lock()) {
            alive->abort();
        }
    });
    AheadResult result;
    ObjectPtr word;
    try {
        connection->start(launcher);
        word = connection->root();
        word->get("Documents").asObject()->call("Open", {Variant(source)});
        try {
            word->get("ActiveDocument")
                .asObject()
                ->call("SaveAs", {Variant(target)}, {{"FileFormat", Variant(6)}});
        } catch (const AutomationError& error) {
            result = {AheadResult::Failed::Saving, error.description()};
        }
    } catch (const AutomationError& error) {
        result = {AheadResult::Failed::Opening, error.description()};
    }
    if (word) {
        try {
            word->call("Quit");
        } catch (const AutomationError&) {
            // The instance is ended with its connection, whatever Quit said.
        }
    }
    cancel.onCancel({});
    return result;
}

// What the provider and its planner share: the launcher and the look-ahead of the run under way.
struct OfficeState {
    explicit OfficeState(OfficeOptions chosen) : options(std::move(chosen)), launcher(options) {}
    OfficeOptions options;
    LauncherSlot launcher;
    std::mutex mutex;
    std::shared_ptr<Lookahead> lookahead;
};

ObjectPtr startInstance(const std::shared_ptr<OfficeState>& state) {
    auto connection = std::make_shared<Connection>(state->options);
    connection->start(state->launcher.get());
    return connection->root();
}

}  // namespace

int conversionSlots(const OfficeOptions& options) {
    constexpr int kMostSlots = 8;
    if (options.conversions > 0) {
        return std::min(options.conversions, kMostSlots);
    }
    if (const char* chosen = std::getenv("PAVENDEL_CONVERSIONS"); chosen != nullptr) {
        char* end = nullptr;
        const long value = std::strtol(chosen, &end, 10);
        if (end != chosen && *end == '\0' && value >= 1) {
            return static_cast<int>(std::min<long>(value, kMostSlots));
        }
    }
    // One per processor this program may run on, as long as the memory leaves the desktop room.
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    const int processors = ::sched_getaffinity(0, sizeof(cpus), &cpus) == 0 ? CPU_COUNT(&cpus) : 1;
    std::uint64_t availableKiB = 0;
    std::ifstream meminfo("/proc/meminfo");
    for (std::string line; std::getline(meminfo, line);) {
        if (line.rfind("MemAvailable:", 0) == 0) {
            availableKiB = std::strtoull(line.c_str() + 13, nullptr, 10);
        }
    }
    int byMemory = kMostSlots;
    if (availableKiB > 0) {
        const std::uint64_t reserve = kDesktopReserveKiB;
        byMemory = availableKiB > reserve
                       ? static_cast<int>(std::min<std::uint64_t>(
                             (availableKiB - reserve) / kInstanceKiB, kMostSlots))
                       : 1;
    }
    return std::clamp(std::min(processors, byMemory), 1, kMostSlots);
}

OfficeAutomation officeAutomation(OfficeOptions options) {
    auto state = std::make_shared<OfficeState>(std::move(options));
    OfficeAutomation automation;
    automation.provider = [state]() -> ObjectPtr {
        std::shared_ptr<Lookahead> lookahead;
        {
            std::lock_guard lock(state->mutex);
            lookahead = state->lookahead;
        }
        if (lookahead) {
            return lookahead->application([state] { return startInstance(state); });
        }
        return startInstance(state);
    };
    automation.planner = [state](std::vector<std::string> sources) {
        std::shared_ptr<Lookahead> previous;
        {
            std::lock_guard lock(state->mutex);
            previous = std::move(state->lookahead);
        }
        // Stops what the previous plan still had under way (once the run lets go of it).
        const bool ended = previous != nullptr;
        previous.reset();
        if (sources.empty()) {
            if (ended) {
                // Back to one spare: a program that waits for its next run holds one instance.
                if (auto launcher = state->launcher.running()) {
                    launcher->keepSpares(1);
                }
            }
            return;
        }
        AheadLimits limits;
        limits.slots = conversionSlots(state->options);
        std::string folder;
        try {
            folder = makeWorkFolder(cacheFolder(), "ahead");
        } catch (const AutomationError&) {
            return;  // then every document converts when the run reaches it
        }
        // Started here, on the run's thread: the launcher ends with the thread that started it,
        // and the slots' threads end with the plan.
        auto launcher = state->launcher.get();
        if (launcher) {
            launcher->keepSpares(limits.slots);
        }
        auto lookahead = std::make_shared<Lookahead>(
            std::move(sources),
            [options = state->options, launcher](const std::string& source,
                                                 const std::string& target, AheadCancel& cancel) {
                return convertAhead(options, launcher, source, target, cancel);
            },
            limits, folder);
        std::lock_guard lock(state->mutex);
        state->lookahead = std::move(lookahead);
    };
    return automation;
}

ObjectProvider officeProvider(OfficeOptions options) {
    auto state = std::make_shared<OfficeState>(std::move(options));
    return [state]() -> ObjectPtr { return startInstance(state); };
}

}  // namespace platform
