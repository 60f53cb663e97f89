// SPDX-License-Identifier: MIT
// A stand-in for an exploit, for the containment tests: preloaded into pavendel-office (and, for
// the engine's own conversion, into the engine program), it waits until an engine process opens
// its private copy of a document named "compromised…". By then every confinement of
// that process is in force, as it would be when a document's exploit runs. It then tries what an
// attacker would, and replaces the document with an RTF page that lists the outcomes, one word
// per attack:
//
//   descriptor:open|closed        the descriptors the test planted (a secret file, a socket)
//   terminal:pushed|refused       typing into the controlling terminal (TIOCSTI)
//   create:done|refused           a new file in the test's home
//   append:done|refused           appending to a file there
//   delete:done|refused           removing a file there
//   truncate:done|refused         truncating a file there by its path
//   profile:changed|refused       writing into the prepared profile in the cache folder
//   other:read|refused            reading another engine's private copy in the cache folder
//   unixpath:connected|refused    connecting to the test's Unix socket by its path
//   unixabstract:connected|refused  the same, by an abstract name
//   signal:sent|refused           ending a process of the user's (the test's) with SIGTERM
//
// What to try on comes in $PAVENDEL_TEST_COMPROMISE, "key=value" pairs separated by ";": home,
// cache (the program's cache folder, holding the prepared profiles), other, socket, abstract, fds
// (a comma list), victim (a process number). The page also names the process it ran in.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>

namespace {

std::map<std::string, std::string> settings() {
    std::map<std::string, std::string> values;
    const char* text = std::getenv("PAVENDEL_TEST_COMPROMISE");
    std::istringstream pairs(text != nullptr ? text : "");
    for (std::string pair; std::getline(pairs, pair, ';');) {
        const std::size_t equals = pair.find('=');
        if (equals != std::string::npos) {
            values[pair.substr(0, equals)] = pair.substr(equals + 1);
        }
    }
    return values;
}

using OpenFunction = int (*)(const char*, int, ...);
using OpenAtFunction = int (*)(int, const char*, int, ...);

int realOpen(const char* path, int flags) {
    static auto next = reinterpret_cast<OpenFunction>(::dlsym(RTLD_NEXT, "open"));
    return next(path, flags | O_CLOEXEC, 0600);
}

std::string outcome(bool succeeded, const char* done, const char* refused) {
    return succeeded ? done : refused;
}

bool connectTo(const std::string& name, bool abstract) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t offset = abstract ? 1 : 0;
    std::memcpy(address.sun_path + offset, name.data(),
                std::min(name.size(), sizeof address.sun_path - 1 - offset));
    const auto length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + name.size());
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                           ::write(fd, "compromised", 11) == 11;
    ::close(fd);
    return connected;
}

