// SPDX-License-Identifier: MIT
// What the Convert command and the command line share: which Word documents a source path stands
// for and which output name a document gets (the Word calls that convert it are
// automation/wordcalls.h). The window's module procedures are built on these, so both ways of
// converting give the same names and the same results.
#pragma once

#include <string>
#include <vector>

namespace core {

// The document names a source path stands for, as the document list shows them: the file's own
// name for a file, else the Word documents ("*.doc", which also finds ".docx" and the like)
// directly in the folder, in name order. A failing search ends the listing and keeps what was
// listed so far.
std::vector<std::string> WordDocumentsOf(const std::string& path);

// The output path, without ".rtf", for a document of that name in the output folder (which ends
// in one separator): the name without its extension, cleaned, and counter digits while that
// path is taken by a folder or by an existing file with ".rtf" added, so that nothing is ever
// overwritten. The digits accumulate: Report, Report1, Report12.
std::string FreeOutputBasePath(const std::string& outputFolder, const std::string& documentName);

}  // namespace core
