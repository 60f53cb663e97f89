// SPDX-License-Identifier: MIT
// What the main window's list commands do once their dialogs have answered: the source list
// (add, remove, move, list, clear) and the output-folder history (add, view, remove).
#pragma once

#include <string>
#include <vector>

#include "core/module1.h"

namespace core {

// Appends a chosen Word file (icon 1), selects it and lists it.
void AddSourceFile(Module1& module, const MainControls& controls, const std::string& path);
// Appends a chosen folder (icon 2), selects it and lists its documents.
void AddSourceFolder(Module1& module, const MainControls& controls, const std::string& path);
// Appends paths given from outside the window (the command line, "Open with", a drop): each
// file as Add Word would (icon 1), each folder as Add Folder would (icon 2); a path that names
// nothing is skipped with one message naming it. The last one added is selected and listed.
// Relative paths are made absolute first, since the source list outlives the working folder.
void AddSourcePaths(Module1& module, const MainControls& controls,
                    const std::vector<std::string>& paths);
// Removes the selected entry and lists the one that stood before it (or the new first one).
void RemoveSelectedSource(Module1& module, const MainControls& controls);
// Moves the selected entry one place up or down, keeping its icon and its selection; the
// document list is left as it is.
void MoveSelectedSourceUp(const MainControls& controls);
void MoveSelectedSourceDown(const MainControls& controls);
// Lists the documents of the selected (just clicked) entry again, every box ticked; leaves the
// document list as it is when no entry is selected.
void ListSelectedSource(Module1& module, const MainControls& controls);
// Empties the source list and the document list.
void RemoveAllSources(const MainControls& controls);

// Puts a chosen folder at the top of the history and makes it current.
void AddOutputFolder(ComboBox& combo, const std::string& path);
// Opens the folder in the box in the desktop's file browser when it exists.
void ViewOutputFolder(const ComboBox& combo, platform::Hwnd owner);
// Removes the current history entry; the next one (or the new last one) becomes current.
void RemoveCurrentOutputFolder(ComboBox& combo);
// Removes every history entry.
void RemoveAllOutputFolders(ComboBox& combo);

inline constexpr int kIconFile = 1;
inline constexpr int kIconFolder = 2;
inline constexpr int kIconMissing = 3;

// The small icon of a source entry for its path kind: file 1, folder 2, anything else 3.
int IconForPath(const std::string& path);

}  // namespace core
