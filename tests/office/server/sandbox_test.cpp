// SPDX-License-Identifier: MIT
// The isolation pavendel-office puts itself under before any engine code runs: each case runs in
// a child process, since the filter and the namespaces cannot be undone.
#include "office/server/sandbox.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "office/server/diagnostics.h"
#include "office/server/profile.h"
#include "support/automationtest.h"
#include "support/tempfolder.h"

namespace fs = std::filesystem;

namespace {

using testsupport::ScopedEnv;

// Runs the check in a forked child and gives its exit status (0: every step held; otherwise the
// number of the step that did not).
int inChild(const std::function<int()>& check) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(check());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

// Whether the file opens with the flags: 0, or the error.
int opens(const std::string& path, int flags = O_RDONLY) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0600);
    if (fd < 0) {
        return errno;
    }
    ::close(fd);
    return 0;
}

// Whether a socket of the family can be made.
int socketError(int family, int type) {
    const int fd = ::socket(family, type | SOCK_CLOEXEC, 0);
    if (fd >= 0) {
        ::close(fd);
        return 0;
    }
    return errno;
}

TEST(Sandbox, TheFilterRefusesEveryNetworkSocketButKeepsLocalOnes) {
    EXPECT_EQ(inChild([] {
                  if (!office::refuseNetworkSockets()) {
                      return 1;
                  }
                  if (socketError(AF_INET, SOCK_STREAM) != EACCES ||
                      socketError(AF_INET, SOCK_DGRAM) != EACCES) {
                      return 2;
                  }
                  if (socketError(AF_INET6, SOCK_STREAM) != EACCES ||
                      socketError(AF_NETLINK, SOCK_RAW) != EACCES ||
                      socketError(AF_PACKET, SOCK_RAW) != EACCES) {
                      return 3;
                  }
                  int pair[2];
                  if (::socketpair(AF_INET, SOCK_STREAM, 0, pair) == 0 || errno != EACCES) {
                      return 4;
                  }
                  // io_uring can open sockets without the socket system call.
                  if (::syscall(SYS_io_uring_setup, 4, nullptr) != -1 || errno != EPERM) {
                      return 5;
                  }
                  // The engine's own local sockets and pipes still work.
                  if (socketError(AF_UNIX, SOCK_STREAM) != 0 ||
                      ::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, pair) != 0) {
                      return 6;
                  }
                  return 0;
              }),
              0);
}

TEST(Sandbox, IsolationReachesNoListenerOnThisMachineWithOrWithoutANamespace) {
    // A listener outside: connecting to it must fail from the isolated child.
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 8), 0);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);

    EXPECT_EQ(inChild([&address] {
                  const office::NetworkIsolation isolation = office::isolateFromNetwork();
                  if (!isolation.filterInstalled) {
                      return 1;
                  }
                  if (!isolation.namespaceMade && isolation.namespaceRefusal.empty()) {
                      return 2;
                  }
                  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
                  if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address),
                                           sizeof address) == 0) {
                      return 3;
                  }
                  return 0;
              }),
              0);
    ::close(listener);
}

TEST(Sandbox, TheEngineKeepsNoAddressOfADesktopServiceOrProxy) {
    ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/1000/bus");
    ScopedEnv proxy("https_proxy", "http://proxy.example:3128");
    ScopedEnv upper("HTTP_PROXY", "http://proxy.example:3128");
    ScopedEnv display("DISPLAY", ":0");
    ScopedEnv wayland("WAYLAND_DISPLAY", "wayland-0");
    ScopedEnv runtime("XDG_RUNTIME_DIR", "/run/user/1000");
    ScopedEnv agent("SSH_AUTH_SOCK", "/run/user/1000/ssh");
    ScopedEnv language("LANG", "de_DE.UTF-8");
    ScopedEnv collation("LC_COLLATE", "C");
    ScopedEnv chosen("PAVENDEL_OFFICE_PATH", "kit");
    EXPECT_EQ(inChild([] {
                  office::cleanEnvironment();
                  for (const char* gone :
                       {"DBUS_SESSION_BUS_ADDRESS", "https_proxy", "HTTP_PROXY", "DISPLAY",
                        "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR", "SSH_AUTH_SOCK"}) {
                      if (std::getenv(gone) != nullptr) {
                          return 1;
                      }
                  }
                  // What the engine needs to find itself, its fonts and the user's language.
                  for (const char* kept :
                       {"PATH", "HOME", "LANG", "LC_COLLATE", "PAVENDEL_OFFICE_PATH"}) {
                      if (std::getenv(kept) == nullptr) {
                          return 2;
                      }
                  }
                  return 0;
              }),
              0);
}

