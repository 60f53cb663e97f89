// SPDX-License-Identifier: MIT
#include "automation/systemobject.h"

namespace automation {

ObjectPtr CreateSystemObject(const std::string& progId) {
    throw AutomationError("Cannot create the object \"" + progId +
                          "\": no program that provides it is installed.");
}

WordDeadlines SetSystemObjectDeadlines(WordDeadlines deadlines) {
    // No system object is ever made here, so there is nothing to bound.
    return deadlines;
}

}  // namespace automation
