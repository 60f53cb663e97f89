// SPDX-License-Identifier: MIT
// Runs one engine process (soffice.bin) to its end, for the conversion of a document
// (sofficeengine.h) or the preparation of a profile (profile.h): within the engine's limits,
// dying with the server, and stopped at once when the client goes away. The network isolation of
// the server (sandbox.h) holds for it too.
#pragma once

#include <string>
#include <vector>

namespace office {

struct EngineRun {
    std::string program;
    std::vector<std::string> arguments;    // without the program name
    std::vector<std::string> environment;  // NAME=value, the whole environment
    std::string folder;                    // working folder
    // The folders the engine may write in (its working folders); it reads them too.
    std::vector<std::string> ownFolders;
    int clientFd = -1;  // when this socket hangs up: kill, throw ClientGone
};

// The wait status of the ended process. Throws automation::AutomationError when it cannot be
// started and ClientGone when the client left meanwhile.
int runEngine(const EngineRun& run);

// The current environment with the given variables set (NAME=value each) over it.
std::vector<std::string> environmentWith(const std::vector<std::string>& overrides);

}  // namespace office
