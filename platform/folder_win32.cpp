// SPDX-License-Identifier: MIT
// On Windows a folder is held by its path: Word, not the program, saves the files there.
#include "platform/error.h"
#include "platform/folder.h"
#include "platform/paths.h"
#include "platform/widetext_win32.h"

#include <windows.h>

namespace platform {

namespace {

DWORD attributesOf(const std::string& path) {
    return ::GetFileAttributesW(WidePath(path).c_str());
}

}  // namespace

Folder::Folder(std::string path) : m_path(std::move(path)) {
    const DWORD attributes = attributesOf(m_path.empty() ? "." : m_path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        throw SystemError("open folder", m_path, static_cast<int>(::GetLastError()));
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        throw SystemError("open folder", m_path, ERROR_DIRECTORY);
    }
}

Folder::~Folder() = default;

bool Folder::hasEntry(const std::string& name) const {
    return !name.empty() && name.find_first_of(kPathSeparators) == std::string::npos &&
           attributesOf(inFolder(m_path, name)) != INVALID_FILE_ATTRIBUTES;
}

bool Folder::hasFolder(const std::string& name) const {
    if (name.find_first_of(kPathSeparators) != std::string::npos) {
        return false;
    }
    const DWORD attributes = attributesOf(name.empty() ? m_path : inFolder(m_path, name));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace platform
