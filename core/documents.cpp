// SPDX-License-Identifier: MIT
#include "core/documents.h"

#include <cstdint>

#include "core/module1.h"
#include "core/pathkind.h"
#include "platform/dirsearch.h"
#include "platform/error.h"
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

OutputName::OutputName(std::shared_ptr<const platform::Folder> folder, std::string outputFolder,
                       const std::string& documentName)
    : m_folder(std::move(folder)), m_outputFolder(std::move(outputFolder)) {
    if (!m_folder) {
        try {
            m_folder = platform::FolderAt(m_outputFolder);
        } catch (const platform::SystemError&) {
            // No folder: no name in it is taken, and the save says what is wrong.
        }
    }
    std::string baseName = documentName;
    if (const std::string::size_type dot = baseName.rfind('.'); dot != std::string::npos) {
        baseName.erase(dot);
    }
    m_candidate = m_outputFolder + CleanFileName(baseName);
    skipTaken();
}

bool OutputName::taken() const {
    // A candidate is taken by a folder of that path, and also by an earlier output of that
    // name, so that one run never overwrites its own output (Report.doc and Report.docx) nor a
    // file the user already had.
    const std::string name = m_candidate.substr(m_outputFolder.size());
    return m_folder && (m_folder->hasFolder(name) || m_folder->hasEntry(name + ".rtf"));
}

void OutputName::skipTaken() {
    while (taken()) {
        ++m_counter;
        m_candidate += std::to_string(m_counter);
    }
}

const std::string& OutputName::next() {
    ++m_counter;
    m_candidate += std::to_string(m_counter);
    skipTaken();
    return m_candidate;
}

}  // namespace core
