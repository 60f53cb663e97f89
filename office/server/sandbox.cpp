// SPDX-License-Identifier: MIT
#include "office/server/sandbox.h"

#include <fcntl.h>
#include <linux/filter.h>
#include <linux/landlock.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <seccomp.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

#include "office/server/diagnostics.h"
#include "office/server/privateview.h"
#include "office/server/profile.h"

extern char** environ;

namespace office {

namespace {

void writeFile(const char* path, const char* text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd >= 0) {
        const ssize_t ignored = ::write(fd, text, std::strlen(text));
        (void)ignored;
        ::close(fd);
    }
}

// The network namespace this process is in, as the kernel numbers it; 0 when unknown.
ino_t networkNamespace() {
    struct stat info {};
    return ::stat("/proc/self/ns/net", &info) == 0 ? info.st_ino : 0;
}

// Asks for a network namespace; the reason when none could be made.
std::string unshareNetwork() {
    if (::unshare(CLONE_NEWNET) == 0) {
        return {};
    }
    const int direct = errno;
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) {
        const int viaUser = errno;
        return std::string("a network namespace was refused (") + std::strerror(direct) +
               "), and so was a user namespace to make one in (" + std::strerror(viaUser) + ")";
    }
    const std::string uidMap = std::to_string(::getuid()) + " " + std::to_string(::getuid()) + " 1";
    const std::string gidMap = std::to_string(::getgid()) + " " + std::to_string(::getgid()) + " 1";
    writeFile("/proc/self/setgroups", "deny");
    writeFile("/proc/self/uid_map", uidMap.c_str());
    writeFile("/proc/self/gid_map", gidMap.c_str());
    return {};
}

// Names of the variables the engine keeps: where it finds programs, fonts and its language; the
// program's own settings; the sanitizers' options of a test build.
bool keptVariable(const std::string& name) {
    static const char* const kept[] = {
        "PATH",
        "HOME",
        "USER",
        "LOGNAME",
        "LANG",
        "LANGUAGE",
        "TZ",
        "TZDIR",
        "TMPDIR",
        "XDG_CACHE_HOME",
        "XDG_CONFIG_HOME",
        "XDG_DATA_HOME",
        "XDG_DATA_DIRS",
        "XDG_CONFIG_DIRS",
        "LD_LIBRARY_PATH",
        "ASAN_OPTIONS",
        "UBSAN_OPTIONS",
        "LSAN_OPTIONS",
    };
    if (std::any_of(std::begin(kept), std::end(kept),
                    [&name](const char* variable) { return name == variable; })) {
        return true;
    }
    for (const char* prefix : {"LC_", "PAVENDEL_", "FONTCONFIG_"}) {
        if (name.rfind(prefix, 0) == 0) {
            return true;
        }
    }
    return false;
}

// What the file confinement governs: reading files and listing folders, and every way of
// changing a file or a folder that the running kernel's Landlock knows. A right the kernel does
// not know must not be asked for (the kernel would refuse the whole confinement), so the rights
// follow its version; reading is governed by every version.
constexpr std::uint64_t kReadAccess = LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_READ_DIR;
constexpr std::uint64_t kWriteAccessV1 =
    LANDLOCK_ACCESS_FS_WRITE_FILE | LANDLOCK_ACCESS_FS_REMOVE_DIR | LANDLOCK_ACCESS_FS_REMOVE_FILE |
    LANDLOCK_ACCESS_FS_MAKE_CHAR | LANDLOCK_ACCESS_FS_MAKE_DIR | LANDLOCK_ACCESS_FS_MAKE_REG |
    LANDLOCK_ACCESS_FS_MAKE_SOCK | LANDLOCK_ACCESS_FS_MAKE_FIFO | LANDLOCK_ACCESS_FS_MAKE_BLOCK |
    LANDLOCK_ACCESS_FS_MAKE_SYM;
// Moving or linking a file between folders (version 2), truncating one (version 3): the values
// of later kernels' headers, spelled out for the headers of older systems.
constexpr std::uint64_t kRefer = 1ULL << 13;
constexpr std::uint64_t kTruncate = 1ULL << 14;

