// SPDX-License-Identifier: MIT
// What a window, an icon or a pointer shows, pixel by pixel, for the tests of the Windows
// program's windows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace testsupport {

struct Pixels {
    int width = 0;
    int height = 0;
    // Row by row from the top.
    std::vector<COLORREF> colours;

    COLORREF at(int x, int y) const {
        return colours[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                       static_cast<std::size_t>(x)];
    }
    bool operator==(const Pixels&) const = default;
};

// What draw() paints into a 32-bit bitmap of the given size that was filled with background.
inline Pixels Drawn(int width, int height, COLORREF background,
                    const std::function<void(HDC)>& draw) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    Pixels pixels{width, height, {}};
    if (bitmap == nullptr) {
        DeleteDC(dc);
        return pixels;
    }
    HGDIOBJ previous = SelectObject(dc, bitmap);
    RECT all{0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(background);
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    draw(dc);
    GdiFlush();
    const auto* quads = static_cast<const std::uint32_t*>(bits);
    for (int i = 0; i < width * height; ++i) {
        const std::uint32_t quad = quads[i];
        pixels.colours.push_back(RGB((quad >> 16) & 0xFF, (quad >> 8) & 0xFF, quad & 0xFF));
    }
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return pixels;
}

// An icon or a pointer drawn at the given size over the background.
inline Pixels IconPixels(HICON icon, int size, COLORREF background) {
    return Drawn(size, size, background,
                 [&](HDC dc) { DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL); });
}

// A window as it draws itself when printed, its frame included.
inline Pixels WindowPixels(HWND window) {
    RECT frame{};
    GetWindowRect(window, &frame);
    return Drawn(frame.right - frame.left, frame.bottom - frame.top, RGB(0, 0, 0),
                 [&](HDC dc) { PrintWindow(window, dc, 0); });
}

// The icon the window's title bar shows: its own small or large one, else its class's.
inline HICON CaptionIcon(HWND window) {
    for (const WPARAM kind : {ICON_SMALL, ICON_BIG}) {
        if (auto icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, kind, 0))) {
            return icon;
        }
    }
    for (const int kind : {GCLP_HICONSM, GCLP_HICON}) {
        if (auto icon = reinterpret_cast<HICON>(GetClassLongPtrW(window, kind))) {
            return icon;
        }
    }
    return nullptr;
}

// The program icon of the running executable (icon resource 1) at the given size, drawn.
inline Pixels ProgramIconPixels(int size, COLORREF background) {
    auto icon = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
    if (icon == nullptr) {
        return Pixels{};
    }
    Pixels pixels = IconPixels(icon, size, background);
    DestroyIcon(icon);
    return pixels;
}

}  // namespace testsupport
