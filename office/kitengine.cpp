// SPDX-License-Identifier: MIT
#include "office/kitengine.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "office/convertengine.h"
#include "office/diagnostics.h"
#include "office/profile.h"
#include "office/sandbox.h"
#include "office/testfault.h"
#include "platform/automation.h"
#include "platform/automationwire.h"
#include "platform/process.h"

namespace fs = std::filesystem;

namespace office {

namespace {

bool writeAll(int fd, const std::string& text) {
    for (std::size_t written = 0; written < text.size();) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

// The processor time a process has used so far, all its threads together, in clock ticks; -1
// when it cannot be read (the process has gone).
long long processorTicks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    std::getline(in, stat);
    // "pid (name) state ppid ...": the name may hold spaces; user and system time are the 12th
    // and 13th fields after it.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        return -1;
    }
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    for (int skipped = 0; skipped < 11 && fields >> field; ++skipped) {
    }
    long long user = 0;
    long long system = 0;
    if (!(fields >> user >> system)) {
        return -1;
    }
    return user + system;
}

// Formats the engine library reads as Word would: what else a .doc name may hold (text, HTML,
// XML) has to be told apart by the full conversion's type detection and filters.
bool forInstance(FileKind kind) {
    return kind == FileKind::Compound || kind == FileKind::OldWord || kind == FileKind::Zip ||
           kind == FileKind::Rtf;
}

}  // namespace

ForkedInstance::ForkedInstance(const Body& body, std::chrono::milliseconds stallLimit)
    : m_stallLimit(stallLimit) {
    int request[2];
    int result[2];
    if (::pipe2(request, O_CLOEXEC) != 0) {
        return;
    }
    if (::pipe2(result, O_CLOEXEC) != 0) {
        ::close(request[0]);
        ::close(request[1]);
        return;
    }
    // The instance runs the engine the launcher found and preinitialised.
    const EngineLimits limits = engineLimits(findEngine().program);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(request[1]);
        ::close(result[0]);
        if (!platform::DieWithParent(parent)) {
            ::_exit(1);
        }
        applyEngineLimits(limits);
        // The engine talks on its standard streams; nobody reads them.
        platform::SilenceStandardStreams(true);
        ::_exit(body(request[0], result[1]));
    }
    ::close(request[0]);
    ::close(result[1]);
    if (pid < 0) {
        ::close(request[1]);
        ::close(result[0]);
        return;
    }
    m_pid = pid;
    m_pidfd = platform::OpenProcessDescriptor(pid);
    m_request = request[1];
    m_result = result[0];
}

ForkedInstance::~ForkedInstance() {
    if (m_pid > 0 && ::waitpid(m_pid, nullptr, WNOHANG) == 0) {
        // Still there (waiting, or tearing itself down after answering): a process that ends
        // with this one is reaped by the launcher.
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, WNOHANG);
    }
    platform::CloseQuietly(m_pidfd);
    platform::CloseQuietly(m_request);
    platform::CloseQuietly(m_result);
}

