// SPDX-License-Identifier: MIT
#include "platform/winui_win32.h"

#include <cmath>
#include <string>

#include "platform/widetext_win32.h"

namespace platform {

int TwipsToPixels(int twips, int dpi) {
    return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / kTwipsPerInch));
}

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

HWND CreateControl(HWND parent, const wchar_t* windowClass, std::string_view text, DWORD style,
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

}  // namespace platform
