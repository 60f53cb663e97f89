// SPDX-License-Identifier: MIT
#include "platform/error.h"

namespace platform {

SystemError::SystemError(const std::string& operation, const std::string& path, int error)
    : SystemError(operation, path, ErrorText(error)) {
    m_error = error;
}

SystemError::SystemError(const std::string& operation, const std::string& path,
                         const std::string& reason)
    : std::runtime_error(operation + " \"" + path + "\": " + reason),
      m_error(0),
      m_operation(operation),
      m_path(path),
      m_reason(reason) {}

}  // namespace platform