// The rights a confinement governs on this kernel: reading, and writing as far as it knows.
std::uint64_t handledAccess(int abi) {
    std::uint64_t access = kReadAccess | kWriteAccessV1;
    if (abi >= 2) {
        access |= kRefer;
    }
    if (abi >= 3) {
        access |= kTruncate;
    }
    return access;
}

int createRuleset(const landlock_ruleset_attr* attributes, std::size_t size, std::uint32_t flags) {
    return static_cast<int>(::syscall(SYS_landlock_create_ruleset, attributes, size, flags));
}

// The version of Landlock the kernel offers; 0 when it has none.
int landlockAbi() {
    const int abi = createRuleset(nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    return abi > 0 ? abi : 0;
}

// The installation a program belongs to: the folder above its folder when that is LibreOffice's
// "program" folder, else its own folder.
std::filesystem::path installationOf(const std::filesystem::path& program) {
    const std::filesystem::path folder = program.parent_path();
    return folder.filename() == "program" ? folder.parent_path() : folder;
}

// The folders of the installation of a program: the installation itself and what symbolic links
// in its top levels lead to. Distributions keep parts of it elsewhere (Debian: its extension
// caches under /var), and the kernel follows the links before it looks at the folders. A link to
// a file brings in that file's installation as well, as for an engine started through a wrapper
// beside links to the real engine's files.
std::vector<std::string> installationFolders(const std::filesystem::path& program,
                                             bool followFiles = true) {
    namespace fs = std::filesystem;
    const fs::path installation = installationOf(program);
    std::vector<std::string> folders{installation.string()};
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(installation, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it.depth() >= 3) {
            it.disable_recursion_pending();
        }
        if (it->is_symlink(error)) {
            const fs::path target = fs::canonical(it->path(), error);
            if (!error && fs::is_directory(target, error)) {
                folders.push_back(target.string());
            } else if (!error && followFiles && installationOf(target) != installation) {
                const std::vector<std::string> other = installationFolders(target, false);
                folders.insert(folders.end(), other.begin(), other.end());
            }
            error.clear();
        }
    }
    return folders;
}

// The folders an engine process reads from: everything a program needs of the system, the
// engine's installation and the user's own fonts and font settings. Its working folders come on
// top: of the cache folder, an engine reads only what is its own, never another engine's.
std::vector<std::string> engineReadableFolders(const std::string& program) {
    std::vector<std::string> candidates = {
        "/usr", "/etc",  "/lib",  "/lib32", "/lib64", "/libx32",
        "/bin", "/sbin", "/proc", "/sys",   "/dev",   "/var/cache/fontconfig",
    };
    if (!program.empty()) {
        // Looked for once per program: a server starts an engine for every document.
        static std::map<std::string, std::vector<std::string>> known;
        auto found = known.find(program);
        if (found == known.end()) {
            found = known.emplace(program, installationFolders(program)).first;
        }
        candidates.insert(candidates.end(), found->second.begin(), found->second.end());
    }
    const auto fromVariable = [&candidates](const char* variable, const char* below) {
        const char* value = std::getenv(variable);
        if (value != nullptr && value[0] == '/') {
            candidates.push_back(std::string(value) + below);
        }
    };
    fromVariable("HOME", "/.fonts");
    fromVariable("HOME", "/.local/share/fonts");
    fromVariable("HOME", "/.config/fontconfig");
    fromVariable("HOME", "/.cache/fontconfig");
    fromVariable("XDG_DATA_HOME", "/fonts");
    fromVariable("XDG_CONFIG_HOME", "/fontconfig");
    fromVariable("XDG_CACHE_HOME", "/fontconfig");
    std::vector<std::string> folders;
    for (const std::string& candidate : candidates) {
        std::error_code error;
        if (std::filesystem::is_directory(candidate, error)) {
            folders.push_back(candidate);
        }
    }
    return folders;
}

