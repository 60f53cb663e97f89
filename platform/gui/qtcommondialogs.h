// SPDX-License-Identifier: MIT
// The common dialogs on Qt: QFileDialog for open, save and folder, QColorDialog, QFontDialog,
// QPrintDialog, QPageSetupDialog as a printer's property sheet, QPrinterInfo for the default
// printer, and the logical resolution of the screen.
#pragma once

#include <QString>
#include <optional>
#include <string>

namespace platform::gui {

// What a file or folder dialog chose, as the program's string. Qt shows a name that is not
// UTF-8 with a replacement character and hands back a path that names another file or none;
// such a choice is refused with a message, and nothing is returned. The
// path that must exist is the chosen one itself, or for a file still to be saved its folder.
std::optional<std::string> ExactChosenPath(const QString& chosen, bool mayBeNew);

// Installs the Qt dialogs as the backend of the common dialog calls. Needs a QApplication.
void InstallQtCommonDialogs();

}  // namespace platform::gui
