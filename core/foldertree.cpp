// SPDX-License-Identifier: MIT
#include "core/foldertree.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/documents.h"
#include "platform/dirsearch.h"
#include "platform/paths.h"

namespace core {

namespace {

namespace fs = std::filesystem;

// The path with links and "." and ".." resolved, to tell one folder from another; the path as
// it stands when it cannot be resolved.
fs::path resolved(const std::string& path) {
    std::error_code error;
    const fs::path given = platform::ToFsPath(platform::WithoutTrailingSeparators(path));
    fs::path full = fs::weakly_canonical(given, error);
    return error ? given : full;
}

}  // namespace

FolderTree ListFolderTree(const std::string& folder, const std::string& leaveOut) {
    FolderTree tree;
    // The walk follows no link, so a folder's resolved path is the top's and the levels below.
    const fs::path top = resolved(folder);
    const fs::path left = leaveOut.empty() ? fs::path() : resolved(leaveOut);
    struct Pending {
        std::string path;
        std::string subfolder;
    };
    // Depth first with a stack of its own, so that a deep tree cannot exhaust the call stack.
    std::vector<Pending> pending{{folder, {}}};
    while (!pending.empty()) {
        const Pending current = std::move(pending.back());
        pending.pop_back();
        if (!current.subfolder.empty() && !left.empty() &&
            top / platform::ToFsPath(current.subfolder) == left) {
            continue;
        }
        for (std::string& name : WordDocumentsOf(current.path)) {
            std::string source = current.path + platform::kPathSeparator + name;
            tree.documents.push_back({std::move(source), std::move(name), current.subfolder});
        }
        std::vector<std::string> subfolders;
        std::error_code error;
        fs::directory_iterator entries(platform::ToFsPath(current.path), error);
        for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
            const fs::directory_entry& entry = *entries;
            std::string name = platform::FromFsPath(entry.path().filename());
            std::error_code kindError;
            // The kind comes with the name on most file systems: no look-up per entry.
            if (name.empty() || name[0] == '.' || entry.is_symlink(kindError) ||
                !entry.is_directory(kindError)) {
                continue;
            }
            subfolders.push_back(std::move(name));
        }
        if (error) {
            tree.unreadable.push_back(current.path + ": " + error.message());
        }
        std::sort(subfolders.begin(), subfolders.end(), platform::ListedBefore);
        for (auto name = subfolders.rbegin(); name != subfolders.rend(); ++name) {
            pending.push_back(
                {current.path + platform::kPathSeparator + *name,
                 current.subfolder.empty() ? *name : current.subfolder + '/' + *name});
        }
    }
    return tree;
}

}  // namespace core
