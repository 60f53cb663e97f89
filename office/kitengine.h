// SPDX-License-Identifier: MIT
// The engine of a server that the launcher forked: the document goes to an engine instance that
// was started before the document was known and has never held another one (kit.h), in a child
// process of the server. When that instance refuses the document, fails in any way or dies, the
// document goes to the engine's own conversion (ConvertEngine) instead, so the fast path never
// converts fewer documents than the full one does. One instance serves one document: a second
// Open in the same server takes the full path.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "office/engine.h"

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
    // Converts the source (a private copy) into the target RTF path. Throws ClientGone when the
    // client's socket hangs up meanwhile (then the instance has been stopped).
    virtual Result convert(const std::string& source, const std::string& target, int clientFd) = 0;
};

// An instance in a child process of this one, forked at construction so that it can get ready
// while nothing waits for it. The body runs in the child with the two pipes of the exchange
// (kit.h describes it) and gives the child's exit status; the child dies with this process.
//
// A child that uses no processor time at all for stallLimit while its document is under way
// has stopped working (stuck while starting or loading): it is stopped and reported as died,
// so that the full conversion takes the document over instead of the client's deadline
// passing. A child that keeps working is never cut short here.
class ForkedInstance : public EngineInstance {
 public:
    using Body = std::function<int(int requestFd, int resultFd)>;
    static constexpr std::chrono::milliseconds kStallLimit{std::chrono::seconds(10)};

    explicit ForkedInstance(const Body& body, std::chrono::milliseconds stallLimit = kStallLimit);
    // Stops the child if it has not ended, without waiting for its memory to be torn down.
    ~ForkedInstance() override;
    ForkedInstance(const ForkedInstance&) = delete;
    ForkedInstance& operator=(const ForkedInstance&) = delete;

    Result convert(const std::string& source, const std::string& target, int clientFd) override;

 private:
    pid_t m_pid = -1;
    int m_pidfd = -1;
    int m_request = -1;
    int m_result = -1;
    std::chrono::milliseconds m_stallLimit;
};

class KitEngine : public Engine {
 public:
    using FallbackFactory = std::function<std::unique_ptr<Engine>()>;
    // Whether the instance can convert documents with comments: LibreOfficeKit's own document
    // calls refuse them all, the hidden conversion does not.
    enum class Comments { Refused, Taken };

    // Takes over the working folder (removed with the engine); instance may be empty (then every
    // document takes the full path). clientFd as in EngineRun.
    KitEngine(std::unique_ptr<EngineInstance> instance, Comments comments, std::string workFolder,
              int clientFd, FallbackFactory fallback);
    ~KitEngine() override;
    KitEngine(const KitEngine&) = delete;
    KitEngine& operator=(const KitEngine&) = delete;

    std::unique_ptr<LoadedDocument> open(const std::string& path) override;

 private:
    std::unique_ptr<EngineInstance> m_instance;
    Comments m_comments;
    std::string m_work;
    int m_clientFd;
    FallbackFactory m_makeFallback;
    std::unique_ptr<Engine> m_fallback;
    int m_opened = 0;
};

}  // namespace office
