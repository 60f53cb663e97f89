// SPDX-License-Identifier: MIT
// A small client program for the tests of how the office processes end with the program: it
// makes an office object through the provider (so a launcher and a server run), opens a
// document with it, says "ready" on its standard output and then ends as told:
//   office-client-helper SERVER DOCUMENT exit   ends through exit(), with the objects still held,
//                                               as soon as a line comes on its standard input
//   office-client-helper SERVER DOCUMENT wait   waits until killed
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "automation/automation.h"
#include "office/client/officeclient.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s SERVER DOCUMENT exit|wait\n", argv[0]);
        return 2;
    }
    office::client::OfficeOptions options;
    options.serverPath = argv[1];
    automation::RegisterProvider("Word.Application", office::client::officeProvider(options));
    try {
        automation::ObjectPtr word = automation::CreateObject("Word.Application");
        // A second object, so that a spare server is waiting in the launcher too.
        automation::ObjectPtr spare = automation::CreateObject("Word.Application");
        word->get("Documents").asObject()->call("Open", {std::string(argv[2])});
        std::printf("ready\n");
        std::fflush(stdout);
        const bool exitWhenTold = std::string(argv[3]) == "exit";
        char buffer[64];
        while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
            if (exitWhenTold) {
                std::exit(0);  // the objects are never released: the exit must end them
            }
        }
    } catch (const automation::AutomationError& error) {
        std::printf("failed: %s\n", error.description().c_str());
        return 1;
    }
    return 0;
}
