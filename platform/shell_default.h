// SPDX-License-Identifier: MIT
// The system's own way of opening a file or folder, which ShellExecuteA uses until a test sets
// another backend: xdg-open on POSIX desktops (shell_posix.cpp), ShellExecuteW on Windows
// (shell_win32.cpp).
#pragma once

#include "platform/shell.h"

namespace platform {

ShellBackend DefaultShellBackend();

}  // namespace platform
