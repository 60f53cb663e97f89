// SPDX-License-Identifier: MIT
// The folder a DirSearch reads, on Windows: FindFirstFileW over every entry, matched by the
// program's own rules, so that "*.doc" lists "a.docx" also where a volume keeps no short names.
// Paths go to the system through WidePath, so that a folder deeper than the classic path limit
// is listed too.
#include "platform/dirsearch.h"
#include "platform/error.h"
#include "platform/systemtext.h"
#include "platform/widetext_win32.h"

#include <windows.h>

namespace platform {

struct DirSearch::Folder {
    HANDLE find = INVALID_HANDLE_VALUE;
    // The entry FindFirstFileW gave, until readName() hands it on.
    std::optional<std::string> first;
};

const int DirSearch::kInvalidName = ERROR_INVALID_NAME;
const int DirSearch::kNameTooLong = ERROR_FILENAME_EXCED_RANGE;

std::size_t DirSearch::nameLength(std::string_view name) {
    return Utf16Length(name);
}

void DirSearch::CloseFolder::operator()(Folder* folder) const {
    if (folder->find != INVALID_HANDLE_VALUE) {
        ::FindClose(folder->find);
    }
    delete folder;
}

void DirSearch::openFolder() {
    m_open.reset(new Folder);
    WIN32_FIND_DATAW entry{};
    m_open->find = ::FindFirstFileExW(WidePath(m_folder + "*").c_str(), FindExInfoBasic, &entry,
                                      FindExSearchNameMatch, nullptr, 0);
    if (m_open->find == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
            error != ERROR_DIRECTORY && error != ERROR_INVALID_NAME) {
            throw SystemError("search", m_folder, static_cast<int>(error));
        }
        return;
    }
    m_open->first = Narrow(entry.cFileName);
}

std::optional<std::string> DirSearch::readName() {
    if (!m_open || m_open->find == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    if (m_open->first) {
        std::optional<std::string> name = std::move(m_open->first);
        m_open->first.reset();
        return name;
    }
    WIN32_FIND_DATAW entry{};
    if (!::FindNextFileW(m_open->find, &entry)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_NO_MORE_FILES) {
            throw SystemError("search", m_folder, static_cast<int>(error));
        }
        return std::nullopt;
    }
    return Narrow(entry.cFileName);
}

bool DirSearch::qualifies(const std::string& name) const {
    const bool selfOrParent = name == "." || name == "..";
    if (name.empty()) {
        return false;
    }
    const DWORD attributes = ::GetFileAttributesW(WidePath(m_folder + name).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_HIDDEN) != 0 && (m_attributes & kAttrHidden) == 0) {
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_SYSTEM) != 0 && (m_attributes & kAttrSystem) == 0) {
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return (m_attributes & kAttrDirectory) != 0;
    }
    return !selfOrParent;
}

}  // namespace platform
