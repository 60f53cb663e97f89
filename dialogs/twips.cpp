// SPDX-License-Identifier: MIT
#include "dialogs/twips.h"

#include <QWidget>
#include <cmath>

namespace dialogs {

namespace {

constexpr double kTwipsPerInch = 1440.0;

}  // namespace

int TwipsToPixels(int twips, int dpi) {
    return static_cast<int>(std::lround(twips * dpi / kTwipsPerInch));
}

QRect TwipsRect(const QWidget& widget, int left, int top, int width, int height) {
    const int dpiX = widget.logicalDpiX();
    const int dpiY = widget.logicalDpiY();
    return QRect(TwipsToPixels(left, dpiX), TwipsToPixels(top, dpiY), TwipsToPixels(width, dpiX),
                 TwipsToPixels(height, dpiY));
}

}  // namespace dialogs
