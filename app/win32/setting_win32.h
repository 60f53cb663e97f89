// SPDX-License-Identifier: MIT
// The settings dialog on Windows (the Settings menu).
#pragma once

namespace state {
class StateFiles;
}

namespace app::win32 {

// Shows a new settings dialog modally, without an owner, and returns when it is closed.
void ShowSettings(const state::StateFiles& files);

}  // namespace app::win32
