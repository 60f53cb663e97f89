// SPDX-License-Identifier: MIT
// On POSIX systems the common dialogs need the GUI half, which installs Qt's
// (gui/qtcommondialogs.cpp); until then there is no desktop.
#include "platform/commdlg.h"
#include "platform/systembackends.h"

namespace platform {

namespace {

// Without a desktop nothing can be chosen: every dialog is cancelled.
class NoDesktop final : public CommonDialogBackend {
 public:
    std::optional<std::string> getOpenFileName(const OPENFILENAME&) override { return {}; }
    std::optional<std::string> getSaveFileName(const OPENFILENAME&) override { return {}; }
    std::optional<std::string> browseForFolder(const BROWSEINFO&) override { return {}; }
    BOOL chooseColor(CHOOSECOLOR&) override { return 0; }
    BOOL chooseFont(CHOOSEFONT&) override { return 0; }
    BOOL printDlg(PRINTDLG&) override { return 0; }
    std::string defaultPrinterName() override { return {}; }
    HDC defaultPrinterDC() override { return 0; }
    BOOL openPrinter(const std::string&, HANDLE&, const PRINTER_DEFAULTS*) override { return 0; }
    BOOL printerProperties(Hwnd, HANDLE) override { return 0; }
    BOOL closePrinter(HANDLE) override { return 0; }
    Hwnd getDesktopWindow() override { return kNoWindow; }
    HDC getDC(Hwnd) override { return 1; }
    int releaseDC(Hwnd, HDC) override { return 1; }
    int getDeviceCaps(HDC, int index) override {
        return index == LOGPIXELSX || index == LOGPIXELSY ? 96 : 0;
    }
};

}  // namespace

CommonDialogBackend& DefaultCommonDialogBackend() {
    static NoDesktop instance;
    return instance;
}

}  // namespace platform
