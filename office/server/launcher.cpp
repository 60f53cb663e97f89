// SPDX-License-Identifier: MIT
#include "office/server/launcher.h"

#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "office/server/diagnostics.h"
#include "office/server/profile.h"
#include "office/server/testfault.h"
#include "office/wire/automationwire.h"
#include "platform/process.h"

namespace office {

namespace {

// How often the launcher looks for ended children while no request comes.
constexpr auto kReapInterval = std::chrono::milliseconds(500);
// How long the launcher waits, once its client has gone, for what it started to end.
constexpr auto kFinalWait = std::chrono::seconds(5);
// How long the launcher waits for threads to end before it forks. The engine's library leaves a
// thread running for about a second after it has been preinitialised.
constexpr auto kSingleThreadWait = std::chrono::seconds(10);
// The most spares a client may ask for.
constexpr std::int64_t kMostSpares = 8;

// The number of threads of this process, from the kernel; 0 when it cannot be read.
int threadCount() {
    std::ifstream in("/proc/self/stat");
    std::string stat;
    std::getline(in, stat);
    // "pid (name) state ...": the thread count is the 18th field after the name.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    for (int skipped = 0; skipped < 17 && fields >> field; ++skipped) {
    }
    int threads = 0;
    return fields >> threads ? threads : 0;
}

// A child forked while another thread runs gets a copy of whatever that thread was doing: locks
// it held stay held for ever, and the engine's state may be half changed. So the launcher forks
// only once it is down to its own thread. False when other threads are still there at the bound.
bool waitUntilSingleThreaded() {
    // Once the bound has passed, no later request waits for it again.
    static bool waitedInVain = false;
    const auto deadline = std::chrono::steady_clock::now() +
                          (waitedInVain ? kSingleThreadWait * 0 : kSingleThreadWait);
    for (;;) {
        const int threads = threadCount();
        if (threads == 1) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            if (waitedInVain) {
                return false;
            }
            waitedInVain = true;
            diagnose("the office launcher still runs " + std::to_string(threads) +
                     " threads, so it starts no server by forking; servers start on their own "
                     "instead.");
            return false;
        }
        ::usleep(10000);
    }
}

// How long the launcher waits for the server maker to answer.
constexpr auto kMakerWait = std::chrono::seconds(5);

// The launcher's socket to the server maker; -1 when there is none or it failed.
int g_maker = -1;

// A server forked ahead of its request, waiting for its client's socket on handoff.
struct Spare {
    pid_t pid = -1;
    int handoff = -1;
    int pidfd = -1;
};

[[noreturn]] void runSpare(int handoff, const PrepareServer& prepare) {
    ServeClient serve = prepare();
    nlohmann::json message;
    int clientFd = -1;
    if (wire::receivePacket(handoff, message, clientFd, std::nullopt) !=
            wire::ReadStatus::Message ||
        clientFd < 0) {
        // The launcher is ending before this spare was needed: let it clean up and go.
        serve = nullptr;
        ::_exit(0);
    }
    ::close(handoff);
    const int status = serve(clientFd);
    serve = nullptr;
    ::_exit(status);
}

// What the launcher hands a server made by the server maker, on its handoff socket before the
// client's: the instance's description with its process descriptor, then the two ends of its
// exchange, one packet each.
bool sendHanded(int handoff, HandedInstance& handed) {
    const nlohmann::json description{{"instance", handed.pid},
                                     {"work", wire::encodeText(handed.work)},
                                     {"kit", handed.kit},
                                     {"hidden", handed.hidden}};
    const bool sent =
        wire::sendPacket(handoff, description, handed.pidfd) &&
        (handed.pid <= 0 || (wire::sendPacket(handoff, {{"request", true}}, handed.request) &&
                             wire::sendPacket(handoff, {{"result", true}}, handed.result)));
    platform::CloseQuietly(handed.pidfd);
    platform::CloseQuietly(handed.request);
    platform::CloseQuietly(handed.result);
    return sent;
}

