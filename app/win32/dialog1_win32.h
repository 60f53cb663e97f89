// SPDX-License-Identifier: MIT
// The About box on Windows (Help > About).
#pragma once

namespace app::win32 {

// Shows a new About box modally, without an owner, and returns when it is closed.
void ShowAbout();

}  // namespace app::win32
