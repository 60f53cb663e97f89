// SPDX-License-Identifier: MIT
// Opaque handle of a top-level window, handed to the shell and to the system dialogs as their
// owner. The GUI half maps it to a widget; code without a window passes kNoWindow.
#pragma once

#include <cstdint>

namespace platform {

using Hwnd = std::uintptr_t;
inline constexpr Hwnd kNoWindow = 0;

// Anything that owns a top-level window: the main window, a dialog, a test stand-in. The
// handle is read afresh each time it is needed; reading it may throw.
class WindowOwner {
 public:
    virtual ~WindowOwner() = default;
    virtual Hwnd hWnd() const = 0;
};

}  // namespace platform
