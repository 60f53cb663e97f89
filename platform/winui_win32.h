// SPDX-License-Identifier: MIT
// What the Win32 windows of the program (the main window, the settings dialog, the About box)
// share: positions given in twips as the forms were laid out, fonts by face and point size, and
// the handle conversions between the program's Hwnd and the system's HWND.
#pragma once

#include <windows.h>
// (windows.h first: the declarations below use its types.)
#include <string_view>

#include "platform/window.h"

namespace platform {

inline constexpr int kTwipsPerInch = 1440;

// Twips as pixels at the given dots per inch, rounded to the nearest pixel.
int TwipsToPixels(int twips, int dpi);

// The dots per inch of the screen (the same horizontally and vertically on Windows).
int ScreenDpi();

// A font of the given face and size in points, at the screen's resolution; the caller deletes
// it with DeleteObject.
HFONT CreatePointFont(std::wstring_view face, double points, bool bold = false);

// The desktop's message font (as the system's own dialogs use); the caller deletes it.
HFONT CreateMessageFont();

// Creates a child control with the given window class, text and style, placed in twips within
// its parent's client area, with the given font; its identifier is id.
HWND CreateControl(HWND parent, const wchar_t* windowClass, std::string_view text, DWORD style,
                   int id, int left, int top, int width, int height, HFONT font);

inline HWND ToHWND(Hwnd window) {
    return reinterpret_cast<HWND>(window);
}
inline Hwnd FromHWND(HWND window) {
    return reinterpret_cast<Hwnd>(window);
}

}  // namespace platform
