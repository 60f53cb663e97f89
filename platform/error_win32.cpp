// SPDX-License-Identifier: MIT
// On Windows a SystemError carries the Win32 error code (GetLastError) and its text.
#include "platform/error.h"

#include "platform/widetext_win32.h"

namespace platform {

SystemError::SystemError(const std::string& operation, const std::string& path, int error)
    : std::runtime_error(operation + " \"" + path +
                         "\": " + SystemErrorText(static_cast<unsigned long>(error))),
      m_error(error),
      m_path(path) {}

std::string SystemError::reason() const {
    return SystemErrorText(static_cast<unsigned long>(m_error));
}

}  // namespace platform
