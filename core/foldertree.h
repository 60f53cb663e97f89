// SPDX-License-Identifier: MIT
// A folder with all its subfolders, listed for the command line's --recursive: the Word documents
// of each folder as the one-level listing finds them, with the subfolder each lies in, so that
// the output can mirror the tree.
#pragma once

#include <string>
#include <vector>

namespace core {

struct TreeDocument {
    std::string source;     // the document's path: the folder given, the subfolders, the name
    std::string name;       // its name, as the listing shows it
    std::string subfolder;  // where it lies below the folder given ("" for the folder itself,
                            // "2019/Letters" below it), '/' between levels
};

struct FolderTree {
    std::vector<TreeDocument> documents;
    // The subfolders that could not be read, each with the system's reason.
    std::vector<std::string> unreadable;
};

// The documents of the folder and of every subfolder below it, folder by folder: a folder's own
// documents first, then each subfolder's in name order. Hidden folders (a name starting with
// ".") are left out as the listing leaves out hidden files; a symbolic link to a folder is not
// followed, so no tree loops back on itself; and the folder `leaveOut` names (the output folder,
// when it lies in the tree) is left out with all it holds.
FolderTree ListFolderTree(const std::string& folder, const std::string& leaveOut);

}  // namespace core
