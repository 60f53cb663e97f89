// SPDX-License-Identifier: MIT
// The program's window handle (platform/window.h) and the system's HWND, one for the other.
#pragma once

#include <windows.h>

#include "platform/window.h"

namespace platform {

inline HWND ToHWND(Hwnd window) {
    return reinterpret_cast<HWND>(window);
}
inline Hwnd FromHWND(HWND window) {
    return reinterpret_cast<Hwnd>(window);
}

}  // namespace platform
