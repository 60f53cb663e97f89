// SPDX-License-Identifier: MIT
#include "platform/msgbox.h"

#include <utility>

#include "platform/systembackends.h"

namespace platform {

namespace {

MessageBoxBackend& backend() {
    static MessageBoxBackend current = DefaultMessageBoxBackend();
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
