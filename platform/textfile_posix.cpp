// SPDX-License-Identifier: MIT
// Text files on POSIX systems: file names and lists are bytes, kept as they are.
#include "platform/textfile.h"

namespace platform {

std::string LineFromFile(std::string bytes) {
    return bytes;
}

std::string TextForFile(std::string text) {
    return text;
}

}  // namespace platform
