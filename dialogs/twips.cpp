// SPDX-License-Identifier: MIT
#include "dialogs/twips.h"

#include <QWidget>

#include "core/twips.h"

namespace dialogs {

QRect TwipsRect(const QWidget& widget, int left, int top, int width, int height) {
    const int dpiX = widget.logicalDpiX();
    const int dpiY = widget.logicalDpiY();
    return QRect(core::TwipsToPixels(left, dpiX), core::TwipsToPixels(top, dpiY),
                 core::TwipsToPixels(width, dpiX), core::TwipsToPixels(height, dpiY));
}

}  // namespace dialogs
