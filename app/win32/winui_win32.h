// SPDX-License-Identifier: MIT
// What the Win32 windows of the program (the main window, the settings dialog, the About box)
// share: controls placed in twips as the forms were laid out (core/twips.h), fonts by face and
// point size, the program's window class and the modal loop of its dialogs.
#pragma once

#include <windows.h>
// (windows.h first: the declarations below use its types.)
#include <functional>
#include <string_view>

#include "platform/window_win32.h"

namespace app::win32 {

// The dots per inch of the screen (the same horizontally and vertically on Windows).
int ScreenDpi();

// A font of the given face and size in points, at the screen's resolution; the caller deletes
// it with DeleteObject.
HFONT CreatePointFont(std::wstring_view face, double points, bool bold = false);

// The desktop's message font (as the system's own dialogs use); the caller deletes it.
HFONT CreateMessageFont();

// Creates a child control with the given window class, text and style, placed in twips within
// its parent's client area, with the given font; its identifier is id.
HWND CreateControl(HWND parent, const wchar_t* windowClass, std::string_view text, ::DWORD style,
                   int id, int left, int top, int width, int height, HFONT font);

// The program icon, the executable's icon resource 1 (the one Explorer shows), drawn for the
// given size in pixels; null when the executable has none. It is shared: never destroy it.
HICON ProgramIcon(int size);

// The class of a top-level window of the program: the program icon in its title bar, the face
// colour of dialogs behind its controls, the arrow pointer, messages to procedure. Change what
// differs, then register it.
WNDCLASSEXW WindowClass(const wchar_t* name, WNDPROC procedure);

// Creates a hidden top-level window of the given registered class with a fixed border (a caption
// with a close box, no resizing) around a client area of the given size in twips, whose top-left
// corner lies left, top twips from the top-left corner of the screen (the primary monitor's),
// wherever the main window is. The active window, if any, becomes its owner, so that it stays
// above it and off the taskbar. createParam is handed to WM_CREATE.
HWND CreateFixedDialogWindow(const wchar_t* windowClass, std::string_view title, int left, int top,
                             int width, int height, void* createParam);

// Shows the window and runs its messages until done() is true, modal to the thread: the thread's
// other top-level windows that are enabled are disabled meanwhile, and exactly those are enabled
// again before the function returns (and before the window is destroyed, so that the window that
// was active becomes active again). Keys go through IsDialogMessageW, so Tab moves between
// controls and Space presses buttons and ticks boxes; a message for which keep() is false is
// dropped first. A WM_QUIT ends the loop and is posted again for the caller's loop. The window is
// destroyed before the function returns.
void RunModalWindow(HWND window, const std::function<bool()>& done,
                    const std::function<bool(const MSG&)>& keep = {});

// A window procedure for a window that belongs to an object of its owner's, given as the last
// argument of CreateWindowExW: each message goes to the object's handle(window, message,
// wParam), and what it does not handle (it returns false) to DefWindowProcW.
template <typename Owner>
LRESULT CALLBACK OwnedWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* created = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(created->lpCreateParams));
    }
    auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (owner != nullptr && owner->handle(window, message, wParam)) {
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace app::win32
