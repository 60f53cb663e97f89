// SPDX-License-Identifier: MIT
// File attributes and folder creation.
#pragma once

#include <string>

namespace platform {

// The attribute bits of an existing path (kAttrDirectory for a folder; kAttrHidden for a name
// starting with "." on POSIX systems, the file's own attributes on Windows). Symbolic links are
// followed. Throws SystemError when the path cannot be examined.
int GetAttr(const std::string& path);

// Creates one folder; its parent must exist. Throws SystemError when the folder cannot be
// created, including when something of that name already exists.
void MkDir(const std::string& path);

}  // namespace platform