HandedInstance receiveHanded(int handoff) {
    HandedInstance handed;
    nlohmann::json description;
    int pidfd = -1;
    if (wire::receivePacket(handoff, description, pidfd, std::nullopt) !=
        wire::ReadStatus::Message) {
        platform::CloseQuietly(pidfd);
        return handed;
    }
    const auto flag = [&description](const char* key) {
        const auto found = description.find(key);
        return found != description.end() && found->is_boolean() && found->get<bool>();
    };
    handed.kit = flag("kit");
    handed.hidden = flag("hidden");
    if (const auto work = description.find("work"); work != description.end()) {
        handed.work = wire::decodeText(*work).value_or("");
    }
    const std::int64_t pid = wire::integerMember(description, "instance", -1);
    if (pid <= 1 || pidfd < 0) {
        platform::CloseQuietly(pidfd);
        return handed;
    }
    nlohmann::json label;
    int request = -1;
    int result = -1;
    if (wire::receivePacket(handoff, label, request, std::nullopt) == wire::ReadStatus::Message &&
        wire::receivePacket(handoff, label, result, std::nullopt) == wire::ReadStatus::Message &&
        request >= 0 && result >= 0) {
        handed.pid = static_cast<pid_t>(pid);
        handed.pidfd = pidfd;
        handed.request = request;
        handed.result = result;
        return handed;
    }
    // Its exchange closed here, the instance ends by itself.
    platform::CloseQuietly(pidfd);
    platform::CloseQuietly(request);
    platform::CloseQuietly(result);
    return handed;
}

// The server maker: forks a server for each request, as a child of the launcher (so that the
// launcher reaps it and may signal its group), and answers with its number.
[[noreturn]] void runMaker(int control, pid_t launcher, const AdoptInstance& adopt) {
    for (int made = 1;; ++made) {
        nlohmann::json request;
        int handoff = -1;
        if (wire::receivePacket(control, request, handoff, std::nullopt) !=
                wire::ReadStatus::Message ||
            handoff < 0) {
            ::_exit(0);
        }
        if (faultRequested("maker-crash", std::to_string(made))) {
            ::kill(::getpid(), SIGKILL);
        }
        // fork() with the launcher as the parent. This process has a single thread, so the
        // child's copy of every lock is free.
        const long pid =
            ::syscall(SYS_clone, CLONE_PARENT | SIGCHLD, nullptr, nullptr, nullptr, nullptr);
        if (pid == 0) {
            ::close(control);
            ::setpgid(0, 0);
            if (!platform::DieWithParent(launcher)) {
                ::_exit(1);
            }
            runSpare(handoff, [handoff, &adopt] { return adopt(receiveHanded(handoff)); });
        }
        ::close(handoff);
        if (!wire::sendPacket(control, {{"pid", pid > 0 ? pid : -1}})) {
            ::_exit(0);
        }
    }
}

std::vector<int>& recordedDescriptors() {
    static std::vector<int> descriptors;
    return descriptors;
}

void discard(Spare& spare);

// A spare from the server maker, with the instance made for it here: nothing when the maker
// does not answer properly (then it is not asked again).
Spare spareFromMaker(const MakeInstance& makeInstance) {
    int ends[2];
    if (g_maker < 0 || ::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
        return {};
    }
    const bool asked = wire::sendPacket(g_maker, {{"request", "server"}}, ends[1]);
    ::close(ends[1]);
    nlohmann::json reply;
    int none = -1;
    const auto status = asked ? wire::receivePacket(g_maker, reply, none,
                                                    std::chrono::steady_clock::now() + kMakerWait)
                              : wire::ReadStatus::Closed;
    platform::CloseQuietly(none);
    const std::int64_t pid =
        status == wire::ReadStatus::Message ? wire::integerMember(reply, "pid", -1) : -1;
    // Only a child of this process is taken: one the maker made has this process as its parent.
    siginfo_t info{};
    if (pid <= 1 ||
        ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
        ::close(ends[0]);
        platform::CloseQuietly(g_maker);
        trace("the server maker failed; servers are forked from the launcher from now on.");
        return {};
    }
    // Also here, so that the group exists before the instance joins it.
    ::setpgid(static_cast<pid_t>(pid), static_cast<pid_t>(pid));
    Spare spare{static_cast<pid_t>(pid), ends[0],
                platform::OpenProcessDescriptor(static_cast<pid_t>(pid))};
    HandedInstance handed = makeInstance(spare.pid);
    if (!sendHanded(spare.handoff, handed)) {
        discard(spare);
        return {};
    }
    return spare;
}

