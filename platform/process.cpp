// SPDX-License-Identifier: MIT
#include "platform/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace platform {

int OpenProcessDescriptor(pid_t pid) {
    // glibc's own declaration of pidfd_open lacks C linkage in C++ on some releases, so the
    // system call is made directly.
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

bool SignalProcessDescriptor(int pidfd, int signal) {
    return pidfd >= 0 && ::syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0) == 0;
}

void CloseQuietly(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

bool DieWithParent(pid_t parent) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have ended before the request: then nobody would send the signal.
    return parent > 0 ? ::getppid() == parent : ::getppid() != 1;
}

void SetCloseOnExec(int fd) {
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

void SilenceStandardStreams(bool input) {
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null < 0) {
        return;
    }
    if (input) {
        ::dup2(null, STDIN_FILENO);
    }
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    if (null > STDERR_FILENO) {
        ::close(null);
    }
}

std::vector<int> OpenDescriptors() {
    std::vector<int> open;
    DIR* folder = ::opendir("/proc/self/fd");
    if (folder == nullptr) {
        return open;
    }
    const int own = ::dirfd(folder);
    while (const dirent* entry = ::readdir(folder)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end != entry->d_name && *end == '\0' && fd > STDERR_FILENO && fd != own) {
            open.push_back(static_cast<int>(fd));
        }
    }
    ::closedir(folder);
    std::sort(open.begin(), open.end());
    return open;
}

void CloseDescriptorsExcept(const int* kept, std::size_t count) {
    unsigned int next = STDERR_FILENO + 1;
    for (std::size_t i = 0; i < count; ++i) {
        const auto fd = static_cast<unsigned int>(kept[i]);
        if (fd > next) {
            ::close_range(next, fd - 1, 0);
        }
        if (fd >= next) {
            next = fd + 1;
        }
    }
    ::close_range(next, ~0U, 0);
}

}  // namespace platform
