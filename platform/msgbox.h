// SPDX-License-Identifier: MIT
// Message boxes with an OK button (or Yes and No), an icon chosen by the style value and a
// caption.
#pragma once

#include <functional>
#include <string>

namespace platform {

// Buttons (the low four bits of the style).
inline constexpr int vbOKOnly = 0;
inline constexpr int vbYesNo = 4;
// Icons.
inline constexpr int vbCritical = 16;
inline constexpr int vbQuestion = 32;
inline constexpr int vbExclamation = 48;
inline constexpr int vbInformation = 64;
// Results.
inline constexpr int vbOK = 1;
inline constexpr int vbYes = 6;
inline constexpr int vbNo = 7;

using MessageBoxBackend =
    std::function<int(const std::string& prompt, int style, const std::string& title)>;

// Shows the message and returns when the user has closed it; the result is the button pressed.
int MsgBox(const std::string& prompt, int style, const std::string& title);

// Replaces the backend (tests install a recorder; the GUI half installs real message boxes)
// and returns the previous one. The initial backend writes the message to standard error.
MessageBoxBackend SetMessageBoxBackend(MessageBoxBackend backend);

}  // namespace platform
