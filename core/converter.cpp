// SPDX-License-Identifier: MIT
// One conversion: the source path of a document item, and the Word calls that open it in a fresh
// instance and save it as RTF.
#include "automation/wordcalls.h"
#include "core/module1.h"
#include "core/pathkind.h"
#include "platform/msgbox.h"
#include "platform/paths.h"

namespace core {

std::string Module1::GetDocumentPath(int position) const {
    const std::string& source = m_listedSource;
    std::string item;
    if (m_controls.ListView2.count() >= 1 && position >= 1 &&
        position <= m_controls.ListView2.count()) {
        item = m_controls.ListView2.text(position);
    }
    switch (GetPathKind(source)) {
        case kPathFile:
            return source;
        case kPathFolder: {
            // A root folder keeps its own separator, so two stand in a row; the path is
            // handed on in that form.
            std::string candidate = source + platform::kPathSeparator + item;
            return GetPathKind(candidate) == kPathFile ? candidate : std::string();
        }
        default:
            return std::string();
    }
}

int Module1::ConvertDocument(int position) {
    const std::string source = GetDocumentPath(position);
    if (source.empty()) {
        return kNoSourceDocument;
    }
    const auto show = [](const std::string& description) {
        platform::MsgBox(description, platform::vbOKOnly, kProgramTitle);
    };
    automation::NextTarget nextTarget;
    if (m_outputName && m_outputName->basePath() == OutputBasePath) {
        nextTarget = [this](const std::string&) -> std::optional<std::string> {
            OutputBasePath = m_outputName->next();
            return OutputBasePath + ".rtf";
        };
    }
    if (automation::ConvertWithWord(source, OutputBasePath + ".rtf", show, {}, nextTarget)) {
        return kAutomationFailed;
    }
    return kConverted;
}

}  // namespace core