Spare forkSpare(const PrepareServer& prepare, const MakeInstance& makeInstance) {
    if (!waitUntilSingleThreaded()) {
        return {};
    }
    if (g_maker >= 0 && makeInstance) {
        if (Spare spare = spareFromMaker(makeInstance); spare.pid > 0) {
            return spare;
        }
    }
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
        return {};
    }
    std::vector<int> kept = engineDescriptors();
    kept.insert(std::upper_bound(kept.begin(), kept.end(), ends[1]), ends[1]);
    const pid_t launcher = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Not the launcher's socket, nor another spare's.
        platform::CloseDescriptorsExcept(kept);
        // A group of its own, so that the client can kill the server with its engine at once.
        ::setpgid(0, 0);
        // Ends with the launcher, whichever way the launcher ends.
        if (!platform::DieWithParent(launcher)) {
            ::_exit(1);
        }
        runSpare(ends[1], prepare);
    }
    ::close(ends[1]);
    if (pid < 0) {
        ::close(ends[0]);
        return {};
    }
    // Also here, so that the group exists before the client can learn the pid.
    ::setpgid(pid, pid);
    return {pid, ends[0], platform::OpenProcessDescriptor(pid)};
}

void discard(Spare& spare) {
    if (spare.pid > 0) {
        ::kill(-spare.pid, SIGKILL);
    }
    platform::CloseQuietly(spare.handoff);
    platform::CloseQuietly(spare.pidfd);
    spare.pid = -1;
}

// Removes the working folders that ended servers and spares left in the cache folder: one
// killed at a deadline never removed its own, with its document's private copy in it.
void removeLeftFolders() {
    try {
        removeStaleFolders(cacheFolder());
    } catch (const std::exception&) {
        // No cache folder: no folder was made in it either.
    }
}

// Collects every ended child, including what ended servers left behind (this process is their
// subreaper); forgets the spares that were among them.
void reap(std::set<pid_t>& servers, std::vector<Spare>& spares) {
    bool serverEnded = false;
    const auto clean = [&serverEnded] {
        if (serverEnded) {
            removeLeftFolders();
        }
    };
    for (;;) {
        // Looked at without reaping first: while the ended server is a zombie its number is still
        // its group's, so what it left running in the group is ended without any risk of
        // reaching a process that has the number since.
        siginfo_t info{};
        if (::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
            if (errno == EINTR) {
                continue;
            }
            clean();
            return;
        }
        const pid_t ended = info.si_pid;
        if (ended <= 0) {
            clean();
            return;
        }
        const auto spare = std::find_if(spares.begin(), spares.end(),
                                        [ended](const Spare& s) { return s.pid == ended; });
        if (servers.count(ended) != 0 || spare != spares.end()) {
            ::kill(-ended, SIGKILL);
            serverEnded = true;
        }
        int status = 0;
        while (::waitpid(ended, &status, 0) < 0 && errno == EINTR) {
        }
        servers.erase(ended);
        if (spare != spares.end()) {
            spare->pid = -1;
            discard(*spare);
            spares.erase(spare);
        }
    }
}

bool handOver(Spare& spare, int clientFd) {
    return spare.pid > 0 && wire::sendPacket(spare.handoff, {{"client", true}}, clientFd);
}

}  // namespace

const std::vector<int>& engineDescriptors() {
    return recordedDescriptors();
}

void startServerMaker(int controlFd, const AdoptInstance& adopt) {
    // The servers it makes are handed their instances as process descriptors: a kernel without
    // them (before 5.3) keeps to forking the servers from the launcher.
    const int probe = platform::OpenProcessDescriptor(::getpid());
    if (probe < 0) {
        return;
    }
    ::close(probe);
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
        return;
    }
    // What the launcher holds now (its standard streams and diagnostics) but its control socket.
    std::vector<int> kept = platform::OpenDescriptors();
    kept.erase(std::remove_if(kept.begin(), kept.end(),
                              [&](int fd) { return fd == controlFd || fd == ends[0]; }),
               kept.end());
    const pid_t launcher = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        platform::CloseDescriptorsExcept(kept);
        if (!platform::DieWithParent(launcher)) {
            ::_exit(1);
        }
        runMaker(ends[1], launcher, adopt);
    }
    ::close(ends[1]);
    if (pid < 0) {
        ::close(ends[0]);
        return;
    }
    g_maker = ends[0];
}

