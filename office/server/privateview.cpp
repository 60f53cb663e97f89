// SPDX-License-Identifier: MIT
#include "office/server/privateview.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "office/server/profile.h"

namespace office {

namespace {

bool below(const std::string& path, const std::string& folder) {
    return path == folder ||
           (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
            (folder == "/" || path[folder.size()] == '/'));
}

// Writes "/proc/self/fd/<fd>" into buffer, without the library's formatting, which a forked
// child may not use.
const char* descriptorPath(int fd, char (&buffer)[32]) {
    const char prefix[] = "/proc/self/fd/";
    std::size_t at = 0;
    for (const char c : std::string_view(prefix, sizeof prefix - 1)) {
        buffer[at++] = c;
    }
    char digits[12];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + fd % 10);
        fd /= 10;
    } while (fd > 0 && count < 11);
    while (count > 0) {
        buffer[at++] = digits[--count];
    }
    buffer[at] = '\0';
    return buffer;
}

// The flags of the mount a folder is on that a bind of it must keep when it is made read-only:
// the kernel refuses to lift them in a namespace of the user's.
unsigned long lockedFlags(const struct statvfs& info) {
    unsigned long flags = 0;
    flags |= (info.f_flag & ST_NOSUID) != 0 ? MS_NOSUID : 0;
    flags |= (info.f_flag & ST_NODEV) != 0 ? MS_NODEV : 0;
    flags |= (info.f_flag & ST_NOEXEC) != 0 ? MS_NOEXEC : 0;
    flags |= (info.f_flag & ST_NOATIME) != 0 ? MS_NOATIME : 0;
    flags |= (info.f_flag & ST_NODIRATIME) != 0 ? MS_NODIRATIME : 0;
    flags |= (info.f_flag & ST_RELATIME) != 0 ? MS_RELATIME : 0;
    return flags;
}

// Ends this process as the process it waited for ended.
[[noreturn]] void endAs(int status) {
    if (WIFSIGNALED(status)) {
        ::signal(WTERMSIG(status), SIG_DFL);
        ::kill(::getpid(), WTERMSIG(status));
        ::_exit(128 + WTERMSIG(status));
    }
    ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
}

}  // namespace

void enterPrivateView(const PrivateView& view) {
    int* const descriptors = const_cast<int*>(view.descriptors.data());
    if (::unshare(CLONE_NEWNS | CLONE_NEWPID) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        ::_exit(126);
    }
    const pid_t engine = ::fork();
    if (engine < 0) {
        ::_exit(126);
    }
    if (engine > 0) {
        // Holds nothing of the engine's, so that its pipes end when the engine ends.
        ::close_range(STDERR_FILENO + 1, ~0U, 0);
        int status = 0;
        while (::waitpid(engine, &status, 0) < 0) {
            if (errno != EINTR) {
                ::_exit(126);
            }
        }
        endAs(status);
    }
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // A /proc of the new process namespace: the entries of other processes, through which their
    // view of the file system could be reached, are not in it.
    if (::mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) != 0) {
        ::_exit(126);
    }
    // Best effort: a system folder that cannot be made read-only stays as the user may use it.
    for (const std::string& folder : view.readOnly) {
        const char* const path = folder.c_str();
        struct statvfs info {};
        if (::statvfs(path, &info) == 0 &&
            ::mount(path, path, nullptr, MS_BIND | MS_REC, nullptr) == 0) {
            ::mount(nullptr, path, nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY | lockedFlags(info),
                    nullptr);
        }
    }
    // Opened in the new mount namespace (a bind takes only what is in the namespace), before
    // the folders are covered.
    for (std::size_t i = 0; i < view.shown.size(); ++i) {
        descriptors[i] = ::open(view.shown[i].path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    for (const std::string& folder : view.covered) {
        const char* const path = folder.c_str();
        const bool shared = folder == "/tmp" || folder == "/var/tmp" || folder == "/dev/shm";
        if (::mount("tmpfs", path, "tmpfs", MS_NOSUID | MS_NODEV,
                    shared ? "mode=1777,size=64m" : "mode=0755,size=64m") != 0) {
            ::_exit(126);
        }
    }
    for (const std::string& folder : view.made) {
        ::mkdir(folder.c_str(), 0755);
    }
    for (std::size_t i = 0; i < view.shown.size(); ++i) {
        if (descriptors[i] < 0) {
            continue;  // gone meanwhile: nothing to show
        }
        char source[32];
        const char* const target = view.shown[i].path.c_str();
        if (::mount(descriptorPath(descriptors[i], source), target, nullptr, MS_BIND | MS_REC,
                    nullptr) != 0) {
            ::_exit(126);
        }
        struct statvfs info {};
        if (!view.shown[i].writable && ::fstatvfs(descriptors[i], &info) == 0) {
            ::mount(nullptr, target, nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY | lockedFlags(info),
                    nullptr);
        }
        ::close(descriptors[i]);
    }
    // No capability is left to undo any of it (the filter refuses the calls as well).
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[2] = {};
    ::syscall(SYS_capset, &header, none);
}

bool privateViewWorks() {
    static const bool works = [] {
        const pid_t child = ::fork();
        if (child == 0) {
            if (::unshare(CLONE_NEWNS | CLONE_NEWPID) != 0 ||
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
                ::_exit(1);
            }
            const pid_t inner = ::fork();
            if (inner == 0) {
                const bool mounted =
                    ::mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) ==
                        0 &&
                    ::mount("tmpfs", "/tmp", "tmpfs", MS_NOSUID | MS_NODEV, "size=1m") == 0;
                ::_exit(mounted ? 0 : 1);
            }
            int status = 1;
            ::waitpid(inner, &status, 0);
            ::_exit(WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1);
        }
        int status = 1;
        if (child < 0 || ::waitpid(child, &status, 0) != child) {
            return false;
        }
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }();
    return works;
}

