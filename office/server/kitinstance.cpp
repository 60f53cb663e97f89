// SPDX-License-Identifier: MIT
#include "office/server/kitinstance.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <LibreOfficeKit/LibreOfficeKit.hxx>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include <nlohmann/json.hpp>

#include "office/server/engine.h"
#include "office/server/profile.h"
#include "office/server/sandbox.h"
#include "office/server/sourcecheck.h"
#include "office/server/testfault.h"
#include "office/wire/automationwire.h"
#include "platform/process.h"

namespace fs = std::filesystem;

namespace office {

namespace {

// The engine's own option string for loading: no dialogs ever (a prompt would wait for nobody)
// and the strictest macro security; document macros are never run in any case, since the
// library loads with macro execution off unless told otherwise.
constexpr const char* kLoadOptions = "Batch=true,MacroSecurityLevel=3";

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

// The request: everything up to the end of the line (the server writes nothing after it).
std::string readLine(int fd) {
    std::string line;
    char chunk[4096];
    while (line.find('\n') == std::string::npos) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        line.append(chunk, static_cast<std::size_t>(n));
    }
    return line.substr(0, line.find('\n'));
}

std::string takeError(lok::Office& office) {
    char* error = office.getError();
    std::string text = error != nullptr ? error : "";
    office.freeError(error);
    return text.empty() ? "the engine gave no reason" : text;
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

}  // namespace

ForkedInstance::ForkedInstance(const Body& body, std::chrono::milliseconds stallLimit,
                               const EngineLimits& limits, pid_t group)
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
    // What the child keeps: its ends of the exchange and what the engine holds already.
    std::vector<int> kept;
    if (limits.keptDescriptors) {
        kept = *limits.keptDescriptors;
        kept.push_back(request[0]);
        kept.push_back(result[1]);
        std::sort(kept.begin(), kept.end());
    }
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(request[1]);
        ::close(result[0]);
        if (limits.keptDescriptors) {
            platform::CloseDescriptorsExcept(kept);
        }
        if (group > 0 && ::setpgid(0, group) != 0) {
            ::_exit(1);
        }
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
    if (group > 0) {
        // Also here, so that the group is right before anyone learns of the instance.
        ::setpgid(pid, group);
    }
    m_pid = pid;
    m_pidfd = platform::OpenProcessDescriptor(pid);
    m_request = request[1];
    m_result = result[0];
}

ForkedInstance::ForkedInstance(const Handle& handle, std::chrono::milliseconds stallLimit)
    : m_pid(handle.pid),
      m_child(false),
      m_pidfd(handle.pidfd),
      m_request(handle.request),
      m_result(handle.result),
      m_stallLimit(stallLimit) {
    if (m_pidfd < 0) {
        // Without its descriptor the instance cannot be signalled safely: it is not used.
        m_pid = -1;
    }
}

ForkedInstance::~ForkedInstance() {
    if (!m_child) {
        // Whatever state it is in; its parent reaps it.
        signal(SIGKILL);
    } else if (m_pid > 0 && ::waitpid(m_pid, nullptr, WNOHANG) == 0) {
        // Still there (waiting, or tearing itself down after answering): a process that ends
        // with this one is reaped by the launcher.
        signal(SIGKILL);
        ::waitpid(m_pid, nullptr, WNOHANG);
    }
    platform::CloseQuietly(m_pidfd);
    platform::CloseQuietly(m_request);
    platform::CloseQuietly(m_result);
}

void ForkedInstance::signal(int number) {
    if (m_pid <= 0) {
        return;
    }
    if (m_pidfd >= 0) {
        platform::SignalProcessDescriptor(m_pidfd, number);
    } else if (m_child) {
        ::kill(m_pid, number);
    }
}

std::optional<ForkedInstance::Handle> ForkedInstance::release() {
    if (m_pid <= 0 || m_pidfd < 0 || m_request < 0 || m_result < 0) {
        return std::nullopt;
    }
    const Handle handle{m_pid, m_pidfd, m_request, m_result};
    m_pid = -1;
    m_pidfd = m_request = m_result = -1;
    return handle;
}

