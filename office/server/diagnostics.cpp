// SPDX-License-Identifier: MIT
#include "office/server/diagnostics.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace office {

namespace {

int g_diagnostics = STDERR_FILENO;

}  // namespace

void keepDiagnostics() {
    if (g_diagnostics != STDERR_FILENO) {
        return;
    }
    // A copy that lives on when standard error is silenced; not passed on to the engine's
    // programs, which must not write to the program's terminal or journal.
    const int copy = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (copy >= 0) {
        g_diagnostics = copy;
    }
}

void diagnose(const std::string& message) {
    std::string line = "pavendel-office: " + message;
    // One message, one line: a description from the engine may hold line breaks.
    for (char& c : line) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    line += '\n';
    // A single write, so that lines of several processes do not interleave.
    for (std::size_t written = 0; written < line.size();) {
        const ssize_t n = ::write(g_diagnostics, line.data() + written, line.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        written += static_cast<std::size_t>(n);
    }
}

bool tracing() {
    const char* value = std::getenv("PAVENDEL_OFFICE_TRACE");
    return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
}

void trace(const std::string& message) {
    if (tracing()) {
        diagnose(message);
    }
}

}  // namespace office
