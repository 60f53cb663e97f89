// SPDX-License-Identifier: MIT
// The window's layout is given in twips, 1440 to the inch; the screen's logical DPI turns them
// into pixels, each value rounded on its own.
#pragma once

#include <QRect>
#include <cmath>

namespace app {

inline constexpr int kTwipsPerInch = 1440;

inline int TwipsToPixels(int twips, int dpi) {
    return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / kTwipsPerInch));
}

inline QRect TwipsToPixels(int left, int top, int width, int height, int dpiX, int dpiY) {
    return QRect(TwipsToPixels(left, dpiX), TwipsToPixels(top, dpiY), TwipsToPixels(width, dpiX),
                 TwipsToPixels(height, dpiY));
}

}  // namespace app
