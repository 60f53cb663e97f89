// SPDX-License-Identifier: MIT
#include "platform/systemtext.h"

namespace platform {

std::string ToSystemText(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

}  // namespace platform
