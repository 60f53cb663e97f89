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

// Texts cross between the program's UTF-8 strings and Qt here.
QString ToQString(const std::string& text);
std::string FromQString(const QString& text);

// Installs QMessageBox for MsgBox and QDesktopServices for ShellExecuteA.
void InstallQtBackends();

}  // namespace platform::gui
