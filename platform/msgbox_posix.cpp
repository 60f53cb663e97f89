// SPDX-License-Identifier: MIT
// Messages without a front end, on POSIX systems: on standard error, answered with OK.
#include <iostream>

#include "platform/msgbox.h"
#include "platform/systembackends.h"

namespace platform {

namespace {

int writeToStandardError(const std::string& prompt, int, const std::string& title) {
    std::cerr << title << ": " << prompt << '\n';
    return vbOK;
}

}  // namespace

MessageBoxBackend DefaultMessageBoxBackend() {
    return writeToStandardError;
}

}  // namespace platform
