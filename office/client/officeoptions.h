// SPDX-License-Identifier: MIT
// How the office client starts and bounds the office engine; every part of the client takes these.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "automation/wordcalls.h"

namespace office::client {

struct OfficeOptions {
    // Empty: pavendel-office in the program folder.
    std::string serverPath;
    // Extra command-line arguments for the server.
    std::vector<std::string> arguments;
    // Open and SaveAs, and every other call.
    automation::WordDeadlines deadlines;
    // Starting the server, up to its first message.
    std::chrono::milliseconds startDeadline{std::chrono::seconds(10)};
    // How long a server that was told to end may take before its group is killed.
    std::chrono::milliseconds exitGrace{std::chrono::seconds(5)};
    // Fork servers from one launcher per provider; false: start each server directly.
    bool useLauncher = true;
    // How many documents of a planned run convert at once; 0: as many as the processors this
    // program may use, as far as the available memory allows, or $PAVENDEL_CONVERSIONS.
    // At most 8.
    int conversions = 0;
};

}  // namespace office::client
