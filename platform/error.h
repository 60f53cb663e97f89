// SPDX-License-Identifier: MIT
#pragma once

#include <stdexcept>
#include <string>

namespace platform {

// A failed call into the operating system. what() names the operation, the path and the reason.
// The error is errno on POSIX systems and the Win32 error code (GetLastError) on Windows.
class SystemError : public std::runtime_error {
 public:
    SystemError(const std::string& operation, const std::string& path, int error);
    int error() const { return m_error; }
    const std::string& path() const { return m_path; }
    // The reason alone, as the system words it ("Permission denied").
    std::string reason() const;

 private:
    int m_error;
    std::string m_path;
};

}  // namespace platform
