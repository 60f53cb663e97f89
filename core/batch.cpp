// SPDX-License-Identifier: MIT
// The Convert command's run over the document list.
#include "automation/automation.h"
#include "core/module1.h"
#include "platform/folder.h"
#include "platform/msgbox.h"
#include "platform/shell.h"

namespace core {

void Module1::ConvertCheckedDocuments() {
    ListView& documents = m_controls.ListView2;
    const int count = documents.count();
    if (count < 1) {
        platform::MsgBox("Please select word at fast!", platform::vbInformation, kProgramTitle);
        resetAfterRun();
        return;
    }
    m_controls.ProgressBar1.setMaximum(count);
    if (!CheckOutputFolder()) {
        resetAfterRun();
        return;
    }
    m_controls.form1.setMousePointer(vbHourglass);
    {
        // Every name is chosen, and every file saved, in the folder the check opened.
        const platform::FolderInUse output(m_outputFolder);
        // The office may convert the ticked documents ahead, several at once; the run below
        // still takes them one by one, in list order, with its names and messages.
        std::vector<std::string> sources;
        for (int i = 1; i <= count; ++i) {
            if (documents.checked(i)) {
                if (std::string source = GetDocumentPath(i); !source.empty()) {
                    sources.push_back(std::move(source));
                }
            }
        }
        const automation::PlannedRun plan("Word.Application", std::move(sources));
        for (int i = 1; i <= count; ++i) {
            if (documents.checked(i) && m_stopCheck && m_stopCheck()) {
                break;
            }
            if (documents.checked(i)) {
                const std::string name = MakeOutputBasePath(i);
                if (ConvertDocument(i) != kConverted) {
                    platform::MsgBox("Convert " + name + " file failed!", platform::vbCritical,
                                     kProgramTitle);
                }
            }
            m_controls.ProgressBar1.setValue(i);
        }
    }
    platform::ShellExecuteA(m_controls.form1.hWnd(), "open", OutputFolder, "", "",
                            platform::SW_SHOW);
    resetAfterRun();
}

void Module1::resetAfterRun() {
    m_outputFolder.reset();
    m_outputName.reset();
    m_controls.ProgressBar1.setValue(0);
    m_controls.form1.setMousePointer(vbDefault);
}

}  // namespace core
