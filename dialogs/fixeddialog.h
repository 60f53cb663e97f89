// SPDX-License-Identifier: MIT
// What the settings dialog and the About box share: a caption with a close box only (no
// minimise or maximise box, no resizing), the program icon, Arial 8.4 pt, and a client area of
// fixed size at a fixed place on the screen. Qt marks a dialog without a parent as transient for
// the application, and desktops leave such windows off the taskbar.
#pragma once

#include <QDialog>

namespace dialogs {

inline constexpr Qt::WindowFlags kFixedDialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
    Qt::MSWindowsFixedSizeDialogHint;

// Gives a dialog built with kFixedDialogFlags its caption, icon and font, and places its client
// area, given in twips from the top-left corner of the primary screen.
void SetUpFixedDialog(QDialog& dialog, const QString& caption, int left, int top, int width,
                      int height);

}  // namespace dialogs
