// SPDX-License-Identifier: MIT
// The system's own ways of opening a file or folder, of asking the user and of showing the common
// dialogs, which ShellExecuteA, MsgBox and the calls of commdlg.h use until a front end or a test
// sets other backends: xdg-open, standard error and no desktop at all on POSIX systems
// (shell_posix.cpp, msgbox_posix.cpp, commdlg_posix.cpp), ShellExecuteW, MessageBoxW and the
// system's common dialogs on Windows (shell_win32.cpp, msgbox_win32.cpp, commdlg_win32.cpp).
#pragma once

#include "platform/msgbox.h"
#include "platform/shell.h"

namespace platform {

// (Declared here without commdlg.h, whose names windows.h would take over as macros.)
class CommonDialogBackend;

ShellBackend DefaultShellBackend();
MessageBoxBackend DefaultMessageBoxBackend();
// Lives as long as the program.
CommonDialogBackend& DefaultCommonDialogBackend();

}  // namespace platform
