// SPDX-License-Identifier: MIT
// The engine of today: LibreOffice's own conversion (soffice.bin --convert-to), one engine process
// per opened document, run on a private copy of the document in the server's working folder.
//
// This is the path that converts every document LibreOffice can convert: on 7.4 LibreOfficeKit
// refuses documents with comments and a remote UNO load crashes on the same files, while the
// engine's own conversion loads them in-process the way its desktop does.
//
// Open does the conversion, so that a document the engine cannot read fails at Open as in Word;
// SaveAs then only places the RTF at the target. The source is only ever read: it is copied into
// the working folder first, so neither lock files nor anything else can land beside it.
#pragma once

#include "office/engine.h"
#include "office/profile.h"

namespace office {

class ConvertEngine : public Engine {
 public:
    // Makes the server's working folder in the cache folder. clientFd as in EngineRun.
    ConvertEngine(EngineInstall install, int clientFd);
    ~ConvertEngine() override;
    ConvertEngine(const ConvertEngine&) = delete;
    ConvertEngine& operator=(const ConvertEngine&) = delete;

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

// Copies the file to the target through a temporary name in the target's folder, so the target
// is either the whole new file or untouched. Throws AutomationError naming the target.
void writeReplacing(const std::string& source, const std::string& target);

}  // namespace office
