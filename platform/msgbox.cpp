// SPDX-License-Identifier: MIT
#include "platform/msgbox.h"

#include <iostream>
#include <utility>

namespace platform {

namespace {

int writeToStandardError(const std::string& prompt, int, const std::string& title) {
    std::cerr << title << ": " << prompt << '\n';
    return vbOK;
}

MessageBoxBackend& backend() {
    static MessageBoxBackend current = writeToStandardError;
    return current;
}

}  // namespace

int MsgBox(const std::string& prompt, int style, const std::string& title) {
    return backend()(prompt, style, title);
}

MessageBoxBackend SetMessageBoxBackend(MessageBoxBackend replacement) {
    return std::exchange(backend(), std::move(replacement));
}

}  // namespace platform
