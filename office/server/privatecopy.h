// SPDX-License-Identifier: MIT
// The private copy every engine tier converts instead of the user's document, so that neither
// lock files nor anything else can land beside the source, and the document converted from it.
//
//   <folder>/in/<name the engine is given>   the copy
//   <folder>/out/<its stem>.rtf              what the engine writes
#pragma once

#include <filesystem>
#include <string>

#include "office/server/engine.h"

namespace office {

// Copies the source to folder/in/<name the engine is given> (creating folder/in and folder/out)
// and returns the copy's path. Throws automation::AutomationError; then the folder is removed.
std::filesystem::path copyIntoFolder(const std::string& path, const std::filesystem::path& folder);

// Where the engine writes the RTF of a copy made by copyIntoFolder: folder/out/<stem>.rtf.
std::filesystem::path rtfOf(const std::filesystem::path& copy);

// True when the file begins as an RTF file does.
bool startsWithRtf(const std::filesystem::path& file);

// A document converted into a folder of its own, which goes with it.
class ConvertedDocument : public LoadedDocument {
 public:
    ConvertedDocument(std::string name, std::filesystem::path folder)
        : m_name(std::move(name)), m_folder(std::move(folder)) {}
    ~ConvertedDocument() override;
    ConvertedDocument(const ConvertedDocument&) = delete;
    ConvertedDocument& operator=(const ConvertedDocument&) = delete;

    void setRtf(std::filesystem::path rtf) { m_rtf = std::move(rtf); }
    const std::string& name() const override { return m_name; }
    void saveRtf(const std::string& target) override;

 private:
    std::string m_name;
    std::filesystem::path m_folder;
    std::filesystem::path m_rtf;
};

}  // namespace office
