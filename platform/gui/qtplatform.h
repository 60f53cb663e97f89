// SPDX-License-Identifier: MIT
// The Qt side of the platform layer: window handles for widgets, and the desktop's message
// boxes and "open" operation as the backends of MsgBox and ShellExecuteA.
#pragma once

#include <QString>
#include <string>

#include "platform/window.h"

class QWidget;

namespace platform::gui {

Hwnd HwndOf(QWidget* widget);
// The widget behind a handle, or nullptr for kNoWindow.
QWidget* WidgetOf(Hwnd handle);

// Texts cross between the program's UTF-8 strings and Qt here. ToQString renders any bytes
// readably (a byte that is not UTF-8 as its Latin-1 letter), so it is for showing texts, not
// for handing a path back to the system: a path whose name is not UTF-8 keeps its bytes only in
// the program's own strings.
QString ToQString(const std::string& text);
std::string FromQString(const QString& text);

// Installs QMessageBox for MsgBox and QDesktopServices for ShellExecuteA.
void InstallQtBackends();

// For a program that is ending, which no message box may hold up: closes every message box that
// is open, however deeply their event loops nest, each answered as Esc answers it (OK, or No),
// and answers every later message the same way without showing it, writing it to standard error
// instead. Until InstallQtBackends() is called again.
void EndMessageBoxes();

}  // namespace platform::gui
