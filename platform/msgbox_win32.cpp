// SPDX-License-Identifier: MIT
// Message boxes on Windows: the system's own, owned by the thread's active window so that they
// are modal to it. The program's styles and answers are the system's values (vbYesNo is
// MB_YESNO, vbYes is IDYES), so they pass through unchanged.
#include "platform/msgbox.h"
#include "platform/systembackends.h"
#include "platform/widetext_win32.h"

#include <windows.h>

namespace platform {

namespace {

static_assert(vbYesNo == MB_YESNO && vbCritical == MB_ICONHAND && vbQuestion == MB_ICONQUESTION &&
              vbExclamation == MB_ICONEXCLAMATION && vbInformation == MB_ICONASTERISK &&
              vbOK == IDOK && vbYes == IDYES && vbNo == IDNO);

int showMessageBox(const std::string& prompt, int style, const std::string& title) {
    return ::MessageBoxW(::GetActiveWindow(), Widen(prompt).c_str(), Widen(title).c_str(),
                         static_cast<UINT>(style));
}

}  // namespace

MessageBoxBackend DefaultMessageBoxBackend() {
    return showMessageBox;
}

}  // namespace platform
