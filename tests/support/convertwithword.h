// SPDX-License-Identifier: MIT
// One document converted through "Word.Application" as the program converts it, for tests that
// look at what the conversion came to.
#pragma once

#include <optional>
#include <string>

#include "automation/wordcalls.h"

namespace testsupport {

// The description of what failed, or nothing when the document converted.
inline std::optional<std::string> convertWithWord(const std::string& source,
                                                  const std::string& target,
                                                  const automation::FailureShower& show = {}) {
    if (auto failure = automation::ConvertWithWord(source, target, show)) {
        return failure->description;
    }
    return std::nullopt;
}

}  // namespace testsupport
