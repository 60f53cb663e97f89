// SPDX-License-Identifier: MIT
#include "office/client/connection.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>

#include "automation/wordcalls.h"
#include "office/client/officelauncher.h"
#include "platform/error.h"
#include "platform/folder.h"
#include "platform/process.h"

namespace office::client {

using automation::AutomationError;
using automation::AutomationObject;
using automation::IsMember;
using automation::NamedArguments;
using automation::ObjectPtr;
using automation::Variant;
using platform::CloseQuietly;
using platform::OpenProcessDescriptor;

using Clock = std::chrono::steady_clock;

class RemoteObject : public AutomationObject {
 public:
    RemoteObject(std::shared_ptr<Connection> connection, std::int64_t id)
        : m_connection(std::move(connection)), m_id(id) {}

    Variant get(const std::string& name) override {
        return m_connection->request(m_id, Connection::Kind::Get, name, {}, {});
    }
    Variant call(const std::string& name, const std::vector<Variant>& positional,
                 const NamedArguments& named) override {
        return m_connection->request(m_id, Connection::Kind::Call, name, positional, named);
    }
    void put(const std::string& name, const Variant& value) override {
        m_connection->request(m_id, Connection::Kind::Put, name, {value}, {});
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
            fail(automation::DescribeStartOverrun("the office engine", m_options.startDeadline));
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

Variant Connection::request(std::int64_t object, Kind kind, const std::string& member,
                            const std::vector<Variant>& positional, const NamedArguments& named) {
    const bool isCall = kind == Kind::Call;
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
    // Built by appending: GCC 12 at -O3 misreads a literal added before a temporary string as an
    // overlapping copy (-Wrestrict).
    std::string document = "\"";
    document.append(m_document.empty() ? "(none)" : m_document).append("\"");
    std::string doing;
    if (isOpen) {
        doing = "opening the document " + document;
    } else if (isSave) {
        doing = "saving the document " + document + " as RTF";
    } else if (isQuit) {
        doing = "closing";
    } else {
        doing = (isCall ? "running " : kind == Kind::Put ? "setting " : "getting ") + member;
    }

    nlohmann::json message{{"id", m_nextRequest++},
                           {"object", object},
                           {"kind", isCall              ? "call"
                                    : kind == Kind::Put ? "put"
                                                        : "get"},
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

    // The server saves into the folder the run holds open for the target's folder (or, for a
    // target elsewhere, the folder its path names now), handed over with the request.
    std::shared_ptr<const platform::Folder> folder;
    if (isSave && !positional.empty() && positional.front().isString()) {
        try {
            folder = platform::FolderAt(platform::FolderPartOf(positional.front().asString()));
            message["folder"] = wire::encodeText(folder->path());
        } catch (const platform::SystemError&) {
            // No such folder: the server says so in SaveAs's words.
        }
    }

    if (!m_channel->send(message, folder ? folder->descriptor() : -1)) {
        if (isQuit) {
            killGroup();
            return {};
        }
        fail("The office engine stopped unexpectedly before " + doing + ".");
    }

    const auto deadline = isCall ? m_options.deadlines.of(member) : m_options.deadlines.call;
    nlohmann::json reply;
    switch (m_channel->receive(reply, Clock::now() + deadline, m_pidfd)) {
        case wire::ReadStatus::TimedOut:
            killGroup();
            if (isQuit) {
                return {};  // it would not end by itself, so it was ended
            }
            fail(automation::DescribeOverrun("the office engine", isCall ? member : "", document,
                                             doing, deadline));
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
        // A description keeps the bytes of the file name it quotes; its number says what kind of
        // failure it is ("File already exists").
        const std::int64_t number = wire::integerMember(reply, "number");
        throw AutomationError(
            wire::decodeText(*error).value_or("The office engine reported an error."),
            number >= std::numeric_limits<std::int32_t>::min() &&
                    number <= std::numeric_limits<std::int32_t>::max()
                ? static_cast<std::int32_t>(number)
                : 0);
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
        platform::SignalProcessDescriptor(m_pidfd, SIGKILL);
    }
}

void Connection::abort() {
    std::lock_guard lock(m_abortMutex);
    m_aborted = true;
    if (m_pidfd >= 0) {
        // Through the descriptor, which cannot name another process; what the server started
        // in its group is ended when its own thread sees it gone.
        platform::SignalProcessDescriptor(m_pidfd, SIGKILL);
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
            platform::SignalProcessDescriptor(m_pidfd, SIGKILL);
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

automation::ObjectProvider freshInstances(OfficeOptions options,
                                          std::shared_ptr<LauncherSlot> launcher) {
    return [options = std::move(options), launcher = std::move(launcher)]() -> ObjectPtr {
        auto connection = std::make_shared<Connection>(options);
        connection->start(launcher->get());
        return connection->root();
    };
}

}  // namespace office::client
