// SPDX-License-Identifier: MIT
// Runs one engine process to its end, cut off from the network, dying with the server, and
// stopped at once when the client goes away.
#pragma once

#include <string>
#include <vector>

namespace office {

struct EngineRun {
    std::string program;
    std::vector<std::string> arguments;    // without the program name
    std::vector<std::string> environment;  // NAME=value, the whole environment
    std::string folder;                    // working folder
    int clientFd = -1;                     // when this socket hangs up: kill, throw ClientGone
};

// The wait status of the ended process. Throws platform::AutomationError when it cannot be
// started and ClientGone when the client left meanwhile.
int runEngine(const EngineRun& run);

// Cuts this process and everything it starts afterwards off the network (a network namespace of
// its own, through a user namespace that maps only the user itself when that is what is
// allowed). Only while the process has a single thread. False when neither is allowed; then the
// profile's settings still block remote links.
bool isolateFromNetwork();

// The current environment with the given variables set (NAME=value each) over it.
std::vector<std::string> environmentWith(const std::vector<std::string>& overrides);

}  // namespace office
