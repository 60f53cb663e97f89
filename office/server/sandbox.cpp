// SPDX-License-Identifier: MIT
#include "office/server/sandbox.h"

#include <fcntl.h>
#include <linux/landlock.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

#include "office/server/diagnostics.h"
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

// What the file confinement governs: opening files for reading and listing folders. Writing is
// left alone, since what the engine writes is confined to its working folders by its settings.
constexpr std::uint64_t kReadAccess = LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_READ_DIR;

int createRuleset(const landlock_ruleset_attr* attributes, std::size_t size, std::uint32_t flags) {
    return static_cast<int>(::syscall(SYS_landlock_create_ruleset, attributes, size, flags));
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
// engine's installation and its working folders in the cache folder, and the user's own fonts
// and font settings.
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
    try {
        candidates.push_back(cacheFolder());
    } catch (const std::exception&) {
        // No cache folder: the engine cannot run either, and says so itself.
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

// Refuses this process and its descendants every read outside the folders. Only system calls on
// what was prepared before: safe in a forked child.
bool confineReading(const std::vector<std::string>& readable) {
    landlock_ruleset_attr attributes{};
    attributes.handled_access_fs = kReadAccess;
    const int ruleset = createRuleset(&attributes, sizeof attributes, 0);
    if (ruleset < 0) {
        return false;
    }
    for (const std::string& folder : readable) {
        const int fd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        landlock_path_beneath_attr rule{};
        rule.allowed_access = kReadAccess;
        rule.parent_fd = fd;
        ::syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &rule, 0);
        ::close(fd);
    }
    // Set already by the system-call filter; asked again in case the kernel refused that.
    ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    const bool confined = ::syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
    ::close(ruleset);
    return confined;
}

}  // namespace

bool refuseNetworkSockets() {
    scmp_filter_ctx filter = ::seccomp_init(SCMP_ACT_ALLOW);
    if (filter == nullptr) {
        return false;
    }
    // Sockets of every family but AF_UNIX: the engine and its libraries only ever need local
    // ones, and a document that makes it fetch a URL then finds no way out. io_uring could make
    // a socket without the system call, so it is refused as well.
    // The first argument (the family) other than AF_UNIX; spelled out rather than with
    // SCMP_A0, whose compound literal is not C++.
    const scmp_arg_cmp notUnix{0, SCMP_CMP_NE, AF_UNIX, 0};
    const bool built =
        ::seccomp_rule_add_array(filter, SCMP_ACT_ERRNO(EACCES), SCMP_SYS(socket), 1, &notUnix) ==
            0 &&
        ::seccomp_rule_add_array(filter, SCMP_ACT_ERRNO(EACCES), SCMP_SYS(socketpair), 1,
                                 &notUnix) == 0 &&
        ::seccomp_rule_add(filter, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(io_uring_setup), 0) == 0;
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

EngineLimits engineLimits(const std::string& program) {
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
    limits.readable = engineReadableFolders(program);
    return limits;
}

void applyEngineLimits(const EngineLimits& limits) {
    if (limits.addressSpace != 0) {
        const rlimit limit{limits.addressSpace, limits.addressSpace};
        ::setrlimit(RLIMIT_AS, &limit);
    }
    // The first process the kernel ends when memory runs out, before the desktop or the program.
    writeFile("/proc/self/oom_score_adj", "1000");
    if (!limits.readable.empty()) {
        confineReading(limits.readable);
    }
}

bool reportFileConfinement() {
    landlock_ruleset_attr attributes{};
    attributes.handled_access_fs = kReadAccess;
    const int ruleset = createRuleset(&attributes, sizeof attributes, 0);
    if (ruleset < 0) {
        diagnose(std::string("the office engine may read every file the user can (the kernel "
                             "cannot limit it: ") +
                 std::strerror(errno) +
                 "); only the engine's own settings keep a document from reading local files it "
                 "links to.");
        return false;
    }
    ::close(ruleset);
    trace(
        "file access: the engine reads only its installation, the system's files and its "
        "working folders.");
    return true;
}

}  // namespace office
