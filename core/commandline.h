// SPDX-License-Identifier: MIT
// The command line: "pavendel --convert-to rtf [--outdir DIR] PATH..." converts without a window,
// with the same listing, output names and conversion as the Convert command (and, beyond it,
// folder trees and runs resumed or split among machines), and reports one line per document on
// standard output:
//   SOURCE<TAB>converted<TAB>OUTPUT, SOURCE<TAB>failed<TAB>DESCRIPTION
//   or SOURCE<TAB>skipped<TAB>OUTPUT
// with tab, newline and backslash in a field written as \t, \n and \\, and the other control
// characters as \xHH, so that a name can neither break a line nor act on a terminal; names in its
// messages on standard error are written alike. It never touches the state files and never shows
// a message box.
#pragma once

#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace core {

inline constexpr int kExitConverted = 0;  // every document converted
// A document failed, a path named nothing to convert, or standard output could not take a line.
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;  // the command line itself was wrong

// Whether the arguments (without the program's name) ask for the command line rather than the
// window: any option of the program's own ("--convert-to", "--help", ...) before "--". Paths
// alone start the window.
bool WantsCommandLine(const std::vector<std::string>& arguments);

// A field of an output line, or a name in a message: tab, newline, carriage return and backslash
// as \t, \n, \r and \\; every other control character (C0, DEL, C1, also a C1 byte of a name
// that is not UTF-8) as \x and two lower-case hex digits. Other bytes stay as they are.
std::string EscapeField(const std::string& field);

struct CommandLineIo {
    std::ostream& out;
    std::ostream& err;
    // A progress line on err while documents convert (err is a terminal).
    bool progress = false;
    // Asked before each document: the number of a signal that asked to stop (SIGINT, SIGTERM,
    // SIGHUP), or 0. A stopped run ends with 128 and that number.
    std::function<int()> stopRequested;
    // The terminal's width, which the progress line keeps within; 0 when unknown.
    int columns = 0;
    // The clock the progress line measures the run by; the steady clock when empty.
    std::function<std::chrono::steady_clock::time_point()> now;
};

// Runs the command line and gives the exit status.
int RunCommandLine(const std::vector<std::string>& arguments, const CommandLineIo& io);

}  // namespace core
