// SPDX-License-Identifier: MIT
// The window's texts are laid out for Arial (and MS Sans Serif on the arrow buttons). Where
// those families are not installed they resolve to Liberation Sans, whose letters have Arial's
// widths, so the captions fit the controls the way they were measured.
#pragma once

#include <QFont>

namespace app {

inline constexpr const char* kMetricCompatibleFamily = "Liberation Sans";

// Registers the substitutes; a real Arial, when installed, is still preferred.
void UseMetricCompatibleFonts();

QFont ArialFont(qreal points);
QFont MsSansSerifFont(qreal points);

}  // namespace app
