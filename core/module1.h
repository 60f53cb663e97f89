// SPDX-License-Identifier: MIT
// The module procedures that act on the main window's lists and drive a conversion run, and
// the two strings they share: OutputFolder (the checked output folder, ending in one separator)
// and OutputBasePath (the output path of the document being converted, without ".rtf").
#pragma once

#include <string>

#include "core/controls.h"

namespace core {

inline constexpr const char* kProgramTitle = "Pavendel";

// The cleaned name with every space and full stop removed.
std::string CleanFileName(const std::string& name);

class Module1 {
 public:
    explicit Module1(MainControls controls);

    // Fills the document list with the documents the path stands for: the file itself, or the
    // Word documents directly in the folder, every box ticked. Never reports a failure: a
    // failing search ends the listing and keeps what was listed so far.
    void ListDocuments(const std::string& path);

    // Takes the output folder from the output-folder box, checks it, creates it (one level)
    // when it was typed and is new, and leaves it in OutputFolder with one trailing separator.
    // Shows its own message and returns false when the run must stop.
    bool CheckOutputFolder();

    // Makes OutputBasePath for the document item at the position: OutputFolder, the item's
    // name without extension, cleaned, and counter digits while that path is taken (a folder
    // of that path, or an existing file with ".rtf" added). Returns the cleaned base name.
    std::string MakeOutputBasePath(int position);

    std::string OutputFolder;
    std::string OutputBasePath;

 private:
    MainControls m_controls;
};

}  // namespace core
