// SPDX-License-Identifier: MIT
// An output tree that several runs fill at once, on this machine or on others that share the
// folder: its subfolders are reached below a folder held open, never through a symbolic link,
// and a file they all add lines to is read and appended under a lock, so that no run sees, or
// leaves, another's half-written line. POSIX only: the command line is the POSIX build's.
#pragma once

#include <memory>
#include <string>

#include "platform/folder.h"

namespace platform {

// The folder at a relative path below the base ("2019/Letters"), each level looked up in the
// one above it and never through a symbolic link (a link planted in the tree is refused, not
// followed out of it); with `create`, the levels that are missing are made (another run making
// one at the same moment is no error). Its path is the base's path and the relative path.
// Throws SystemError.
std::shared_ptr<const Folder> OpenSubfolder(const Folder& base, const std::string& relative,
                                            bool create);

// The whole of a file in the folder, read under a shared lock; empty when there is no such file.
// A link in its place is not followed. Throws SystemError when it cannot be read.
std::string ReadLocked(const Folder& folder, const std::string& name);

// Appends whole lines (the text ends with a newline) to a file in the folder, made when missing,
// under an exclusive lock and in one write. A last line that a run killed mid-write left
// unfinished is ended first, so that it spoils no line but its own. A link in the file's place
// is not followed. Throws SystemError.
void AppendLocked(const Folder& folder, const std::string& name, const std::string& lines);

}  // namespace platform
