// SPDX-License-Identifier: MIT
// Message boxes with an OK button, an icon chosen by the style value and a caption.
#pragma once

#include <functional>
#include <string>

namespace platform {

inline constexpr int vbOKOnly = 0;
inline constexpr int vbCritical = 16;
inline constexpr int vbInformation = 64;
inline constexpr int vbOK = 1;

using MessageBoxBackend =
    std::function<int(const std::string& prompt, int style, const std::string& title)>;

// Shows the message and returns when the user has closed it; the result is the button pressed.
int MsgBox(const std::string& prompt, int style, const std::string& title);

// Replaces the backend (tests install a recorder; the GUI half installs real message boxes)
// and returns the previous one. The initial backend writes the message to standard error.
MessageBoxBackend SetMessageBoxBackend(MessageBoxBackend backend);

}  // namespace platform
