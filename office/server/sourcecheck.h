// SPDX-License-Identifier: MIT
// What every engine tier checks before it lets the engine see a file: that it is there, a regular
// file, and no encrypted document, picture, random bytes or package that unpacks to more than a
// Word document holds.
#pragma once

#include <string>

#include "office/server/filekind.h"

namespace office {

// Throws automation::AutomationError with the description for the user; otherwise says what the
// file holds.
FileSniff checkSource(const std::string& path);

}  // namespace office
