// SPDX-License-Identifier: MIT
// The rules of paths.h that are the same on every system; the rest is in paths_posix.cpp and
// paths_win32.cpp.
#include "platform/paths.h"

namespace platform {

std::string stateFolder() {
    return stateFolderFor(programFolder());
}

std::string inFolder(const std::string& folder, const std::string& fileName) {
    if (!folder.empty() && folder.back() == kPathSeparator) {
        return folder + fileName;
    }
    return folder + kPathSeparator + fileName;
}

}  // namespace platform
