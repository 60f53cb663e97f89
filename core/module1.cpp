// SPDX-License-Identifier: MIT
#include "core/module1.h"

#include <exception>
#include <optional>

#include "core/documents.h"
#include "core/pathkind.h"
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
        for (const std::string& name : WordDocumentsOf(path)) {
            documents.append(name);
            documents.setChecked(documents.count(), true);
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
    OutputFolder = platform::WithoutTrailingSeparators(OutputFolder);
    try {
        if (GetPathKind(OutputFolder) != kPathFolder && index == -1) {
            platform::MkDir(OutputFolder);
        }
        m_outputFolder = std::make_shared<const platform::Folder>(OutputFolder);
    } catch (const std::exception&) {
        platform::MsgBox("Failed to create folder!", platform::vbCritical, kProgramTitle);
        return false;
    }
    if (!platform::IsPathSeparator(OutputFolder.back())) {
        OutputFolder.push_back(kPathSeparator);
    }
    return true;
}

std::string Module1::MakeOutputBasePath(int position) {
    const std::string name = m_controls.ListView2.text(position);
    // The folder the check opened, while it is the one OutputFolder names.
    std::shared_ptr<const platform::Folder> folder;
    if (m_outputFolder && platform::WithoutTrailingSeparators(m_outputFolder->path()) ==
                              platform::WithoutTrailingSeparators(OutputFolder)) {
        folder = m_outputFolder;
    }
    m_outputName.emplace(std::move(folder), OutputFolder, name);
    OutputBasePath = m_outputName->basePath();
    std::string baseName = name;
    if (const std::string::size_type dot = baseName.rfind('.'); dot != std::string::npos) {
        baseName.erase(dot);
    }
    return CleanFileName(baseName);
}

}  // namespace core
