// SPDX-License-Identifier: MIT
// The common dialogs on Qt: QFileDialog for open, save and folder, QColorDialog, QFontDialog,
// QPrintDialog, QPageSetupDialog as a printer's property sheet, QPrinterInfo for the default
// printer, and the logical resolution of the screen.
#pragma once

namespace platform::gui {

// Installs the Qt dialogs as the backend of the common dialog calls. Needs a QApplication.
void InstallQtCommonDialogs();

}  // namespace platform::gui
