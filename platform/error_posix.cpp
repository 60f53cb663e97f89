// SPDX-License-Identifier: MIT
#include "platform/error.h"

#include <cstring>

namespace platform {

SystemError::SystemError(const std::string& operation, const std::string& path, int error)
    : std::runtime_error(operation + " \"" + path + "\": " + std::strerror(error)),
      m_error(error),
      m_path(path) {}

std::string SystemError::reason() const {
    return std::strerror(m_error);
}

}  // namespace platform
