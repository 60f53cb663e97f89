// SPDX-License-Identifier: MIT
#pragma once

#include <stdexcept>
#include <string>

namespace platform {

// A failed call into the operating system. what() names the operation, the path and the reason.
// The error is errno on POSIX systems and the Win32 error code (GetLastError) on Windows; a
// failure the system gives no number for has error 0 and its reason in words. The layers above
// say it to the user in their own words.
class SystemError : public std::runtime_error {
 public:
    SystemError(const std::string& operation, const std::string& path, int error);
    SystemError(const std::string& operation, const std::string& path, const std::string& reason);
    int error() const { return m_error; }
    const std::string& operation() const { return m_operation; }
    const std::string& path() const { return m_path; }
    // The reason alone, as the system words it ("Permission denied").
    const std::string& reason() const { return m_reason; }

 private:
    int m_error;
    std::string m_operation;
    std::string m_path;
    std::string m_reason;
};

// The system's words for an error number, as SystemError gives them.
std::string ErrorText(int error);

}  // namespace platform
