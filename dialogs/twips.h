// SPDX-License-Identifier: MIT
// The dialogs are laid out in twips, as their sizes were designed; this places a widget's
// rectangle in the pixels of the screen it is shown on, by the program's one rule
// (core/twips.h).
#pragma once

#include <QRect>

class QWidget;

namespace dialogs {

// A rectangle given in twips, in the pixels of the widget's screen.
QRect TwipsRect(const QWidget& widget, int left, int top, int width, int height);

}  // namespace dialogs
