// SPDX-License-Identifier: MIT
// The main window's two choosers, the same whichever toolkit draws the window: the open dialog of
// Add Word and the folder browser of Add Folder and Browse, owned by the window.
#pragma once

#include <optional>
#include <string>

#include "platform/window.h"

namespace dialogs {

// The Word file the user chose, or nothing when they cancelled.
std::optional<std::string> ChooseWordFile(platform::WindowOwner& owner);

// The folder the user chose, or nothing when they cancelled or chose an item that is no folder
// of the file system.
std::optional<std::string> ChooseFolder(platform::WindowOwner& owner);

}  // namespace dialogs
