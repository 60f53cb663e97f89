// SPDX-License-Identifier: MIT
#include "platform/shell.h"

#include <utility>

#include "platform/systembackends.h"

namespace platform {

namespace {

ShellBackend& backend() {
    static ShellBackend current = DefaultShellBackend();
    return current;
}

}  // namespace

std::intptr_t ShellExecuteA(Hwnd owner, const std::string& operation, const std::string& file,
                            const std::string& parameters, const std::string& directory,
                            int showCommand) {
    return backend()(owner, operation, file, parameters, directory, showCommand);
}

ShellBackend SetShellBackend(ShellBackend replacement) {
    return std::exchange(backend(), std::move(replacement));
}

}  // namespace platform