int runLauncher(int controlFd, const PrepareServer& prepare, const MakeInstance& makeInstance) {
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    std::vector<int>& recorded = recordedDescriptors();
    recorded = platform::OpenDescriptors();
    // Neither the control socket nor the server maker's: no engine process may ask for servers.
    recorded.erase(std::remove_if(recorded.begin(), recorded.end(),
                                  [controlFd](int fd) { return fd == controlFd || fd == g_maker; }),
                   recorded.end());
    std::set<pid_t> servers;
    // Spares ready for the next requests, oldest first; as many as the client asked for.
    std::vector<Spare> spares;
    std::size_t wanted = 1;
    const auto topUp = [&] {
        while (spares.size() < wanted) {
            Spare spare = forkSpare(prepare, makeInstance);
            if (spare.pid <= 0) {
                return;
            }
            spares.push_back(spare);
        }
    };
    const auto reapAll = [&] {
        reap(servers, spares);
        topUp();
    };
    reapAll();
    for (;;) {
        nlohmann::json request;
        int clientFd = -1;
        const auto status = wire::receivePacket(controlFd, request, clientFd,
                                                std::chrono::steady_clock::now() + kReapInterval);
        if (status == wire::ReadStatus::TimedOut) {
            reapAll();
            continue;
        }
        if (status == wire::ReadStatus::Closed) {
            break;
        }
        const auto kind = request.find("request");
        const std::string what =
            kind != request.end() && kind->is_string() ? kind->get<std::string>() : "";
        if (what == "spares" && clientFd < 0) {
            // How many documents the client is about to convert at once: one spare for each.
            const std::int64_t count = wire::integerMember(request, "count");
            wanted = static_cast<std::size_t>(std::clamp<std::int64_t>(count, 1, kMostSpares));
            while (spares.size() > wanted) {
                discard(spares.back());
                spares.pop_back();
            }
            wire::sendPacket(controlFd, {{"spares", wanted}});
            reapAll();
            continue;
        }
        if (what != "server" || clientFd < 0) {
            platform::CloseQuietly(clientFd);
            wire::sendPacket(controlFd, {{"error",
                                          "The office launcher received a request it "
                                          "does not understand."}});
            continue;
        }
        reap(servers, spares);
        Spare spare;
        while (!spares.empty() && spare.pid <= 0) {
            spare = spares.front();
            spares.erase(spares.begin());
            if (!handOver(spare, clientFd)) {
                // It ended before it was needed: try the next one.
                discard(spare);
            }
        }
        if (spare.pid <= 0) {
            spare = forkSpare(prepare, makeInstance);
            if (!handOver(spare, clientFd)) {
                platform::CloseQuietly(clientFd);
                discard(spare);
                wire::sendPacket(controlFd, {{"error",
                                              "The office engine could not be started: no new "
                                              "process could be made for it."}});
                continue;
            }
        }
        platform::CloseQuietly(clientFd);
        wire::sendPacket(controlFd, {{"pid", spare.pid}}, spare.pidfd);
        servers.insert(spare.pid);
        platform::CloseQuietly(spare.handoff);
        platform::CloseQuietly(spare.pidfd);
        topUp();
    }

    // The client is gone: nothing started here may outlive it. The server maker ends as its
    // socket closes. The spare, told so by its closed socket, removes its files and ends by
    // itself; servers still running are stopped.
    platform::CloseQuietly(g_maker);
    std::set<pid_t> unused;
    for (Spare& spare : spares) {
        platform::CloseQuietly(spare.handoff);
        platform::CloseQuietly(spare.pidfd);
        unused.insert(spare.pid);
    }
    for (const pid_t server : servers) {
        ::kill(-server, SIGKILL);
    }
    // Waited for, but not for ever: a spare that does not end in time is killed, and whatever
    // is still left then dies with the launcher (each spare asked for that when it was forked).
    const auto deadline = std::chrono::steady_clock::now() + kFinalWait;
    for (;;) {
        const pid_t ended = ::waitpid(-1, nullptr, WNOHANG);
        if (ended < 0 && errno == EINTR) {
            continue;
        }
        if (ended < 0) {
            break;  // ECHILD: every descendant has been reaped
        }
        unused.erase(ended);
        if (ended == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                for (const pid_t spare : unused) {
                    ::kill(-spare, SIGKILL);
                }
                break;
            }
            ::usleep(20000);
        }
    }
    removeLeftFolders();
    return 0;
}

}  // namespace office