TEST(Sandbox, EngineProcessesComeFirstWhenMemoryRunsOutAndHaveAnAddressSpaceLimit) {
    const office::EngineLimits limits = office::engineLimits(office::findEngine().program, {});
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_GE(limits.addressSpace, 4ULL << 30);
#endif
    EXPECT_EQ(inChild([&limits] {
                  office::applyEngineLimits(limits);
                  rlimit applied{};
                  ::getrlimit(RLIMIT_AS, &applied);
                  if (limits.addressSpace != 0 && applied.rlim_cur != limits.addressSpace) {
                      return 1;
                  }
                  int score = 0;
                  std::ifstream("/proc/self/oom_score_adj") >> score;
                  if (score != 1000) {
                      return 2;
                  }
                  // Past the limit an allocation fails instead of taking the machine's memory.
                  volatile std::size_t size = static_cast<std::size_t>(limits.addressSpace);
                  if (void* block = limits.addressSpace != 0 ? std::malloc(size) : nullptr) {
                      std::free(block);
                      return 3;
                  }
                  return 0;
              }),
              0);
}

// An engine reads the system, its installation and the folders it is given, and changes files
// only in its own folder: not another engine's folder in the same cache, not the user's.
TEST(Sandbox, EngineProcessesReadOnlyTheSystemAndTheirFoldersAndWriteOnlyTheirOwn) {
    testsupport::TempFolder folder;
    ScopedEnv cache("XDG_CACHE_HOME", folder.mkdir("cache"));
    const std::string own = folder.mkdir("cache/pavendel/run-1");
    const std::string inside = folder.write("cache/pavendel/run-1/document.doc", "inside");
    const std::string shared = folder.write("cache/pavendel/launch-1/profile.xcu", "shared");
    const std::string other = folder.write("cache/pavendel/run-2/document.doc", "another's");
    const std::string outside = folder.write("documents/picture.png", "outside");
    const office::EngineLimits limits = office::engineLimits(office::findEngine().program, {own},
                                                             {folder / "cache/pavendel/launch-1"});
    ASSERT_TRUE(office::reportFileConfinement()) << "this kernel cannot confine reading";
    // Before the limits, everything is readable; after them, only what the engine needs.
    ASSERT_EQ(opens(outside), 0);
    EXPECT_EQ(inChild([&] {
                  office::applyEngineLimits(limits);
                  const int refusedReads = (opens(outside) != EACCES) +
                                           (opens(folder / "documents") != EACCES) +
                                           (opens(other) != EACCES);
                  if (refusedReads != 0) {
                      return 1;
                  }
                  if (opens(inside) != 0 || opens(shared) != 0 || opens("/etc/passwd") != 0 ||
                      opens("/proc/self/status") != 0) {
                      return 2;
                  }
                  // Writing: its own folder, and /dev/null.
                  if (opens(own + "/new.rtf", O_WRONLY | O_CREAT) != 0 ||
                      opens("/dev/null", O_WRONLY) != 0 || ::unlink(inside.c_str()) != 0) {
                      return 3;
                  }
                  const int refusedWrites =
                      (opens(shared, O_WRONLY | O_APPEND) != EACCES) +
                      (opens(folder / "documents/new", O_WRONLY | O_CREAT) != EACCES) +
                      (::unlink(outside.c_str()) == 0) + (::truncate(outside.c_str(), 0) == 0) +
                      (::rename(outside.c_str(), (own + "/moved").c_str()) == 0);
                  return refusedWrites == 0 ? 0 : 4;
              }),
              0);
    EXPECT_EQ(folder.read("documents/picture.png"), "outside");
}

