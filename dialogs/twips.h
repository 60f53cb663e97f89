// SPDX-License-Identifier: MIT
// The dialogs are laid out in twips (1/1440 inch), as their sizes were designed; these helpers
// turn twips into the pixels of the screen a widget is shown on.
#pragma once

#include <QRect>

class QWidget;

namespace dialogs {

// round(twips * dpi / 1440).
int TwipsToPixels(int twips, int dpi);

// A rectangle given in twips, in the pixels of the widget's screen.
QRect TwipsRect(const QWidget& widget, int left, int top, int width, int height);

}  // namespace dialogs
