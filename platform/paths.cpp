// SPDX-License-Identifier: MIT
// The rules of paths.h that are the same on every system; the rest is in paths_posix.cpp and
// paths_win32.cpp.
#include "platform/paths.h"

namespace platform {

std::string stateFolder() {
    return stateFolderFor(programFolder());
}

std::string WithoutTrailingSeparators(std::string path) {
    std::size_t root = !path.empty() && IsPathSeparator(path[0]) ? 1 : 0;
    if (kPathSeparator == '\\' && path.size() >= 3 && path[1] == ':' && IsPathSeparator(path[2])) {
        root = 3;
    }
    while (path.size() > root && path.size() > 1 && IsPathSeparator(path.back())) {
        path.pop_back();
    }
    return path;
}

std::string inFolder(const std::string& folder, const std::string& fileName) {
    if (!folder.empty() && IsPathSeparator(folder.back())) {
        return folder + fileName;
    }
    return folder + kPathSeparator + fileName;
}

}  // namespace platform
