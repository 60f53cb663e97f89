// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

namespace app {

// Runs the command line (core/commandline.h) in this process, without a window or a display:
// Ctrl+C (SIGINT), SIGTERM and SIGHUP end the run after the current document, a second one at
// once. Gives the exit status.
int CommandLineMain(const std::vector<std::string>& arguments);

}  // namespace app