// The rule set as later kernels' headers spell it: the rights over the network (version 4) and
// the scopes a confined process is kept inside (version 6), for the headers of older systems.
struct RulesetAttributes {
    std::uint64_t handledAccessFs = 0;
    std::uint64_t handledAccessNet = 0;
    std::uint64_t scoped = 0;
};
// Connecting to an abstract Unix socket made outside the confinement, and signalling a process
// outside it.
constexpr std::uint64_t kScopeAbstractSockets = 1ULL << 0;
constexpr std::uint64_t kScopeSignals = 1ULL << 1;

// Refuses this process and its descendants every read outside the readable folders and every
// change outside the writable ones (and /dev/null, the one file an engine writes elsewhere), and
// from the kernel's sixth version on every signal to a process and every connection to an
// abstract socket outside the confinement. An engine that listens on a pipe of its own may make
// a socket file in the system's temporary folders, and nothing else there. Only system calls on
// what was prepared before: safe in a forked child.
bool confineFiles(int abi, const std::vector<std::string>& readable,
                  const std::vector<std::string>& writable, EnginePipe pipe) {
    RulesetAttributes attributes;
    attributes.handledAccessFs = handledAccess(abi);
    std::size_t size = sizeof(std::uint64_t);
    if (abi >= 6) {
        attributes.scoped = kScopeAbstractSockets | kScopeSignals;
        size = sizeof attributes;
    }
    const int ruleset = static_cast<int>(
        ::syscall(SYS_landlock_create_ruleset, &attributes, size, std::uint32_t{0}));
    if (ruleset < 0) {
        return false;
    }
    const auto allow = [ruleset](const char* path, std::uint64_t access, int flags) {
        const int fd = ::open(path, O_PATH | O_CLOEXEC | flags);
        if (fd < 0) {
            return errno;
        }
        landlock_path_beneath_attr rule{};
        rule.allowed_access = access;
        rule.parent_fd = fd;
        ::syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &rule, 0);
        ::close(fd);
        return 0;
    };
    for (const std::string& folder : readable) {
        // A single file to read (a document the server looks at) gets the one right of a file.
        if (allow(folder.c_str(), kReadAccess, O_DIRECTORY) == ENOTDIR) {
            allow(folder.c_str(), LANDLOCK_ACCESS_FS_READ_FILE, 0);
        }
    }
    for (const std::string& folder : writable) {
        allow(folder.c_str(), handledAccess(abi), O_DIRECTORY);
    }
    if (pipe == EnginePipe::Listens) {
        // The office program makes its pipe in the first of these it may write to.
        allow("/tmp", LANDLOCK_ACCESS_FS_MAKE_SOCK, O_DIRECTORY);
        allow("/var/tmp", LANDLOCK_ACCESS_FS_MAKE_SOCK, O_DIRECTORY);
    }
    // A rule for a file may only name the rights of a file.
    allow("/dev/null",
          LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_WRITE_FILE | (abi >= 3 ? kTruncate : 0),
          0);
    // Set already by the system-call filter; asked again in case the kernel refused that.
    ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    const bool confined = ::syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
    ::close(ruleset);
    return confined;
}

// Stands in, in an engine's filter, for the engine's own process number, which is known only
// in the child after the fork: larger than any process number the kernel gives.
constexpr std::uint32_t kOwnProcessPlaceholder = 0x7EADBEEF;

