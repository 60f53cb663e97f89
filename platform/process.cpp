// SPDX-License-Identifier: MIT
#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

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

}  // namespace platform
