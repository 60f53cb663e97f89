// SPDX-License-Identifier: MIT
#include "platform/fileattr.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/dirsearch.h"
#include "platform/error.h"
#include "platform/paths.h"

namespace platform {

int GetAttr(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) {
        throw SystemError("read attributes of", path, ENOENT);
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        throw SystemError("read attributes of", path, errno);
    }
    int attributes = kAttrNormal;
    if (S_ISDIR(info.st_mode)) {
        attributes |= kAttrDirectory;
    }
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == kPathSeparator) {
        trimmed.pop_back();
    }
    std::string::size_type slash = trimmed.rfind(kPathSeparator);
    std::string name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
    if (name.size() > 1 && name[0] == '.' && name != "..") {
        attributes |= kAttrHidden;
    }
    return attributes;
}

void MkDir(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) {
        throw SystemError("create folder", path, ENOENT);
    }
    if (::mkdir(path.c_str(), 0777) != 0) {
        throw SystemError("create folder", path, errno);
    }
}

}  // namespace platform
