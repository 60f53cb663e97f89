// SPDX-License-Identifier: MIT
// What the main window keeps between starts, whatever toolkit draws it: the source list and the
// output-folder history, restored from the state files when the window opens and saved when it
// closes, as the settings say.
#pragma once

#include <string>

#include "core/controls.h"
#include "state/statefiles.h"

namespace core {

// Fills the source list (each entry with the icon of its path kind) and the output-folder
// history from the state files, and makes the first history entry current.
void RestoreLists(const MainControls& controls, const state::StateFiles& files);

// Saves the source list and the output-folder history where the settings ask for it. Returns
// what to tell the user about lists that could not be saved, one line each, or an empty text;
// a failure to save one list does not keep the other from being saved.
std::string SaveLists(const MainControls& controls, const state::StateFiles& files);

}  // namespace core
