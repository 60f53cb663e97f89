// SPDX-License-Identifier: MIT
#include "core/pathkind.h"

#include <exception>

#include "platform/dirsearch.h"
#include "platform/fileattr.h"

namespace core {

int GetPathKind(const std::string& path) {
    try {
        // The path is listed as a search pattern, once with folders and once for files only;
        // only what a listing finds is examined further. Hidden entries are never listed, so
        // they give 0, and a wildcard pattern fails when its attributes are read.
        const bool found = !platform::AnyMatch(path, platform::kAttrDirectory).empty() ||
                           !platform::AnyMatch(path, platform::kAttrNormal).empty();
        if (!found) {
            return kPathNothing;
        }
        return (platform::GetAttr(path) & platform::kAttrDirectory) != 0 ? kPathFolder : kPathFile;
    } catch (const std::exception&) {
        return kPathNothing;
    }
}

}  // namespace core
