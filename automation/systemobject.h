// SPDX-License-Identifier: MIT
// Objects that no provider of the program offers come from the system: over COM on Windows
// (comobject_win32.cpp); POSIX systems have no such registry of programs (systemobject_posix.cpp).
#pragma once

#include <string>

#include "automation/automation.h"
#include "automation/wordcalls.h"

namespace automation {

// A new object of the ProgID from the system; throws AutomationError when there is none.
ObjectPtr CreateSystemObject(const std::string& progId);

// How long a call of a system object may take before the program that serves it is ended and
// the call fails: the same deadlines as the office engine's. Returns the deadlines they replace.
WordDeadlines SetSystemObjectDeadlines(WordDeadlines deadlines);

}  // namespace automation