EngineInstance::Result ForkedInstance::convert(const std::string& source, const std::string& target,
                                               int clientFd) {
    if (m_pid <= 0) {
        return {Outcome::Died, "the engine instance could not be started", {}};
    }
    const nlohmann::json request{{"source", platform::wire::encodeText(source)},
                                 {"target", platform::wire::encodeText(target)}};
    const bool sent = writeAll(m_request, request.dump() + "\n");
    platform::CloseQuietly(m_request);
    if (!sent) {
        return {Outcome::Died, "the engine instance ended before its document came", {}};
    }

    std::string answer;
    bool watchClient = clientFd >= 0;
    using Clock = std::chrono::steady_clock;
    // How often the child's processor time is looked at.
    const auto tick =
        std::min<std::chrono::milliseconds>(m_stallLimit / 4, std::chrono::milliseconds(1000));
    long long ticks = processorTicks(m_pid);
    auto lastWork = Clock::now();
    for (;;) {
        pollfd entries[3] = {{m_result, POLLIN, 0}, {m_pidfd, POLLIN, 0}, {clientFd, POLLRDHUP, 0}};
        const int ready = ::poll(entries, watchClient ? 3 : 2, static_cast<int>(tick.count()));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (ready == 0) {
            const long long now = processorTicks(m_pid);
            if (now != ticks) {
                ticks = now;
                lastWork = Clock::now();
            } else if (Clock::now() - lastWork >= m_stallLimit) {
                ::kill(m_pid, SIGKILL);
                platform::CloseQuietly(m_result);
                return {Outcome::Died, "the engine instance stopped working", {}};
            }
            continue;
        }
        if (watchClient && (entries[2].revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) {
            ::kill(m_pid, SIGKILL);
            throw ClientGone();
        }
        if (watchClient && entries[2].revents != 0) {
            // A request while one is under way breaks the protocol; it is read after this one.
            watchClient = false;
        }
        if (entries[0].revents != 0) {
            char chunk[4096];
            const ssize_t n = ::read(m_result, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n > 0) {
                answer.append(chunk, static_cast<std::size_t>(n));
                if (answer.find('\n') != std::string::npos) {
                    break;
                }
                continue;
            }
            break;  // end of the pipe: the instance is gone
        }
        if (entries[1].revents != 0) {
            break;  // ended; an answer written before would have been readable
        }
    }
    platform::CloseQuietly(m_result);

    const nlohmann::json result = nlohmann::json::parse(answer, nullptr, false);
    if (!result.is_object()) {
        return {Outcome::Died, "the engine instance stopped unexpectedly", {}};
    }
    const auto text = [&result](const char* key) {
        const auto found = result.find(key);
        return found != result.end() && found->is_string() ? found->get<std::string>()
                                                           : std::string();
    };
    const auto ok = result.find("ok");
    if (ok != result.end() && ok->is_boolean() && ok->get<bool>()) {
        return {Outcome::Converted, {}, text("by")};
    }
    return {Outcome::Failed, text("error"), {}};
}

KitEngine::KitEngine(std::unique_ptr<EngineInstance> instance, Comments comments,
                     std::string workFolder, int clientFd, FallbackFactory fallback)
    : m_instance(std::move(instance)),
      m_comments(comments),
      m_work(std::move(workFolder)),
      m_clientFd(clientFd),
      m_makeFallback(std::move(fallback)) {}

KitEngine::~KitEngine() {
    m_instance.reset();
    m_fallback.reset();
    std::error_code ignored;
    fs::remove_all(m_work, ignored);
}

std::unique_ptr<LoadedDocument> KitEngine::open(const std::string& path) {
    const std::string name = fs::path(path).filename().string();
    if (faultRequested("server-crash", name)) {
        ::kill(::getpid(), SIGKILL);
    }
    if (faultRequested("server-hang", name)) {
        for (;;) {
            ::pause();
        }
    }
    const FileSniff sniff = checkSource(path);
    std::unique_ptr<EngineInstance> instance = std::move(m_instance);
    // Why the document leaves the fast path, said on standard error: a silent slowdown would
    // otherwise go unnoticed.
    std::string slower;
    if (!instance) {
        slower = "no engine instance could be prepared for it";
    } else if (!forInstance(sniff.kind)) {
        slower = "it is not a Word, RTF or OOXML file, which only the full conversion tells apart";
    } else if (m_comments == Comments::Refused && hasComments(path, sniff.kind)) {
        // An instance that refuses every document with comments is not asked: it would only
        // cost time.
        slower = "it has comments, which LibreOfficeKit's document calls refuse";
    } else {
        const fs::path folder = fs::path(m_work) / ("document-" + std::to_string(++m_opened));
        const fs::path copy = copyIntoFolder(path, folder);
        auto document = std::make_unique<ConvertedDocument>(name, folder);
        const fs::path rtf = rtfOf(copy);
        const EngineInstance::Result result = instance->convert(copy, rtf, m_clientFd);
        if (result.outcome == EngineInstance::Outcome::Converted && startsWithRtf(rtf)) {
            trace(name + ": converted in a fresh engine instance by " +
                  (result.method == "hidden" ? "the hidden conversion"
                                             : "LibreOfficeKit's document calls") +
                  ".");
            document->setRtf(rtf);
            return document;
        }
        slower = result.outcome == EngineInstance::Outcome::Converted
                     ? "the engine instance wrote no RTF"
                 : result.detail.empty() ? "the engine instance ended without converting it"
                                         : "the engine instance failed: " + result.detail;
    }
    instance.reset();
    if (forInstance(sniff.kind) || tracing()) {
        diagnose(name + ": taking the engine's own conversion, since " + slower + ".");
    }
    if (!m_fallback) {
        m_fallback = m_makeFallback();
    }
    return m_fallback->open(path);
}

}  // namespace office
