// SPDX-License-Identifier: MIT
// What the Convert command and the command line share: which Word documents a source path stands
// for and which output name a document gets (the Word calls that convert it are
// automation/wordcalls.h). The window's module procedures are built on these, so both ways of
// converting give the same names and the same results.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/folder.h"

namespace core {

// The document names a source path stands for, as the document list shows them: the file's own
// name for a file, else the Word documents ("*.doc", which also finds ".docx" and the like)
// directly in the folder, in name order. A failing search ends the listing and keeps what was
// listed so far.
std::vector<std::string> WordDocumentsOf(const std::string& path);

// The output path, without ".rtf", of one document: the output folder (which ends in one
// separator), the document's name without its extension, cleaned, and counter digits while that
// path is taken. It is taken by a folder of that path, and by any entry at all with ".rtf" added:
// a file, a folder, and what the save would refuse to write through or over (a symbolic link,
// one that leads nowhere too, a FIFO, a socket, a device), so that nothing is ever overwritten.
// The digits accumulate: Report, Report1, Report12.
class OutputName {
 public:
    // The first free candidate, its names looked up in the folder given (the one the run holds
    // open), else in the folder the output folder's path names now.
    OutputName(std::shared_ptr<const platform::Folder> folder, std::string outputFolder,
               const std::string& documentName);

    // The candidate, without ".rtf".
    const std::string& basePath() const { return m_candidate; }
    // The candidate was taken after all when the file was saved (another run or program made a
    // file of that name meanwhile): the next free candidate by the same counter.
    const std::string& next();

 private:
    bool taken() const;
    void skipTaken();

    std::shared_ptr<const platform::Folder> m_folder;
    std::string m_outputFolder;
    std::string m_candidate;
    std::int32_t m_counter = 0;
};

}  // namespace core
