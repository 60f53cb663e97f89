// SPDX-License-Identifier: MIT
// The office processes' messages for the user. Every office process started from here writes
// them into one pipe, never into the program's own terminal or journal, and a thread of this
// process copies them to standard error line by line with the control characters a terminal acts
// on escaped: an engine that a document has taken over cannot send the terminal escape
// sequences, retitle it or type into it.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace office::client {

// Turns what the office processes wrote into what this process writes: complete lines, each
// with its control characters escaped; the rest of a line waits for its end. A line longer than
// kLongestLine is cut there and goes on in the next.
class DiagnosticLines {
 public:
    static constexpr std::size_t kLongestLine = 4096;
    std::string take(std::string_view written);

 private:
    std::string m_pending;
};

// The write end of the pipe, for an office process's standard error: the relay starts with the
// first call. -1 when there is none (then the process gets nowhere to write).
int diagnosticsPipe();

// Waits until everything written into the pipe so far has been copied, for the limit at most.
// Called at exit, so that the last messages of the office processes are not lost.
void flushDiagnostics(std::chrono::milliseconds limit);

}  // namespace office::client