PrivateView privateView(const std::vector<std::string>& readable,
                        const std::vector<std::string>& writable) {
    namespace fs = std::filesystem;
    PrivateView view;
    // Every top-level folder but the system's is covered, and so are the shared temporary
    // folders and the cache, wherever it is: the user's files may be anywhere else.
    static const char* const system[] = {"usr", "etc",  "lib",  "lib32", "lib64", "libx32",
                                         "bin", "sbin", "proc", "sys",   "dev",   "var"};
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/", error)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_symlink(error) || !entry.is_directory(error)) {
            continue;
        }
        if (std::none_of(std::begin(system), std::end(system),
                         [&name](const char* kept) { return name == kept; })) {
            view.covered.push_back(entry.path().string());
        } else if (name != "proc" && name != "sys" && name != "dev") {
            view.readOnly.push_back(entry.path().string());
        }
    }
    for (const char* shared : {"/var/tmp", "/dev/shm"}) {
        if (fs::is_directory(shared, error) && !fs::is_symlink(shared, error)) {
            view.covered.push_back(shared);
        }
    }
    const auto covered = [&view](const std::string& path) {
        return std::any_of(view.covered.begin(), view.covered.end(),
                           [&path](const std::string& folder) { return below(path, folder); });
    };
    try {
        const std::string cache = fs::weakly_canonical(cacheFolder()).string();
        if (!covered(cache)) {
            view.covered.push_back(cache);
        }
    } catch (const std::exception&) {
        // No cache folder: the engine's folders are elsewhere, and shown below.
    }

    // What the engine needs of the covered folders: its own (writable), and what it reads there
    // (its installation, fonts, a shared profile; the libraries preloaded into the program and
    // the program's own folder, from which it loads its conversion module).
    std::vector<PrivateView::Shown> wanted;
    for (const std::string& folder : writable) {
        wanted.push_back({folder, true});
    }
    std::vector<std::string> readOnly = readable;
    if (const char* preload = std::getenv("LD_PRELOAD"); preload != nullptr) {
        std::string list(preload);
        for (std::size_t start = 0; start <= list.size();) {
            const std::size_t end = std::min(list.find_first_of(": ", start), list.size());
            const std::string library = list.substr(start, end - start);
            if (!library.empty() && library[0] == '/') {
                readOnly.push_back(fs::path(library).parent_path().string());
            }
            start = end + 1;
        }
    }
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        readOnly.push_back(self.parent_path().string());
    }
    for (const std::string& folder : readOnly) {
        wanted.push_back({folder, false});
    }
    for (PrivateView::Shown& shown : wanted) {
        std::error_code ignored;
        const fs::path real = fs::canonical(shown.path, ignored);
        if (ignored || !fs::is_directory(real, ignored) || !covered(real.string())) {
            continue;
        }
        shown.path = real.string();
        const bool already =
            std::any_of(view.shown.begin(), view.shown.end(), [&shown](const auto& earlier) {
                return earlier.writable == shown.writable && below(shown.path, earlier.path);
            });
        if (!already) {
            view.shown.push_back(shown);
        }
    }
    // Parents first, so that a folder shown inside another one is shown on top of it.
    std::stable_sort(view.shown.begin(), view.shown.end(), [](const auto& a, const auto& b) {
        return std::count(a.path.begin(), a.path.end(), '/') <
               std::count(b.path.begin(), b.path.end(), '/');
    });
    for (const PrivateView::Shown& shown : view.shown) {
        // The folders between the covering folder and the shown one, which the covering one no
        // longer holds.
        std::vector<std::string> chain;
        for (fs::path folder = shown.path; std::find(view.covered.begin(), view.covered.end(),
                                                     folder.string()) == view.covered.end() &&
                                           folder != folder.parent_path();
             folder = folder.parent_path()) {
            chain.push_back(folder.string());
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            if (std::find(view.made.begin(), view.made.end(), *it) == view.made.end()) {
                view.made.push_back(*it);
            }
        }
    }
    view.descriptors.assign(view.shown.size(), -1);
    return view;
}

}  // namespace office
