// SPDX-License-Identifier: MIT
// The system's own ways of opening a file or folder and of asking the user, which ShellExecuteA
// and MsgBox use until a front end or a test sets other backends: xdg-open and standard error on
// POSIX systems (shell_posix.cpp, msgbox_posix.cpp), ShellExecuteW and MessageBoxW on Windows
// (shell_win32.cpp, msgbox_win32.cpp).
#pragma once

#include "platform/msgbox.h"
#include "platform/shell.h"

namespace platform {

ShellBackend DefaultShellBackend();
MessageBoxBackend DefaultMessageBoxBackend();

}  // namespace platform
