// SPDX-License-Identifier: MIT
#include <cstring>

#include "platform/error.h"

namespace platform {

std::string ErrorText(int error) {
    return std::strerror(error);
}

}  // namespace platform
