// SPDX-License-Identifier: MIT
// The shell's "open" operation: hands a file, folder or address to the program the desktop
// associates with it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/window.h"

namespace platform {

inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_SHOW = 5;

// Returns a value greater than 32 on success, 32 or less on failure.
using ShellBackend = std::function<std::intptr_t(
    Hwnd owner, const std::string& operation, const std::string& file,
    const std::string& parameters, const std::string& directory, int showCommand)>;

std::intptr_t ShellExecuteA(Hwnd owner, const std::string& operation, const std::string& file,
                            const std::string& parameters, const std::string& directory,
                            int showCommand);

// Replaces the backend (tests install a recorder; the GUI half installs the desktop's) and
// returns the previous one. The initial backend starts xdg-open.
ShellBackend SetShellBackend(ShellBackend backend);

}  // namespace platform
