// SPDX-License-Identifier: MIT
// The folder a DirSearch reads, on POSIX systems.
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/dirsearch.h"
#include "platform/error.h"

namespace platform {

struct DirSearch::Folder {
    DIR* dir = nullptr;
};

const int DirSearch::kInvalidName = EINVAL;
const int DirSearch::kNameTooLong = ENAMETOOLONG;

std::size_t DirSearch::nameLength(std::string_view name) {
    return name.size();
}

void DirSearch::CloseFolder::operator()(Folder* folder) const {
    if (folder->dir != nullptr) {
        ::closedir(folder->dir);
    }
    delete folder;
}

void DirSearch::openFolder() {
    DIR* dir = ::opendir(m_folder.c_str());
    if (dir == nullptr && errno != ENOENT && errno != ENOTDIR) {
        throw SystemError("search", m_folder, errno);
    }
    m_open.reset(new Folder);
    m_open->dir = dir;
}

std::optional<std::string> DirSearch::readName() {
    if (!m_open || m_open->dir == nullptr) {
        return std::nullopt;
    }
    errno = 0;
    const dirent* entry = ::readdir(m_open->dir);
    if (entry == nullptr) {
        if (errno != 0) {
            throw SystemError("search", m_folder, errno);
        }
        return std::nullopt;
    }
    return std::string(entry->d_name);
}

bool DirSearch::qualifies(const std::string& name) const {
    const bool selfOrParent = name == "." || name == "..";
    if (name.empty() || (name[0] == '.' && !selfOrParent)) {
        return false;
    }
    struct stat info {};
    if (::stat((m_folder + name).c_str(), &info) != 0) {
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        return (m_attributes & kAttrDirectory) != 0;
    }
    return S_ISREG(info.st_mode) && !selfOrParent;
}

}  // namespace platform
