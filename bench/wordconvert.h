// SPDX-License-Identifier: MIT
// The conversion sequence of one document as the program runs it: create "Word.Application",
// Documents.Open, ActiveDocument.SaveAs with FileFormat 6, Quit; after a failure Quit is still
// asked of an instance that was started. Gives "" or the description of what failed.
#pragma once

#include <cstdint>
#include <string>

#include "platform/automation.h"

namespace bench {

inline std::string convertWithWord(const std::string& source, const std::string& target) {
    platform::ObjectPtr word;
    try {
        word = platform::CreateObject("Word.Application");
        word->get("Documents").asObject()->call("Open", {source});
        word->get("ActiveDocument")
            .asObject()
            ->call("SaveAs", {target}, {{"FileFormat", std::int32_t{6}}});
        word->call("Quit");
        return {};
    } catch (const platform::AutomationError& error) {
        if (word) {
            try {
                word->call("Quit");
            } catch (const platform::AutomationError&) {
            }
        }
        return error.description();
    }
}

}  // namespace bench
