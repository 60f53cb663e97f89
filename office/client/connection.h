// SPDX-License-Identifier: MIT
// One running office server and the socket to it: the objects the server hands out are reached
// through it, every call with a deadline (officeclient.h says what happens when one passes, or
// when the server dies).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "automation/automation.h"
#include "office/client/officeoptions.h"
#include "office/wire/automationwire.h"

namespace office::client {

class Launcher;
class LauncherSlot;
class RemoteObject;

// Shared by every object the server handed out; the server ends when the last of them goes.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
    // waitHook: whether calls run the automation wait hook while they wait (only on the thread
    // that owns the window).
    explicit Connection(OfficeOptions options, bool waitHook = true)
        : m_options(std::move(options)), m_waitHook(waitHook) {}
    ~Connection() { shutDown(); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Starts the server through the launcher when there is one, else directly. Throws
    // automation::AutomationError.
    void start(const std::shared_ptr<Launcher>& launcher);
    // The server's Application object.
    automation::ObjectPtr root() { return objectFor(wire::kRootObject); }
    // A property read, a method call or a property put (its value the one positional argument).
    enum class Kind { Get, Call, Put };
    automation::Variant request(std::int64_t object, Kind kind, const std::string& member,
                                const std::vector<automation::Variant>& positional,
                                const automation::NamedArguments& named);
    // Ends the server from another thread, also before it has started: the call under way on the
    // connection's own thread then fails as for a server that died.
    void abort();

 private:
    enum class State { Running, Quit, Gone };

    automation::ObjectPtr objectFor(std::int64_t id);
    std::int64_t idOf(const automation::ObjectPtr& object);
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

// Creates the Application object of a fresh server each time it is called, forked by the slot's
// launcher when there is one, else started directly; its calls run the automation wait hook.
automation::ObjectProvider freshInstances(OfficeOptions options,
                                          std::shared_ptr<LauncherSlot> launcher);

}  // namespace office::client