// Where the kernel has no Landlock, an engine process's private view shows it the system
// (read-only) and its own folders, and nothing else of the user's: not the files beside its
// folders, not the other processes (whose /proc entries would lead back to the real file
// system), and it cannot take the view apart.
TEST(Sandbox, APrivateViewShowsOnlyTheSystemAndTheEnginesOwnFolders) {
    testsupport::TempFolder folder;
    const std::string own = folder.mkdir("cache/pavendel/run-1");
    folder.write("cache/pavendel/run-1/in.doc", "mine");
    const std::string other = folder.write("cache/pavendel/run-2/in.doc", "another's");
    const std::string secret = folder.write("home/.ssh/id_rsa", "a private key");
    const pid_t parent = ::getpid();
    const int status = inChild([&] {
        // Namespaces as pavendel-office makes them: a user namespace that maps the user alone.
        const std::string user = std::to_string(::getuid());
        const std::string group = std::to_string(::getgid());
        if (::unshare(CLONE_NEWUSER) != 0) {
            return 77;
        }
        for (const auto& [file, text] :
             {std::pair<const char*, std::string>{"/proc/self/setgroups", "deny"},
              {"/proc/self/uid_map", user + " " + user + " 1"},
              {"/proc/self/gid_map", group + " " + group + " 1"}}) {
            std::ofstream(file) << text;
        }
        if (!office::privateViewWorks()) {
            return 77;
        }
        office::EngineLimits limits;
        limits.view = office::privateView({"/usr"}, {own});
        office::applyEngineLimits(limits);
        const auto readable = [](const std::string& path) { return std::ifstream(path).good(); };
        if (readable(secret) || readable(other) || !readable(own + "/in.doc") ||
            !readable("/etc/passwd")) {
            return 1;
        }
        struct statvfs system {};
        if (!std::ofstream(own + "/out.rtf").good() || ::statvfs("/etc", &system) != 0 ||
            (system.f_flag & ST_RDONLY) == 0) {
            return 2;
        }
        if (std::ifstream("/proc/" + std::to_string(parent) + "/status").good() ||
            ::getpid() != 1) {
            return 3;
        }
        return ::umount2("/tmp", MNT_DETACH) == 0 ? 4 : 0;
    });
    if (status == 77) {
        GTEST_SKIP() << "this system refuses the namespaces a private view needs";
    }
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(fs::exists(own + "/out.rtf")) << "the engine's own folder is the real one";
}

// An instance that has learnt its document keeps only that document's folder of its server's:
// the copies of the documents converted before it are out of its reach.
TEST(Sandbox, AnInstanceNarrowedToItsDocumentReadsNoEarlierDocument) {
    testsupport::TempFolder folder;
    ScopedEnv cache("XDG_CACHE_HOME", folder.mkdir("cache"));
    const std::string server = folder.mkdir("cache/pavendel/run-1");
    const std::string earlier = folder.write("cache/pavendel/run-1/document-1/in/a.doc", "first");
    const std::string mine = folder.write("cache/pavendel/run-1/document-2/in/b.doc", "second");
    const std::string temp = folder.mkdir("cache/pavendel/run-1/engine-temp");
    const std::string shared = folder.write("cache/pavendel/launch-1/profile.xcu", "shared");
    const std::string program = office::findEngine().program;
    const office::EngineLimits limits =
        office::engineLimits(program, {server}, {folder / "cache/pavendel/launch-1"});
    ASSERT_TRUE(office::reportFileConfinement()) << "this kernel cannot confine reading";
    EXPECT_EQ(inChild([&] {
                  office::applyEngineLimits(limits);
                  if (opens(earlier) != 0) {
                      return 1;  // the first layer leaves the whole server's folder
                  }
                  if (!office::confineToDocument(program, {folder / "cache/pavendel/launch-1"},
                                                 {server + "/document-2", temp})) {
                      return 2;
                  }
                  if (opens(earlier) != EACCES ||
                      opens(server + "/document-1/out.rtf", O_WRONLY | O_CREAT) != EACCES) {
                      return 3;
                  }
                  return opens(mine) == 0 && opens(shared) == 0 &&
                                 opens(server + "/document-2/out.rtf", O_WRONLY | O_CREAT) == 0 &&
                                 opens(temp + "/t", O_WRONLY | O_CREAT) == 0
                             ? 0
                             : 4;
              }),
              0);
}

}  // namespace

namespace {

// The launcher points its standard streams at /dev/null for the engine's sake; its own messages
// still reach the program's standard error, one line each, marked as the office server's.
TEST(Diagnostics, ReachTheProgramsStandardErrorAfterTheEngineIsSilenced) {
    int seen[2];
    ASSERT_EQ(::pipe(seen), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(seen[1], STDERR_FILENO);
        office::keepDiagnostics();
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDERR_FILENO);
        (void)!::write(STDERR_FILENO, "engine chatter\n", 15);
        office::diagnose("first line\nsecond line");
        ::_exit(0);
    }
    ::close(seen[1]);
    ::waitpid(child, nullptr, 0);
    std::string text;
    char chunk[256];
    for (ssize_t n; (n = ::read(seen[0], chunk, sizeof chunk)) > 0;) {
        text.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(seen[0]);
    EXPECT_EQ(text, "pavendel-office: first line second line\n");
}

}  // namespace
