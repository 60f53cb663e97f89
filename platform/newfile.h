// SPDX-License-Identifier: MIT
// Putting a finished file in place so that no reader ever sees half of one, in two modes:
//
// - writeNewFile, for the RTF: the program chose the name while it was free, but another
//   program, a sync client or a second window may have made a file of that name since, and that
//   file is never replaced.
// - replaceFile, for the state files: the file is replaced whole, or left as it was.
//
// Where a mode writes a hidden temporary file beside the target, its name is
// ".pavendel-<pid>-XXXXXX" in both, and every write of either mode first removes what writes of
// this user that were killed half-way left in the folder.
#pragma once

#include <string>

#include "platform/error.h"

namespace platform {

class Folder;

// writeNewFile's failure when the name is taken: a file, a folder, a symbolic link (one that leads
// nowhere too) or anything else of that name is already there. The caller may choose another
// name and save again.
class NameTaken : public SystemError {
 public:
    NameTaken(const std::string& target, const std::string& reason)
        : SystemError("save", target, reason) {}
};

// The ways of putting the finished file in place, best first. Each file system offers some of
// them: a local one all, a USB stick with vfat or exFAT no unnamed files and no hard links, a
// network share perhaps only the last.
enum class NewFileMethod {
    // An unnamed file in the target's folder, given its name when complete (O_TMPFILE, linkat):
    // nothing is left behind however the process ends.
    UnnamedFile,
    // A hidden temporary file renamed to the target only while the name is free
    // (renameat2 with RENAME_NOREPLACE).
    RenameNoReplace,
    // The temporary file linked to the target, which fails when the name is taken, then unlinked.
    LinkThenUnlink,
    // The target itself created exclusively (O_CREAT|O_EXCL) and written; removed on failure.
    ExclusiveCreate,
};

// Copies the source to a file of that name in the folder, which must not hold an entry of that
// name, with the permissions any new file gets. Every step is taken relative to the folder held
// open, and no link is followed. Tries the methods from `first` on and takes the next where a
// file system does not offer one. The target is then the whole new file, or it is untouched and no
// file of ours is left. Throws NameTaken when an entry of that name is there (at the moment the
// file gets its name: one made a moment earlier is never replaced either), SystemError ("save",
// the target, the reason) for any other failure.
void writeNewFile(const std::string& source, const Folder& folder, const std::string& name,
                  NewFileMethod first = NewFileMethod::UnnamedFile);

// The same for a target path: into the folder in use for the target's folder part (folder.h), or
// the folder that path names now.
void writeNewFile(const std::string& source, const std::string& target,
                  NewFileMethod first = NewFileMethod::UnnamedFile);

// Makes the target hold exactly the contents, replacing a file that is there, with the
// permissions any new file gets: the contents go to a temporary file in the target's folder,
// which is flushed to disk and renamed over the target. On failure the target is untouched, the
// temporary file is removed and SystemError is thrown, naming the target and the step that
// failed ("create", "write" or "replace").
void replaceFile(const std::string& target, const std::string& contents);

}  // namespace platform