// The system-call filter of an engine process, on top of the one every process of the program
// has. The engine's library needs no socket of any kind: a Unix socket would reach past the
// network namespace to the user's session, and Landlock does not govern connecting to one. The
// office program needs one Unix socket, a pipe it listens on for a second start of itself, and so
// keeps sockets but may neither connect one nor send on one to an address. Neither may truncate
// a file by its path (which Landlock governs only from its third version), signal any process but
// itself, nor look into or control another process. Built before the fork, so that the child
// only loads it.
std::vector<sock_filter> engineFilter(EnginePipe pipe) {
    std::vector<sock_filter> program;
    scmp_filter_ctx filter = ::seccomp_init(SCMP_ACT_ALLOW);
    if (filter == nullptr) {
        return program;
    }
    // A first argument (the process signalled) other than the engine's own process.
    const scmp_arg_cmp another{0, SCMP_CMP_NE, kOwnProcessPlaceholder, 0};
    // sendto with an address (its fifth argument); send is sendto without one.
    const scmp_arg_cmp addressed{4, SCMP_CMP_NE, 0, 0};
    bool built = ::seccomp_rule_add(filter, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(truncate), 0) == 0;
    for (const int signalling : {SCMP_SYS(kill), SCMP_SYS(tgkill), SCMP_SYS(rt_sigqueueinfo),
                                 SCMP_SYS(rt_tgsigqueueinfo)}) {
        built = built && ::seccomp_rule_add_array(filter, SCMP_ACT_ERRNO(EPERM), signalling, 1,
                                                  &another) == 0;
    }
    for (const int other :
         {SCMP_SYS(tkill), SCMP_SYS(pidfd_open), SCMP_SYS(pidfd_send_signal), SCMP_SYS(pidfd_getfd),
          SCMP_SYS(ptrace), SCMP_SYS(process_vm_readv), SCMP_SYS(process_vm_writev)}) {
        built = built && ::seccomp_rule_add(filter, SCMP_ACT_ERRNO(EPERM), other, 0) == 0;
    }
    // Nor may it change what it sees of the file system, which would undo a private view:
    // mounting, unmounting, changing its root or entering other namespaces.
    for (const int viewChange :
         {SCMP_SYS(mount), SCMP_SYS(umount2), SCMP_SYS(pivot_root), SCMP_SYS(chroot),
          SCMP_SYS(unshare), SCMP_SYS(setns), SCMP_SYS(open_tree), SCMP_SYS(move_mount),
          SCMP_SYS(fsopen), SCMP_SYS(fsconfig), SCMP_SYS(fsmount), SCMP_SYS(fspick),
          SCMP_SYS(mount_setattr)}) {
        built = built && ::seccomp_rule_add(filter, SCMP_ACT_ERRNO(EPERM), viewChange, 0) == 0;
    }
    if (pipe == EnginePipe::None) {
        built =
            built && ::seccomp_rule_add(filter, SCMP_ACT_ERRNO(EACCES), SCMP_SYS(socket), 0) == 0;
    } else {
        built = built &&
                ::seccomp_rule_add(filter, SCMP_ACT_ERRNO(EACCES), SCMP_SYS(connect), 0) == 0 &&
                ::seccomp_rule_add_array(filter, SCMP_ACT_ERRNO(EACCES), SCMP_SYS(sendto), 1,
                                         &addressed) == 0 &&
                ::seccomp_rule_add(filter, SCMP_ACT_ERRNO(EACCES), SCMP_SYS(sendmsg), 0) == 0 &&
                ::seccomp_rule_add(filter, SCMP_ACT_ERRNO(EACCES), SCMP_SYS(sendmmsg), 0) == 0;
    }
    int pipeEnds[2] = {-1, -1};
    built = built && ::pipe2(pipeEnds, O_CLOEXEC) == 0 &&
            ::seccomp_export_bpf(filter, pipeEnds[1]) == 0;
    ::seccomp_release(filter);
    if (pipeEnds[1] >= 0) {
        ::close(pipeEnds[1]);
    }
    if (built) {
        sock_filter instruction{};
        while (::read(pipeEnds[0], &instruction, sizeof instruction) ==
               static_cast<ssize_t>(sizeof instruction)) {
            program.push_back(instruction);
        }
    }
    if (pipeEnds[0] >= 0) {
        ::close(pipeEnds[0]);
    }
    return program;
}

}  // namespace

