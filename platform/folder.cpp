// SPDX-License-Identifier: MIT
// The folders in use, the same on every system; opening and looking up are folder_posix.cpp and
// folder_win32.cpp.
#include "platform/folder.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/paths.h"

namespace platform {

namespace {

// One path may be written with separators at its end or without.
std::string keyOf(const std::string& path) {
    return WithoutTrailingSeparators(path);
}

struct InUse {
    std::string key;
    std::shared_ptr<const Folder> folder;
};

// The run's thread holds its folder in use while the look-ahead's threads save elsewhere.
std::mutex& inUseMutex() {
    static std::mutex mutex;
    return mutex;
}

std::vector<InUse>& inUse() {
    static std::vector<InUse> folders;
    return folders;
}

}  // namespace

FolderInUse::FolderInUse(std::shared_ptr<const Folder> folder) : m_folder(std::move(folder)) {
    std::lock_guard lock(inUseMutex());
    inUse().push_back({keyOf(m_folder->path()), m_folder});
}

FolderInUse::~FolderInUse() {
    std::lock_guard lock(inUseMutex());
    auto& folders = inUse();
    const auto found = std::find_if(folders.begin(), folders.end(), [this](const InUse& entry) {
        return entry.folder == m_folder;
    });
    if (found != folders.end()) {
        folders.erase(found);
    }
}

std::shared_ptr<const Folder> FolderAt(const std::string& path) {
    {
        const std::string key = keyOf(path);
        std::lock_guard lock(inUseMutex());
        const auto& folders = inUse();
        const auto found = std::find_if(folders.rbegin(), folders.rend(),
                                        [&key](const InUse& entry) { return entry.key == key; });
        if (found != folders.rend()) {
            return found->folder;
        }
    }
    return std::make_shared<const Folder>(path);
}

std::string FolderPartOf(const std::string& file) {
    const std::size_t last = file.find_last_of(kPathSeparators);
    if (last == std::string::npos) {
        return ".";
    }
    std::string folder = file.substr(0, last);
    // The root keeps its separator: "/a.rtf" lies in "/", "C:\a.rtf" in "C:\".
    if (folder.empty() || (folder.size() == 2 && folder[1] == ':' && kPathSeparator == '\\')) {
        folder.push_back(file[last]);
    }
    return folder;
}

std::string NamePartOf(const std::string& file) {
    const std::size_t last = file.find_last_of(kPathSeparators);
    return last == std::string::npos ? file : file.substr(last + 1);
}

}  // namespace platform
