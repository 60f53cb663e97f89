// SPDX-License-Identifier: MIT
// A fault a test can ask the office server to provoke, so that what a real engine failure does
// can be tested on demand: $PAVENDEL_OFFICE_FAULT is "<kind>:<document file name>", with kind
//   server-crash  the server ends abruptly when it is asked to open that document;
//   server-hang   the server never answers when it is asked to open that document;
//   engine-crash  the engine instance aborts on that document;
//   engine-hang   the engine instance stops working on that document and never finishes it;
//   check-crash   the process that reads the document before the engine crashes on it;
//   maker-crash   the launcher's server maker ends abruptly on its request of that number
//                 ("maker-crash:2": on the second server it is asked for).
// Unset in normal use, and then this is never true.
#pragma once

#include <cstdlib>
#include <string>
#include <string_view>

namespace office {

inline bool faultRequested(std::string_view kind, const std::string& documentName) {
    const char* fault = std::getenv("PAVENDEL_OFFICE_FAULT");
    if (fault == nullptr) {
        return false;
    }
    const std::string_view text(fault);
    return text.size() == kind.size() + 1 + documentName.size() &&
           text.substr(0, kind.size()) == kind && text[kind.size()] == ':' &&
           text.substr(kind.size() + 1) == documentName;
}

}  // namespace office
