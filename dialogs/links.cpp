// SPDX-License-Identifier: MIT
#include "dialogs/links.h"

#include "platform/paths.h"
#include "platform/shell.h"

namespace dialogs {

void OpenHelpFile(platform::Hwnd owner) {
    OpenHelpFile(owner, platform::programFolder());
}

void OpenHelpFile(platform::Hwnd owner, const std::string& programDir) {
    platform::ShellExecuteA(owner, "open", platform::inFolder(programDir, kHelpFileName), "", "",
                            platform::SW_SHOW);
}

void OpenHomePage(platform::Hwnd owner) {
    platform::ShellExecuteA(owner, "open", kHomePage, "", "", platform::SW_SHOW);
}

}  // namespace dialogs
