// SPDX-License-Identifier: MIT
// The program's pictures: SVG drawings in the resource ":/pictures", rendered at the pixel sizes
// the controls show them (and at twice those sizes for high-density screens).
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <initializer_list>

namespace app {

// Picture names: the file names in app/pictures without ".svg".
namespace pictures {
inline constexpr const char* kAddFolder = "add-folder";
inline constexpr const char* kAddWord = "add-word";
inline constexpr const char* kRemoveFile = "remove-file";
inline constexpr const char* kConvert = "convert";
inline constexpr const char* kHelp = "help";
inline constexpr const char* kHomePage = "homepage";
inline constexpr const char* kExit = "exit";
inline constexpr const char* kArrowUp = "arrow-up";
inline constexpr const char* kArrowDown = "arrow-down";
inline constexpr const char* kListDocument = "list-document";
inline constexpr const char* kListFolder = "list-folder";
inline constexpr const char* kListMissing = "list-missing";
}  // namespace pictures

// A null pixmap when the picture is missing or cannot be drawn.
QPixmap PicturePixmap(const char* name, int size, qreal devicePixelRatio = 1.0);

// An icon holding the picture at each of the given sizes; null when the picture is missing.
QIcon PictureIcon(const char* name, std::initializer_list<int> sizes);

}  // namespace app
