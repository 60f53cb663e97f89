// SPDX-License-Identifier: MIT
// The texts of a list view's entries, in list order, as the module procedures read them.
#pragma once

#include <string>
#include <vector>

#include "core/controls.h"

namespace testsupport {

inline std::vector<std::string> texts(const core::ListView& list) {
    std::vector<std::string> out;
    for (int position = 1; position <= list.count(); ++position) {
        out.push_back(list.text(position));
    }
    return out;
}

}  // namespace testsupport