bool refuseNetworkSockets() {
    scmp_filter_ctx filter = ::seccomp_init(SCMP_ACT_ALLOW);
    if (filter == nullptr) {
        return false;
    }
    // Sockets of every family but AF_UNIX: the program's processes only ever need local ones
    // (engine processes get none at all, see engineFilter), and a document that makes the engine
    // fetch a URL then finds no way out. io_uring could make a socket without the system call, so
    // it is refused as well.
    // The first argument (the family) other than AF_UNIX; spelled out rather than with
    // SCMP_A0, whose compound literal is not C++.
    const scmp_arg_cmp notUnix{0, SCMP_CMP_NE, AF_UNIX, 0};
    // Typing into the terminal (TIOCSTI) and the console's special requests (TIOCLINUX) are
    // refused too: no process of the program has a terminal to type into, and one it might reach
    // through a descriptor belongs to the user. The kernel reads the request as 32 bits.
    const scmp_arg_cmp typing{1, SCMP_CMP_MASKED_EQ, 0xFFFFFFFFULL, TIOCSTI};
    const scmp_arg_cmp console{1, SCMP_CMP_MASKED_EQ, 0xFFFFFFFFULL, TIOCLINUX};
    const bool built =
        ::seccomp_rule_add_array(filter, SCMP_ACT_ERRNO(EACCES), SCMP_SYS(socket), 1, &notUnix) ==
            0 &&
        ::seccomp_rule_add_array(filter, SCMP_ACT_ERRNO(EACCES), SCMP_SYS(socketpair), 1,
                                 &notUnix) == 0 &&
        ::seccomp_rule_add(filter, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(io_uring_setup), 0) == 0 &&
        ::seccomp_rule_add_array(filter, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(ioctl), 1, &typing) == 0 &&
        ::seccomp_rule_add_array(filter, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(ioctl), 1, &console) == 0;
    // seccomp_load sets no_new_privs first, which an unprivileged process needs for a filter.
    const bool loaded = built && ::seccomp_load(filter) == 0;
    ::seccomp_release(filter);
    return loaded;
}

NetworkIsolation isolateFromNetwork() {
    NetworkIsolation isolation;
    const ino_t before = networkNamespace();
    const std::string refusal = unshareNetwork();
    const ino_t after = networkNamespace();
    isolation.namespaceMade = refusal.empty() && before != 0 && after != 0 && after != before;
    if (!isolation.namespaceMade) {
        isolation.namespaceRefusal =
            refusal.empty() ? "the namespace was asked for but did not take effect" : refusal;
    }
    isolation.filterInstalled = refuseNetworkSockets();
    if (!isolation.namespaceMade && isolation.filterInstalled) {
        diagnose("the office engine runs without a network namespace of its own (" +
                 isolation.namespaceRefusal +
                 "); a system-call filter keeps it off the network instead.");
    } else if (!isolation.namespaceMade) {
        diagnose("the office engine may reach the network: " + isolation.namespaceRefusal +
                 ", and the kernel refused a system-call filter as well. Only the engine's own "
                 "settings keep it from fetching what a document links to.");
    } else if (!isolation.filterInstalled) {
        diagnose(
            "the kernel refused the system-call filter; the office engine's network "
            "namespace alone keeps it off the network.");
    } else {
        trace("network isolation: a network namespace of its own and a system-call filter.");
    }
    return isolation;
}

void cleanEnvironment() {
    std::vector<std::string> dropped;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable(*entry);
        const std::string name = variable.substr(0, variable.find('='));
        if (!keptVariable(name)) {
            dropped.push_back(name);
        }
    }
    for (const std::string& name : dropped) {
        ::unsetenv(name.c_str());
    }
}

std::vector<std::string> privateFolderVariables(const std::string& folder) {
    return {"TMPDIR=" + folder, "XDG_RUNTIME_DIR=" + folder};
}

void usePrivateFolder(const std::string& folder) {
    for (const std::string& variable : privateFolderVariables(folder)) {
        const std::size_t equals = variable.find('=');
        ::setenv(variable.substr(0, equals).c_str(), variable.substr(equals + 1).c_str(), 1);
    }
}

