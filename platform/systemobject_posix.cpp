// SPDX-License-Identifier: MIT
#include "platform/systemobject.h"

namespace platform {

ObjectPtr CreateSystemObject(const std::string& progId) {
    throw AutomationError("Cannot create the object \"" + progId +
                          "\": no program that provides it is installed.");
}

SystemObjectDeadlines SetSystemObjectDeadlines(SystemObjectDeadlines deadlines) {
    // No system object is ever made here, so there is nothing to bound.
    return deadlines;
}

}  // namespace platform
