// SPDX-License-Identifier: MIT
// The module procedures that act on the main window's lists and drive a conversion run, and
// the two strings they share: OutputFolder (the checked output folder, ending in one separator)
// and OutputBasePath (the output path of the document being converted, without ".rtf").
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "core/controls.h"
#include "core/documents.h"
#include "platform/folder.h"

namespace core {

inline constexpr const char* kProgramTitle = "Pavendel";

// The cleaned name with every space and full stop removed.
std::string CleanFileName(const std::string& name);

class Module1 {
 public:
    explicit Module1(MainControls controls);

    // Fills the document list with the documents the path stands for: the file itself, or the
    // Word documents directly in the folder in name order, every box ticked. Never reports a
    // failure: a failing search ends the listing and keeps what was listed so far.
    void ListDocuments(const std::string& path);

    // Takes the output folder from the output-folder box, checks it, creates it (one level)
    // when it was typed and is new, and leaves it in OutputFolder with one trailing separator,
    // opened for the run: the run's names and saves go into that folder, whatever its path
    // names meanwhile. Shows its own message and returns false when the run must stop.
    bool CheckOutputFolder();

    // Makes OutputBasePath for the document item at the position: OutputFolder, the item's
    // name without extension, cleaned, and counter digits while that path is taken (a folder
    // of that path, or any entry with ".rtf" added: see OutputName). Returns the cleaned base
    // name.
    std::string MakeOutputBasePath(int position);

    // The full path of the document at a position of the document list: the listed source
    // entry itself when it names a file, else the entry, a separator and the item's name when
    // that names a file; the empty string otherwise. The listed entry is the selected one
    // whenever the window keeps the lists in step, as it does for every change of selection.
    std::string GetDocumentPath(int position) const;

    // Converts one document through a fresh "Word.Application" instance into OutputBasePath
    // followed by ".rtf". A name that another program takes before the save gives way to the
    // next free one, which OutputBasePath then holds. 1: converted; 2: an automation error,
    // whose description has been shown; 3: no source document (nothing started, nothing shown).
    int ConvertDocument(int position);

    // The Convert command: every ticked document of the document list, in order, with
    // progress, a message for every failure, and the output folder opened at the end.
    void ConvertCheckedDocuments();

    // Asked before each document of a run: true ends the run there, as if it had reached its
    // end (the output folder still opens). The window asks the user when they pressed Esc or
    // closed it during the run.
    void SetStopCheck(std::function<bool()> check) { m_stopCheck = std::move(check); }

    std::string OutputFolder;
    std::string OutputBasePath;

 private:
    void resetAfterRun();

    MainControls m_controls;
    std::function<bool()> m_stopCheck;
    // The checked output folder, held open from the check to the end of the run.
    std::shared_ptr<const platform::Folder> m_outputFolder;
    // How OutputBasePath was made, for the next name when the save finds it taken.
    std::optional<OutputName> m_outputName;
    // The source entry the document list was last filled from. Conversions take their source
    // paths from it rather than from the selection, so that names listed for one entry are never
    // paired with another entry's path.
    std::string m_listedSource;
};

inline constexpr int kConverted = 1;
inline constexpr int kAutomationFailed = 2;
inline constexpr int kNoSourceDocument = 3;

}  // namespace core
