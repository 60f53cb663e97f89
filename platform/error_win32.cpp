// SPDX-License-Identifier: MIT
// On Windows a SystemError carries the Win32 error code (GetLastError) and its text.
#include "platform/error.h"
#include "platform/widetext_win32.h"

namespace platform {

std::string ErrorText(int error) {
    return SystemErrorText(static_cast<unsigned long>(error));
}

}  // namespace platform
