// SPDX-License-Identifier: MIT
#include "core/module1.h"

#include <cstdint>
#include <exception>
#include <optional>

#include "core/pathkind.h"
#include "platform/dirsearch.h"
#include "platform/fileattr.h"
#include "platform/msgbox.h"
#include "platform/paths.h"

namespace core {

using platform::kPathSeparator;

std::string CleanFileName(const std::string& name) {
    std::string cleaned;
    cleaned.reserve(name.size());
    for (const char c : name) {
        if (c != ' ' && c != '.') {
            cleaned.push_back(c);
        }
    }
    return cleaned;
}

Module1::Module1(MainControls controls) : m_controls(controls) {}

void Module1::ListDocuments(const std::string& path) {
    ListView& documents = m_controls.ListView2;
    m_listedSource = path;
    try {
        documents.clear();
        if (GetPathKind(path) == kPathFile) {
            // The file's own name, taken literally: "a?.doc" lists itself, never "ab.doc".
            platform::DirSearch search(path, platform::kAttrNormal, platform::NameMatch::Exact);
            if (std::optional<std::string> name = search.next()) {
                documents.append(*name);
                documents.setChecked(documents.count(), true);
            }
        } else {
            // A folder is listed only when it holds at least one normal file; the path is used
            // as it stands, a separator and the pattern appended.
            const std::string folder = path + kPathSeparator;
            if (!platform::AnyMatch(folder, platform::kAttrNormal).empty()) {
                platform::DirSearch search(folder + "*.doc", platform::kAttrNormal);
                while (std::optional<std::string> name = search.next()) {
                    documents.append(*name);
                    documents.setChecked(documents.count(), true);
                }
            }
        }
    } catch (const std::exception&) {
        // What was listed so far stays listed.
    }
    documents.refresh();
}

bool Module1::CheckOutputFolder() {
    const std::string text = m_controls.Combo2.editText();
    OutputFolder = text;
    const int index = m_controls.Combo2.currentPosition();
    if (text.empty()) {
        platform::MsgBox("Please select output folder", platform::vbInformation, kProgramTitle);
        return false;
    }
    if (GetPathKind(text) != kPathFolder && index != -1) {
        platform::MsgBox("Folder does not exist!", platform::vbCritical, kProgramTitle);
        return false;
    }
    // Trailing separators go, but the root folder keeps its own.
    while (OutputFolder.size() > 1 && OutputFolder.back() == kPathSeparator) {
        OutputFolder.pop_back();
    }
    try {
        if (GetPathKind(OutputFolder) != kPathFolder && index == -1) {
            platform::MkDir(OutputFolder);
        }
    } catch (const std::exception&) {
        platform::MsgBox("Failed to create folder!", platform::vbCritical, kProgramTitle);
        return false;
    }
    if (OutputFolder.back() != kPathSeparator) {
        OutputFolder.push_back(kPathSeparator);
    }
    return true;
}

std::string Module1::MakeOutputBasePath(int position) {
    std::string baseName = m_controls.ListView2.text(position);
    if (const std::string::size_type dot = baseName.rfind('.'); dot != std::string::npos) {
        baseName.erase(dot);
    }
    baseName = CleanFileName(baseName);
    // A candidate is taken by a folder of that path, and also by an earlier output of that
    // name, so that one run never overwrites its own output (Report.doc and Report.docx) nor a
    // file the user already had. The counter's digits accumulate: Report, Report1, Report12.
    std::string candidate = OutputFolder + baseName;
    std::int32_t counter = 0;
    while (GetPathKind(candidate) == kPathFolder ||
           GetPathKind(candidate + ".rtf") != kPathNothing) {
        ++counter;
        candidate += std::to_string(counter);
    }
    OutputBasePath = candidate;
    return baseName;
}

}  // namespace core
