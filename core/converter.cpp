// SPDX-License-Identifier: MIT
// One conversion: the source path of a document item, and the automation calls that open it in
// a fresh office instance and save it as RTF.
#include <exception>

#include "core/module1.h"
#include "core/pathkind.h"
#include "platform/automation.h"
#include "platform/msgbox.h"
#include "platform/paths.h"

namespace core {

namespace {

// The office's file format number for Rich Text Format.
constexpr std::int32_t wdFormatRTF = 6;

}  // namespace

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
    std::string target = OutputBasePath;
    platform::ObjectPtr word;
    try {
        word = platform::CreateObject("Word.Application");
        word->get("Documents").asObject()->call("Open", {platform::Variant(source)});
        target += ".rtf";
        word->get("ActiveDocument")
            .asObject()
            ->call("SaveAs", {platform::Variant(target)},
                   {{"FileFormat", platform::Variant(wdFormatRTF)}});
        word->call("Quit");
        word.reset();
        return kConverted;
    } catch (const std::exception& error) {
        const auto* automation = dynamic_cast<const platform::AutomationError*>(&error);
        platform::MsgBox(automation != nullptr ? automation->description() : error.what(),
                         platform::vbOKOnly, kProgramTitle);
        if (word) {
            try {
                word->call("Quit");
            } catch (const std::exception&) {
                // The instance is ended when its last reference goes, whatever Quit said.
            }
        }
        return kAutomationFailed;
    }
}

}  // namespace core
