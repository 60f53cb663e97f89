// SPDX-License-Identifier: MIT
#include "dialogs/links.h"

#include "dialogs/dialog1.h"
#include "dialogs/setting.h"
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

void ShowSettings(const state::StateFiles& files) {
    Setting dialog(files);
    dialog.exec();
}

void ShowAbout() {
    Dialog1 dialog;
    dialog.exec();
}

}  // namespace dialogs
