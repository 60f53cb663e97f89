// SPDX-License-Identifier: MIT
#include "core/documents.h"

#include <cstdint>

#include "core/module1.h"
#include "core/pathkind.h"
#include "platform/dirsearch.h"
#include "platform/fileattr.h"
#include "platform/paths.h"

namespace core {

std::vector<std::string> WordDocumentsOf(const std::string& path) {
    std::vector<std::string> names;
    try {
        if (GetPathKind(path) == kPathFile) {
            // The file's own name, taken literally: "a?.doc" lists itself, never "ab.doc".
            platform::DirSearch search(path, platform::kAttrNormal, platform::NameMatch::Exact);
            if (std::optional<std::string> name = search.next()) {
                names.push_back(*name);
            }
        } else {
            // A folder is listed only when it holds at least one normal file; the path is used
            // as it stands, a separator and the pattern appended.
            const std::string folder = path + platform::kPathSeparator;
            if (!platform::AnyMatch(folder, platform::kAttrNormal).empty()) {
                platform::DirSearch search(folder + "*.doc", platform::kAttrNormal);
                while (std::optional<std::string> name = search.next()) {
                    names.push_back(*name);
                }
            }
        }
    } catch (const std::exception&) {
        // What was listed so far stays listed.
    }
    return names;
}

std::string FreeOutputBasePath(const std::string& outputFolder, const std::string& documentName) {
    std::string baseName = documentName;
    if (const std::string::size_type dot = baseName.rfind('.'); dot != std::string::npos) {
        baseName.erase(dot);
    }
    // A candidate is taken by a folder of that path, and also by an earlier output of that
    // name, so that one run never overwrites its own output (Report.doc and Report.docx) nor a
    // file the user already had.
    std::string candidate = outputFolder + CleanFileName(baseName);
    std::int32_t counter = 0;
    while (GetPathKind(candidate) == kPathFolder ||
           GetPathKind(candidate + ".rtf") != kPathNothing) {
        ++counter;
        candidate += std::to_string(counter);
    }
    return candidate;
}

}  // namespace core
