// SPDX-License-Identifier: MIT
// The engine that runs LibreOffice's own conversion (soffice.bin --convert-to), one engine process
// per opened document (sofficeprocess.h): the last tier of engine.h. The source is only ever
// read: the engine converts a private copy in the server's working folder (privatecopy.h). A
// remote UNO load would be no substitute: on 7.4 it crashes on the documents with comments that
// LibreOfficeKit refuses.
#pragma once

#include "office/server/engine.h"
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

}  // namespace office
