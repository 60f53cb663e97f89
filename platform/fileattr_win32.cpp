// SPDX-License-Identifier: MIT
// File attributes and folder creation, on Windows, for paths of any length (WidePath).
#include "platform/fileattr.h"

#include "platform/dirsearch.h"
#include "platform/error.h"
#include "platform/widetext_win32.h"

#include <windows.h>

namespace platform {

namespace {

// The attributes the program knows, as the system keeps them (the values are the same).
constexpr DWORD kKnownAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                   FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
static_assert(FILE_ATTRIBUTE_READONLY == kAttrReadOnly && FILE_ATTRIBUTE_HIDDEN == kAttrHidden &&
              FILE_ATTRIBUTE_SYSTEM == kAttrSystem && FILE_ATTRIBUTE_DIRECTORY == kAttrDirectory);

}  // namespace

int GetAttr(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) {
        throw SystemError("read attributes of", path, ERROR_FILE_NOT_FOUND);
    }
    const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        throw SystemError("read attributes of", path, static_cast<int>(::GetLastError()));
    }
    return static_cast<int>(attributes & kKnownAttributes);
}

void MkDir(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) {
        throw SystemError("create folder", path, ERROR_PATH_NOT_FOUND);
    }
    if (!::CreateDirectoryW(WidePath(path).c_str(), nullptr)) {
        throw SystemError("create folder", path, static_cast<int>(::GetLastError()));
    }
}

}  // namespace platform
