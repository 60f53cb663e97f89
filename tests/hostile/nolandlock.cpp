// SPDX-License-Identifier: MIT
// Preloaded by the containment tests to stand for a kernel without Landlock: the three Landlock
// system calls fail with ENOSYS, as they do where the kernel lacks it; every other system call
// goes through.
#include <dlfcn.h>
#include <sys/syscall.h>

#include <cerrno>
#include <cstdarg>

extern "C" long syscall(long number, ...) {
    if (number == SYS_landlock_create_ruleset || number == SYS_landlock_add_rule ||
        number == SYS_landlock_restrict_self) {
        errno = ENOSYS;
        return -1;
    }
    using Syscall = long (*)(long, ...);
    static auto next = reinterpret_cast<Syscall>(::dlsym(RTLD_NEXT, "syscall"));
    va_list rest;
    va_start(rest, number);
    long arguments[6];
    for (long& argument : arguments) {
        argument = va_arg(rest, long);
    }
    va_end(rest);
    return next(number, arguments[0], arguments[1], arguments[2], arguments[3], arguments[4],
                arguments[5]);
}
