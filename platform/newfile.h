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

namespace platform {

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

// Copies the source to the target, which must not exist, with the permissions any new file gets.
// Tries the methods from `first` on and takes the next where a file system does not offer one.
// The target is then the whole new file, or it is untouched and no file of ours is left. Throws
// SystemError ("save", the target, the reason), also when a file of that name is already there.
void writeNewFile(const std::string& source, const std::string& target,
                  NewFileMethod first = NewFileMethod::UnnamedFile);

// Makes the target hold exactly the contents, replacing a file that is there, with the
// permissions any new file gets: the contents go to a temporary file in the target's folder,
// which is flushed to disk and renamed over the target. On failure the target is untouched, the
// temporary file is removed and SystemError is thrown, naming the target and the step that
// failed ("create", "write" or "replace").
void replaceFile(const std::string& target, const std::string& contents);

}  // namespace platform