std::string attack() {
    std::map<std::string, std::string> given = settings();
    std::string found;
    const auto add = [&found](const std::string& word) { found += " " + word; };

    bool anyOpen = false;
    std::istringstream fds(given["fds"]);
    for (std::string fd; std::getline(fds, fd, ',');) {
        const int number = std::atoi(fd.c_str());
        if (number > 2 && ::fcntl(number, F_GETFD) != -1) {
            anyOpen = true;
            // What a thief would do with them: read the file, write to the socket.
            char buffer[16];
            const ssize_t ignored = ::pread(number, buffer, sizeof buffer, 0) +
                                    ::send(number, "compromised", 11, MSG_NOSIGNAL);
            (void)ignored;
        }
    }
    add(outcome(anyOpen, "descriptor:open", "descriptor:closed"));

    bool pushed = false;
    const int terminal = realOpen("/dev/tty", O_RDWR | O_NOCTTY);
    if (terminal >= 0) {
        const char key = '#';
        pushed = ::ioctl(terminal, TIOCSTI, &key) == 0;
        ::close(terminal);
    }
    add(outcome(pushed, "terminal:pushed", "terminal:refused"));

    const std::string home = given["home"];
    const int created = realOpen((home + "/created-by-document").c_str(), O_WRONLY | O_CREAT);
    add(outcome(created >= 0, "create:done", "create:refused"));
    if (created >= 0) {
        ::close(created);
    }
    const int appended = realOpen((home + "/.bashrc").c_str(), O_WRONLY | O_APPEND);
    bool appendedSome = false;
    if (appended >= 0) {
        appendedSome = ::write(appended, "echo compromised\n", 17) == 17;
        ::close(appended);
    }
    add(outcome(appendedSome, "append:done", "append:refused"));
    add(outcome(::unlink((home + "/victim").c_str()) == 0, "delete:done", "delete:refused"));
    add(outcome(::truncate((home + "/keep").c_str(), 0) == 0, "truncate:done", "truncate:refused"));

    bool changed = false;
    if (DIR* cache = ::opendir(given["cache"].c_str())) {
        while (const dirent* entry = ::readdir(cache)) {
            if (std::strncmp(entry->d_name, "profile-", 8) != 0) {
                continue;
            }
            const std::string settings =
                given["cache"] + "/" + entry->d_name + "/user/registrymodifications.xcu";
            const int profile = realOpen(settings.c_str(), O_WRONLY | O_APPEND);
            if (profile >= 0) {
                changed = ::write(profile, "<!-- compromised -->\n", 21) == 21 || changed;
                ::close(profile);
            }
        }
        ::closedir(cache);
    }
    add(outcome(changed, "profile:changed", "profile:refused"));

    const int other = realOpen(given["other"].c_str(), O_RDONLY);
    bool read = false;
    if (other >= 0) {
        char buffer[64];
        read = ::read(other, buffer, sizeof buffer) > 0;
        ::close(other);
    }
    add(outcome(read, "other:read", "other:refused"));

    add(outcome(connectTo(given["socket"], false), "unixpath:connected", "unixpath:refused"));
    add(outcome(connectTo(given["abstract"], true), "unixabstract:connected",
                "unixabstract:refused"));
    const int victim = std::atoi(given["victim"].c_str());
    add(outcome(victim > 0 && ::kill(victim, SIGTERM) == 0, "signal:sent", "signal:refused"));

    char name[32] = {};
    const int comm = realOpen("/proc/self/comm", O_RDONLY);
    if (comm >= 0) {
        const ssize_t n = ::read(comm, name, sizeof name - 1);
        name[n > 0 ? n - 1 : 0] = '\0';
        ::close(comm);
    }
    add(std::string("process:") + name);
    return found;
}

// Runs the attack once, when the path is a private copy of a "compromised" document opened by the
// engine (not made: the server creates the copy), and puts the page with its outcomes in the
// document's place.
void maybeAttack(const char* path, int flags) {
    static bool done = false;
    if (done || path == nullptr || (flags & O_CREAT) != 0 ||
        std::strstr(path, "/in/compromised") == nullptr) {
        return;
    }
    done = true;
    const std::string page = "{\\rtf1\\ansi outcomes:" + attack() + " end}";
    const int fd = realOpen(path, O_WRONLY | O_TRUNC);
    if (fd >= 0) {
        const ssize_t ignored = ::write(fd, page.data(), page.size());
        (void)ignored;
        ::close(fd);
    }
}

}  // namespace

extern "C" {

// The engine's ways of opening a file for reading; each looks at the path first, then opens as
// asked.
int open(const char* path, int flags, ...) {
    static auto next = reinterpret_cast<OpenFunction>(::dlsym(RTLD_NEXT, "open"));
    va_list rest;
    va_start(rest, flags);
    const mode_t mode = (flags & O_CREAT) != 0 ? va_arg(rest, mode_t) : 0;
    va_end(rest);
    maybeAttack(path, flags);
    return next(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    static auto next = reinterpret_cast<OpenFunction>(::dlsym(RTLD_NEXT, "open64"));
    va_list rest;
    va_start(rest, flags);
    const mode_t mode = (flags & O_CREAT) != 0 ? va_arg(rest, mode_t) : 0;
    va_end(rest);
    maybeAttack(path, flags);
    return next(path, flags, mode);
}

int openat(int folder, const char* path, int flags, ...) {
    static auto next = reinterpret_cast<OpenAtFunction>(::dlsym(RTLD_NEXT, "openat"));
    va_list rest;
    va_start(rest, flags);
    const mode_t mode = (flags & O_CREAT) != 0 ? va_arg(rest, mode_t) : 0;
    va_end(rest);
    maybeAttack(path, flags);
    return next(folder, path, flags, mode);
}

int openat64(int folder, const char* path, int flags, ...) {
    static auto next = reinterpret_cast<OpenAtFunction>(::dlsym(RTLD_NEXT, "openat64"));
    va_list rest;
    va_start(rest, flags);
    const mode_t mode = (flags & O_CREAT) != 0 ? va_arg(rest, mode_t) : 0;
    va_end(rest);
    maybeAttack(path, flags);
    return next(folder, path, flags, mode);
}

}  // extern "C"
