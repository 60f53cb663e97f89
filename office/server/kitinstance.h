// SPDX-License-Identifier: MIT
// The engine instance: a child process of a server, forked as soon as the server is, that
// completes the engine preinitialised (and warmed up) in the launcher (kitpreinit.h), and then
// converts exactly one document and ends. ForkedInstance is the server's side of it; runKitInstance
// is what runs in the child. Which conversion it uses, and when a document goes past it, is
// described in engine.h.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "office/server/kitpreinit.h"
#include "office/server/sandbox.h"
#include "office/server/sourcecheck.h"

namespace office {

// An engine prepared for exactly one document.
class EngineInstance {
 public:
    enum class Outcome { Converted, Failed, Died };
    struct Result {
        Outcome outcome = Outcome::Died;
        std::string detail;  // the engine's reason when it failed
        std::string method;  // how it was converted: "hidden" or "kit"
    };

    virtual ~EngineInstance() = default;
    // What the document (its private copy) is, read by the instance before it converts it;
    // nothing when the instance cannot tell (then the caller reads it another way). Throws
    // ClientGone as convert does.
    virtual std::optional<SourceLook> look(const std::string& copy, int clientFd) {
        (void)copy;
        (void)clientFd;
        return std::nullopt;
    }
    // Converts the source (a private copy) into the target RTF path. Throws ClientGone when the
    // client's socket hangs up meanwhile (then the instance has been stopped).
    virtual Result convert(const std::string& source, const std::string& target, int clientFd) = 0;
};

// An instance in a child process of this one, forked at construction so that it can get ready
// while nothing waits for it. The body runs in the child with the two pipes of the exchange
// (runKitInstance describes it) and gives the child's exit status; the child dies with this
// process.
//
// A child that uses hardly any processor time (less than a hundredth of it) for stallLimit while
// its document is under way has stopped working (stuck while starting or loading): it is stopped
// and reported as died, so that the full conversion takes the document over instead of the client's
// deadline passing. A child that keeps working is never cut short here.
class ForkedInstance : public EngineInstance {
 public:
    using Body = std::function<int(int requestFd, int resultFd)>;
    static constexpr std::chrono::milliseconds kStallLimit{std::chrono::seconds(10)};

    // The body runs in a child with the limits applied; in the given process group when one is
    // given (that of the server the instance is made for), else in this process's.
    explicit ForkedInstance(const Body& body, std::chrono::milliseconds stallLimit = kStallLimit,
                            const EngineLimits& limits = {}, pid_t group = 0);
    // What stands for a running instance, for handing it to another process.
    struct Handle {
        pid_t pid = -1;
        int pidfd = -1;
        int request = -1;  // the exchange's end to write the requests into
        int result = -1;   // and the end to read the answers from
    };
    // Takes over an instance that another process forked (the launcher forks the instance of a
    // server that never held the engine). Not being its parent, this process learns no exit
    // status; it signals the instance through its process descriptor only.
    ForkedInstance(const Handle& handle, std::chrono::milliseconds stallLimit);
    // Lets go of the instance without stopping it, for handing it over; nothing when there is
    // none. This object then stands for no instance.
    std::optional<Handle> release();
    // Stops the child if it has not ended, without waiting for its memory to be torn down.
    ~ForkedInstance() override;
    ForkedInstance(const ForkedInstance&) = delete;
    ForkedInstance& operator=(const ForkedInstance&) = delete;

    std::optional<SourceLook> look(const std::string& copy, int clientFd) override;
    Result convert(const std::string& source, const std::string& target, int clientFd) override;

 private:
    // Sends one request and waits for its answer line, watching the child as described above;
    // the last request closes the exchange. Nothing, with why in died, when no answer came.
    std::optional<std::string> exchange(const std::string& request, bool last, int clientFd,
                                        Result& died);

    // How the ended instance ended, as " (Segmentation fault)" or " (exit status 2)"; empty
    // when that cannot be told.
    std::string howItEnded();

    // Sends the signal through the process descriptor, or by number to a child of this process.
    void signal(int number);

    pid_t m_pid = -1;
    bool m_child = true;
    int m_pidfd = -1;
    int m_request = -1;
    int m_result = -1;
    std::chrono::milliseconds m_stallLimit;
};

// The body of a ForkedInstance on the real engine: completes the engine's initialisation, waits
// for one request on requestFd ({"source":path,"target":path}), converts and answers on resultFd
// ({"ok":true,"by":"hidden"|"kit"} or {"ok":false,"error":text}). A request {"look":path} before
// it is answered with what the document is (encodeLook). Returns the exit status; an engine that
// cannot start returns without reading a request.
int runKitInstance(const Kit& kit, const std::string& tempFolder, int requestFd, int resultFd);

}  // namespace office
