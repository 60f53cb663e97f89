// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/error.h"
#include "platform/folder.h"

namespace platform {

Folder::Folder(std::string path) : m_path(std::move(path)) {
    // O_PATH: a folder the user may write to but not list is still one to save into.
    m_descriptor = ::open(m_path.empty() ? "." : m_path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (m_descriptor < 0) {
        throw SystemError("open folder", m_path, errno);
    }
}

Folder::Folder(int descriptor, std::string path)
    : m_path(std::move(path)), m_descriptor(descriptor) {
    struct stat info {};
    const int error = ::fstat(m_descriptor, &info) != 0 ? errno
                      : S_ISDIR(info.st_mode)           ? 0
                                                        : ENOTDIR;
    if (error != 0) {
        ::close(m_descriptor);
        throw SystemError("open folder", m_path, error);
    }
}

Folder::~Folder() {
    ::close(m_descriptor);
}

// A name with a separator is no name in this folder: the savers refuse it.
bool Folder::hasEntry(const std::string& name) const {
    struct stat info {};
    return !name.empty() && name.find('/') == std::string::npos &&
           ::fstatat(m_descriptor, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

bool Folder::hasFolder(const std::string& name) const {
    struct stat info {};
    if (name.find('/') != std::string::npos) {
        return false;
    }
    const int found = name.empty() ? ::fstat(m_descriptor, &info)
                                   : ::fstatat(m_descriptor, name.c_str(), &info, 0);
    return found == 0 && S_ISDIR(info.st_mode);
}

}  // namespace platform
