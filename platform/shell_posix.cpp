// SPDX-License-Identifier: MIT
// Opening a file or folder with the desktop's own program, on POSIX desktops.
#include <sys/wait.h>
#include <unistd.h>

#include "platform/shell.h"
#include "platform/systembackends.h"

namespace platform {

namespace {

// Starts xdg-open in the background and does not wait for the program it opens. A second fork
// leaves the opened program to init, so no zombie remains.
std::intptr_t openWithXdg(Hwnd, const std::string& operation, const std::string& file,
                          const std::string&, const std::string&, int) {
    if (operation != "open" || file.empty()) {
        return 2;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        return 0;
    }
    if (child == 0) {
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            const char* argv[] = {"xdg-open", file.c_str(), nullptr};
            ::execvp("xdg-open", const_cast<char* const*>(argv));
            ::_exit(127);
        }
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 42 : 0;
}

}  // namespace

ShellBackend DefaultShellBackend() {
    return openWithXdg;
}

}  // namespace platform
