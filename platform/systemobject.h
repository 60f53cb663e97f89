// SPDX-License-Identifier: MIT
// Objects that no provider of the program offers come from the system: over COM on Windows
// (comobject_win32.cpp); POSIX systems have no such registry of programs (systemobject_posix.cpp).
#pragma once

#include <string>

#include "platform/automation.h"

namespace platform {

// A new object of the ProgID from the system; throws AutomationError when there is none.
ObjectPtr CreateSystemObject(const std::string& progId);

}  // namespace platform
