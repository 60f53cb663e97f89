// SPDX-License-Identifier: MIT
// Objects that no provider of the program offers come from the system: over COM on Windows
// (comobject_win32.cpp); POSIX systems have no such registry of programs (systemobject_posix.cpp).
#pragma once

#include <chrono>
#include <string>

#include "platform/automation.h"

namespace platform {

// A new object of the ProgID from the system; throws AutomationError when there is none.
ObjectPtr CreateSystemObject(const std::string& progId);

// How long a call of a system object may take before the program that serves it is ended and
// the call fails: opening and saving a document, and every other call. The same as the office
// engine's on POSIX systems. Returns the deadlines they replace.
struct SystemObjectDeadlines {
    std::chrono::milliseconds document{std::chrono::seconds(120)};
    std::chrono::milliseconds call{std::chrono::seconds(10)};
};
SystemObjectDeadlines SetSystemObjectDeadlines(SystemObjectDeadlines deadlines);

}  // namespace platform
