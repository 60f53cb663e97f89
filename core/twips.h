// SPDX-License-Identifier: MIT
// The windows and dialogs are laid out in twips, 1440 to the inch, as they were designed; the
// screen's logical dots per inch turn them into pixels, each value rounded on its own. Every
// front end converts with this one rule, so that both draw the same layout.
#pragma once

#include <cmath>

namespace core {

inline constexpr int kTwipsPerInch = 1440;

// Twips as pixels at the given dots per inch, rounded to the nearest pixel.
inline int TwipsToPixels(int twips, int dpi) {
    return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / kTwipsPerInch));
}

}  // namespace core
