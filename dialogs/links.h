// SPDX-License-Identifier: MIT
// The help, home-page, settings and About commands of the main window, one call each:
//   "Help" button and menu Help > Help          OpenHelpFile(main window handle)
//   "HomePage" button and menu Help > HomePage  OpenHomePage(main window handle)
//   menu Settings                               ShowSettings(state files), setting.h
//   menu Help > About                           ShowAbout(), dialog1.h
// (the Windows front end draws the settings dialog and the About box itself: app/win32/).
// Opening goes through the shell's "open"; a failure to open is not reported, so a missing help
// file or a desktop without a browser leaves the window as it was.
#pragma once

#include <string>

#include "platform/window.h"

namespace dialogs {

// The home page, the same for the main window's commands and the About box link.
inline constexpr const char* kHomePage = "https://pavendel.example.org/";
// The support address shown in the About box; its link opens a new mail to it.
inline constexpr const char* kSupportAddress = "support@example.org";
// The compiled help lies in the program folder under this name.
inline constexpr const char* kHelpFileName = "help.chm";

// Opens help.chm of the program folder with the desktop's viewer.
void OpenHelpFile(platform::Hwnd owner);
// Same for a given program folder; the whole path is handed over as one file name.
void OpenHelpFile(platform::Hwnd owner, const std::string& programDir);

// Opens the home page in the web browser.
void OpenHomePage(platform::Hwnd owner);

}  // namespace dialogs