EngineLimits engineLimits(const std::string& program, const std::vector<std::string>& ownFolders,
                          const std::vector<std::string>& readOnlyFolders, EnginePipe pipe) {
    EngineLimits limits;
#if !defined(__SANITIZE_ADDRESS__)
    // A quarter of the memory, but never less than 4 GiB: the engine reserves far more address
    // space than it uses, and a small machine must still convert ordinary documents.
    constexpr unsigned long long kGiB = 1ULL << 30;
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    const unsigned long long memory =
        pages > 0 && pageSize > 0 ? static_cast<unsigned long long>(pages) * pageSize : 0;
    limits.addressSpace = std::max(4 * kGiB, memory / 4);
#endif
    // AddressSanitizer reserves terabytes of address space for its shadow memory: a test build
    // runs without the limit.
    // No file of a conversion is larger than Word writes a document (2 GB): a document that makes
    // the engine write more fills no disk, its write fails and the document is reported.
    limits.fileSize = 2ULL << 30;
    limits.readable = engineReadableFolders(program);
    limits.readable.insert(limits.readable.end(), readOnlyFolders.begin(), readOnlyFolders.end());
    limits.writable = ownFolders;
    limits.landlockAbi = landlockAbi();
    limits.pipe = pipe;
    limits.filter = engineFilter(pipe);
    if (limits.landlockAbi == 0 && !limits.readable.empty() && privateViewWorks()) {
        limits.view = privateView(limits.readable, limits.writable);
    }
    return limits;
}

void applyEngineLimits(const EngineLimits& limits) {
    if (limits.view) {
        enterPrivateView(*limits.view);
    }
    if (limits.addressSpace != 0) {
        const rlimit limit{limits.addressSpace, limits.addressSpace};
        ::setrlimit(RLIMIT_AS, &limit);
    }
    if (limits.fileSize != 0) {
        // A write past the limit fails (EFBIG) instead of ending the process with SIGXFSZ.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{limits.fileSize, limits.fileSize};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    // The first process the kernel ends when memory runs out, before the desktop or the program.
    writeFile("/proc/self/oom_score_adj", "1000");
    if (!limits.filter.empty()) {
        // The child's own copy of the filter, completed in place with its process number: no
        // allocation after a fork.
        sock_filter* const instructions = const_cast<sock_filter*>(limits.filter.data());
        const auto self = static_cast<std::uint32_t>(::getpid());
        for (std::size_t i = 0; i < limits.filter.size(); ++i) {
            if (BPF_CLASS(instructions[i].code) == BPF_JMP &&
                instructions[i].k == kOwnProcessPlaceholder) {
                instructions[i].k = self;
            }
        }
        sock_fprog program{static_cast<unsigned short>(limits.filter.size()), instructions};
        ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
        ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program);
    }
    if (!limits.readable.empty() && limits.landlockAbi > 0) {
        confineFiles(limits.landlockAbi, limits.readable, limits.writable, limits.pipe);
    }
}

bool confineToDocument(const std::string& program, const std::vector<std::string>& readOnly,
                       const std::vector<std::string>& own) {
    const int abi = landlockAbi();
    if (abi == 0) {
        return false;
    }
    std::vector<std::string> readable = engineReadableFolders(program);
    readable.insert(readable.end(), readOnly.begin(), readOnly.end());
    return confineFiles(abi, readable, own, EnginePipe::None);
}

bool reportFileConfinement() {
    landlock_ruleset_attr attributes{};
    attributes.handled_access_fs = kReadAccess;
    const int ruleset = createRuleset(&attributes, sizeof attributes, 0);
    if (ruleset < 0) {
        const std::string reason = std::strerror(errno);
        if (privateViewWorks()) {
            diagnose(
                "the kernel cannot limit which files the office engine reads and writes "
                "(Landlock: " +
                reason +
                "); every engine process gets a view of the file system of its own "
                "instead, which holds the system's files, the engine and the engine's "
                "working folders, and none of the user's.");
        } else {
            diagnose(
                "the office engine may read and change every file the user can: the kernel "
                "cannot limit it (Landlock: " +
                reason +
                ") and refuses the namespaces a view of the file system of its own needs. "
                "The engine still reaches no network, no other process and no socket, and "
                "runs no macro, but a document made to exploit a flaw in it could read or "
                "change the user's files: convert only documents you trust.");
        }
        return false;
    }
    ::close(ruleset);
    trace(
        "file access: the engine reads only its installation, the system's files and its "
        "working folders, and writes only in its working folders.");
    return true;
}

}  // namespace office