std::string ForkedInstance::howItEnded() {
    // Given a moment to be gone entirely: a closed pipe may come just before the end.
    if (m_pidfd >= 0) {
        pollfd entry{m_pidfd, POLLIN, 0};
        ::poll(&entry, 1, 1000);
    }
    int status = 0;
    if (m_pid <= 0 || !m_child || ::waitpid(m_pid, &status, WNOHANG) != m_pid) {
        return {};
    }
    m_pid = -1;
    if (WIFSIGNALED(status)) {
        return std::string(" (") + ::strsignal(WTERMSIG(status)) + ")";
    }
    return WIFEXITED(status) ? " (exit status " + std::to_string(WEXITSTATUS(status)) + ")"
                             : std::string();
}

std::optional<std::string> ForkedInstance::exchange(const std::string& request, bool last,
                                                    int clientFd, Result& died) {
    if (m_pid <= 0 || m_request < 0 || m_result < 0) {
        died = {Outcome::Died, "the engine instance could not be started", {}};
        return std::nullopt;
    }
    const bool sent = writeAll(m_request, request + "\n");
    if (last || !sent) {
        platform::CloseQuietly(m_request);
    }
    if (!sent) {
        died = {
            Outcome::Died, "the engine instance ended before its document came" + howItEnded(), {}};
        return std::nullopt;
    }
    std::string answer;
    bool watchClient = clientFd >= 0;
    using Clock = std::chrono::steady_clock;
    // How often the child's processor time is looked at.
    const auto tick =
        std::min<std::chrono::milliseconds>(m_stallLimit / 4, std::chrono::milliseconds(1000));
    // The child's processor time, sampled at each tick, over the last stall limit (oldest
    // first). An engine at work uses a processor fully; one that is stuck still gets a tick now
    // and then as its idle threads wake, which must not count as work: working means at least a
    // hundredth of the limit's time.
    std::deque<std::pair<Clock::time_point, long long>> samples{
        {Clock::now(), processorTicks(m_pid)}};
    const long long workingTicks = std::max<long long>(
        1, std::chrono::duration_cast<std::chrono::milliseconds>(m_stallLimit).count() *
               ::sysconf(_SC_CLK_TCK) / 100000);
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
            const auto now = Clock::now();
            samples.emplace_back(now, processorTicks(m_pid));
            while (samples.size() > 1 && now - samples[1].first >= m_stallLimit) {
                samples.pop_front();
            }
            if (now - samples.front().first >= m_stallLimit &&
                samples.back().second - samples.front().second < workingTicks) {
                signal(SIGKILL);
                platform::CloseQuietly(m_result);
                died = {Outcome::Died, "the engine instance stopped working", {}};
                return std::nullopt;
            }
            continue;
        }
        if (watchClient && (entries[2].revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) {
            signal(SIGKILL);
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
    const std::size_t end = answer.find('\n');
    if (last || end == std::string::npos) {
        platform::CloseQuietly(m_result);
    }
    if (end == std::string::npos) {
        died = {Outcome::Died, "the engine instance stopped unexpectedly" + howItEnded(), {}};
        return std::nullopt;
    }
    return answer.substr(0, end);
}

std::optional<SourceLook> ForkedInstance::look(const std::string& copy, int clientFd) {
    Result died;
    const std::optional<std::string> answer = exchange(
        nlohmann::json{{"look", office::wire::encodeText(copy)}}.dump(), false, clientFd, died);
    return answer ? decodeLook(*answer) : std::nullopt;
}

EngineInstance::Result ForkedInstance::convert(const std::string& source, const std::string& target,
                                               int clientFd) {
    const nlohmann::json request{{"source", office::wire::encodeText(source)},
                                 {"target", office::wire::encodeText(target)}};
    Result died;
    const std::optional<std::string> answer = exchange(request.dump(), true, clientFd, died);
    if (!answer) {
        return died;
    }
    const nlohmann::json result = nlohmann::json::parse(*answer, nullptr, false);
    if (!result.is_object()) {
        return {Outcome::Died, "the engine instance stopped unexpectedly" + howItEnded(), {}};
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

int runKitInstance(const Kit& kit, const std::string& tempFolder, int requestFd, int resultFd) {
    usePrivateFolder(tempFolder);
    // The instance ends with _exit as soon as it has answered: tearing the engine down would
    // only cost time, so the office and the document are deliberately never destroyed.
    // The engine catches fatal signals to try to save documents; in an instance that would at
    // best delay the server's fallback and at worst hang: a crash here ends the process at once,
    // during the engine's start as well as after it.
    const auto crashAtOnce = [] {
        for (const int fatal : {SIGABRT, SIGSEGV, SIGBUS, SIGILL, SIGFPE}) {
            ::signal(fatal, SIG_DFL);
        }
    };
    crashAtOnce();
    // The extensions of the profile were set up when it was prepared. Left to itself, every
    // instance would look at the profile's extension folders again as it starts, and instances
    // starting at once would change them under each other (the engine aborts when it loses that
    // race).
    ::setenv("DISABLE_EXTENSION_SYNCHRONIZATION", "1", 1);
    lok::Office* office = lok::lok_cpp_init(kit.programFolder.c_str(), kit.profileUrl.c_str());
    if (office == nullptr) {
        return 2;
    }
    crashAtOnce();
    nlohmann::json request = nlohmann::json::parse(readLine(requestFd), nullptr, false);
    // First, as asked, what the document is: read here, in the confined instance, rather than
    // in the server.
    if (request.is_object() && request.contains("look")) {
        const std::optional<std::string> copy = office::wire::decodeText(request["look"]);
        if (!copy) {
            return 3;
        }
        if (faultRequested("check-crash", fs::path(*copy).filename().string())) {
            ::abort();
        }
        if (!writeAll(resultFd, encodeLook(lookAt(*copy)) + "\n")) {
            return 3;
        }
        request = nlohmann::json::parse(readLine(requestFd), nullptr, false);
    }
    const std::optional<std::string> sourceText = request.is_object() && request.contains("source")
                                                      ? office::wire::decodeText(request["source"])
                                                      : std::nullopt;
    const std::optional<std::string> targetText = request.is_object() && request.contains("target")
                                                      ? office::wire::decodeText(request["target"])
                                                      : std::nullopt;
    if (!sourceText || !targetText) {
        return 3;
    }
    const std::string& source = *sourceText;
    const std::string& target = *targetText;
    const std::string name = fs::path(source).filename().string();
    // From here on the instance reads and writes only its document's folder (its copy and its
    // output) and its temporary files, not the copies of the documents its server had before.
    const fs::path documentFolder = fs::path(source).parent_path().parent_path();
    if (fs::path(target).parent_path().parent_path() == documentFolder) {
        confineToDocument((fs::path(kit.programFolder) / "soffice.bin").string(), {kit.workFolder},
                          {documentFolder.string(), tempFolder});
    }
    if (faultRequested("engine-crash", name)) {
        ::abort();
    }
    if (faultRequested("engine-hang", name)) {
        for (;;) {
            ::pause();
        }
    }

    nlohmann::json result{{"ok", false}};
    int hidden = kHiddenUnavailable;
    if (kit.hidden) {
        char error[1024] = {};
        hidden = kit.hidden.convert(fileUrl(source).c_str(), fileUrl(target).c_str(), error,
                                    sizeof error);
        if (hidden == kHiddenConverted) {
            result["ok"] = true;
            result["by"] = "hidden";
        } else if (hidden == kHiddenFailed) {
            result["error"] = error[0] != '\0' ? error : "the engine gave no reason";
        }
    }
    if (hidden == kHiddenUnavailable) {
        lok::Document* document = office->documentLoad(fileUrl(source).c_str(), kLoadOptions);
        if (document == nullptr) {
            result["error"] = takeError(*office);
        } else if (!document->saveAs(fileUrl(target).c_str(), "rtf")) {
            result["error"] = takeError(*office);
        } else {
            result["ok"] = true;
            result["by"] = "kit";
        }
    }
    writeAll(resultFd, result.dump() + "\n");
    return 0;
}

}  // namespace office
