// SPDX-License-Identifier: MIT
// Texts handed to the system are in its code page, which is UTF-8 here; like a C string they
// end at their first NUL character.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The text as the system receives it: everything before the first NUL.
std::string ToSystemText(std::string_view text);

}  // namespace platform
