// SPDX-License-Identifier: MIT
// The engine that runs LibreOffice's own conversion (soffice.bin --convert-to), one engine process
// per opened document (sofficeprocess.h): the last tier of engine.h. The source is only ever
// read: it is copied into the server's working folder first, so neither lock files nor anything
// else can land beside it. A remote UNO load would be no substitute: on 7.4 it crashes on the
// documents with comments that LibreOfficeKit refuses.
#pragma once

#include <filesystem>

#include "office/server/engine.h"
#include "office/server/filekind.h"
#include "office/server/profile.h"

namespace office {

class SofficeEngine : public Engine {
 public:
    // Makes the server's working folder in the cache folder. clientFd as in EngineRun.
    SofficeEngine(EngineInstall install, int clientFd);
    ~SofficeEngine() override;
    SofficeEngine(const SofficeEngine&) = delete;
    SofficeEngine& operator=(const SofficeEngine&) = delete;

    std::unique_ptr<LoadedDocument> open(const std::string& path) override;

 private:
    void ensureProfile();

    EngineInstall m_install;
    int m_clientFd;
    std::string m_cache;
    std::string m_work;
    bool m_profileReady = false;
    int m_opened = 0;
};

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

// What every engine checks before it lets the engine see a file: that it is there, a regular
// file, and no encrypted document, picture or random bytes. Throws AutomationError with the
// description for the user; otherwise says what the file holds.
FileSniff checkSource(const std::string& path);

// Copies the source to folder/in/<name the engine is given> (creating folder/in and folder/out)
// and returns the copy's path. Throws AutomationError; then the folder is removed.
std::filesystem::path copyIntoFolder(const std::string& path, const std::filesystem::path& folder);

// Where the engine writes the RTF of a copy made by copyIntoFolder: folder/out/<stem>.rtf.
std::filesystem::path rtfOf(const std::filesystem::path& copy);

// True when the file begins as an RTF file does.
bool startsWithRtf(const std::filesystem::path& file);

}  // namespace office
