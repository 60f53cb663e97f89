// SPDX-License-Identifier: MIT
#include "platform/systemobject.h"

namespace platform {

ObjectPtr CreateSystemObject(const std::string& progId) {
    throw AutomationError("Cannot create the object \"" + progId +
                          "\": no program that provides it is installed.");
}

}  // namespace platform
