// SPDX-License-Identifier: MIT
#include "app/win32/winui_win32.h"

#include <cmath>
#include <string>
#include <vector>

#include "core/twips.h"
#include "platform/widetext_win32.h"

namespace app::win32 {

using core::TwipsToPixels;
using platform::Widen;

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr) {
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? dpi : 96;
}

HFONT CreatePointFont(std::wstring_view face, double points, bool bold) {
    LOGFONTW font{};
    // A negative height asks for the character height, which is what a point size measures.
    font.lfHeight = -static_cast<LONG>(std::lround(points * ScreenDpi() / 72.0));
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = CLEARTYPE_QUALITY;
    face.copy(font.lfFaceName, LF_FACESIZE - 1);
    return CreateFontIndirectW(&font);
}

HFONT CreateMessageFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0) != 0) {
        return CreateFontIndirectW(&metrics.lfMessageFont);
    }
    return CreatePointFont(L"Tahoma", 8);
}

HWND CreateControl(HWND parent, const wchar_t* windowClass, std::string_view text, ::DWORD style,
                   int id, int left, int top, int width, int height, HFONT font) {
    const int dpi = ScreenDpi();
    const std::wstring caption = Widen(text);
    HWND control = CreateWindowExW(
        0, windowClass, caption.c_str(), WS_CHILD | WS_VISIBLE | style, TwipsToPixels(left, dpi),
        TwipsToPixels(top, dpi), TwipsToPixels(width, dpi), TwipsToPixels(height, dpi), parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (control != nullptr && font != nullptr) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    return control;
}

HICON ProgramIcon(int size) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON,
                                         size, size, LR_SHARED));
}

WNDCLASSEXW WindowClass(const wchar_t* name, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hIcon = ProgramIcon(GetSystemMetrics(SM_CXICON));
    windowClass.hIconSm = ProgramIcon(GetSystemMetrics(SM_CXSMICON));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = name;
    return windowClass;
}

HWND CreateFixedDialogWindow(const wchar_t* windowClass, std::string_view title, int left, int top,
                             int width, int height, void* createParam) {
    constexpr ::DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    constexpr ::DWORD kExStyle = WS_EX_DLGMODALFRAME;
    const int dpi = ScreenDpi();
    // The client area where it belongs; the frame goes around it. The primary monitor's top-left
    // corner is the origin of screen coordinates.
    RECT frame{TwipsToPixels(left, dpi), TwipsToPixels(top, dpi),
               TwipsToPixels(left, dpi) + TwipsToPixels(width, dpi),
               TwipsToPixels(top, dpi) + TwipsToPixels(height, dpi)};
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);

    const std::wstring caption = Widen(title);
    return CreateWindowExW(kExStyle, windowClass, caption.c_str(), kStyle, frame.left, frame.top,
                           frame.right - frame.left, frame.bottom - frame.top, GetActiveWindow(),
                           nullptr, GetModuleHandleW(nullptr), createParam);
}

namespace {

struct ThreadWindows {
    HWND except;
    std::vector<HWND> disabled;
};

BOOL CALLBACK disableEnabledWindow(HWND window, LPARAM param) {
    auto* windows = reinterpret_cast<ThreadWindows*>(param);
    if (window != windows->except && IsWindowEnabled(window) != 0) {
        windows->disabled.push_back(window);
    }
    return TRUE;
}

}  // namespace

void RunModalWindow(HWND window, const std::function<bool()>& done,
                    const std::function<bool(const MSG&)>& keep) {
    // Collected first and disabled afterwards: disabling a window may change the list.
    ThreadWindows others{window, {}};
    EnumThreadWindows(GetCurrentThreadId(), disableEnabledWindow,
                      reinterpret_cast<LPARAM>(&others));
    for (HWND other : others.disabled) {
        EnableWindow(other, FALSE);
    }
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);

    MSG message{};
    while (!done()) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got < 0) {
            break;
        }
        if (keep && !keep(message)) {
            continue;
        }
        if (IsDialogMessageW(window, &message) == 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    for (HWND other : others.disabled) {
        if (IsWindow(other) != 0) {
            EnableWindow(other, TRUE);
        }
    }
    DestroyWindow(window);
}

}  // namespace app::win32
