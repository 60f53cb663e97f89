// SPDX-License-Identifier: MIT
// A stand-in for the desktop's common dialogs in tests. While an object lives, every dialog call
// goes to it: it keeps a copy of each record handed over, with the texts and buffers the record
// points to, and answers with the next answer the test queued.
//
//   platform::ScriptedDialogs dialogs;
//   dialogs.confirmOpen("/x/a.doc");   // the user picks /x/a.doc in the open dialog
//   dialogs.confirmFolder("/x");       // then picks the folder /x in the folder browser
//   dialogs.cancelNext();              // then cancels whatever dialog comes next
//   ... drive the window ...
//   EXPECT_EQ(dialogs.openCalls().at(0).title, "Select Word File");
//   EXPECT_TRUE(dialogs.problems().empty());
//
// Answers are used in the order queued, one per dialog. A dialog that finds no answer, or one
// meant for another kind of dialog, is cancelled and noted in problems().
#pragma once

#include <array>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/commdlg.h"

namespace platform {

// One open or save dialog: the record as handed over, its pointers cleared, and copies of what
// they pointed to (nothing where the pointer was none).
struct FileDialogCall {
    OPENFILENAME record;
    // The filter list up to and including the NUL that closes it.
    std::optional<std::string> filter;
    // The whole file buffer, CharBufferBytes(nMaxFile) bytes, and the whole title buffer.
    std::optional<std::string> file;
    std::optional<std::string> fileTitle;
    std::optional<std::string> initialDir;
    std::optional<std::string> title;
    std::optional<std::string> defExt;
    bool customFilter = false;

    // The filter list's pieces, as the dialog reads them: description, pattern, ...
    std::vector<std::string> filterPieces() const;
};

struct FolderDialogCall {
    BROWSEINFO record;  // pointers cleared
    std::optional<std::string> title;
    bool root = false;
    bool displayNameBuffer = false;
};

struct ColorDialogCall {
    CHOOSECOLOR record;  // pointers cleared
    std::array<COLORREF, 16> customColors{};
};

struct FontDialogCall {
    CHOOSEFONT record;  // pointers cleared
    LOGFONT logFont;
};

struct PrinterOpenCall {
    std::string name;
    std::optional<PRINTER_DEFAULTS> defaults;  // pointers cleared
    std::optional<std::string> dataType;
};

// What the user leaves in the font dialog.
struct FontAnswer {
    std::string faceName;
    int iPointSize = 0;  // tenths of a point
    WORD nFontType = 0;
    LONG lfWeight = FW_NORMAL;
    BYTE lfItalic = 0;
};

class ScriptedDialogs final : public CommonDialogBackend {
 public:
    // Installs itself; the destructor puts back the backend it replaced.
    ScriptedDialogs();
    ~ScriptedDialogs() override;
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    // Answers for the coming dialogs, in order.
    void confirmOpen(std::string path);
    void confirmSave(std::string path);
    // An empty path stands for an item that is no folder of the file system.
    void confirmFolder(std::string path);
    // The colour chosen, and what the user leaves in the custom colour table.
    void confirmColor(COLORREF color, std::array<COLORREF, 16> customColors = {});
    void confirmFont(FontAnswer font);
    void confirmPrint();
    void confirmPrinterProperties();
    // The user closes the next dialog, of whatever kind, without confirming it.
    void cancelNext();
    // The next dialog, of whatever kind, cannot be shown.
    void failNext();

    // The desktop around the dialogs.
    void setScreenDpi(int dpi) { m_dpi = dpi; }
    // An empty name: no default printer.
    void setDefaultPrinter(std::string name) { m_defaultPrinter = std::move(name); }
    void setOpenPrinterFails(bool fails) { m_openPrinterFails = fails; }

    const std::vector<FileDialogCall>& openCalls() const { return m_openCalls; }
    const std::vector<FileDialogCall>& saveCalls() const { return m_saveCalls; }
    const std::vector<FolderDialogCall>& folderCalls() const { return m_folderCalls; }
    const std::vector<ColorDialogCall>& colorCalls() const { return m_colorCalls; }
    const std::vector<FontDialogCall>& fontCalls() const { return m_fontCalls; }
    const std::vector<PRINTDLG>& printCalls() const { return m_printCalls; }
    const std::vector<PrinterOpenCall>& printerOpenCalls() const { return m_printerOpenCalls; }
    // Owner window and printer handle of each property sheet shown.
    const std::vector<std::pair<Hwnd, HANDLE>>& printerPropertiesCalls() const {
        return m_printerPropertiesCalls;
    }
    const std::vector<HANDLE>& closedPrinters() const { return m_closedPrinters; }
    // Windows asked for a device context, and how many of those contexts are not released yet.
    const std::vector<Hwnd>& dcWindows() const { return m_dcWindows; }
    int openDCs() const { return m_openDCs; }

    // Every dialog and property sheet shown so far.
    std::size_t dialogCount() const;
    // Answers queued and not used yet.
    std::size_t pendingAnswers() const { return m_answers.size(); }
    // Dialogs that found no fitting answer.
    const std::vector<std::string>& problems() const { return m_problems; }

    // The handles this desktop gives out.
    static constexpr Hwnd kDesktop = 0xDE5C;
    static constexpr HDC kPrinterDC = 0x9D1C;

    std::optional<std::string> getOpenFileName(const OPENFILENAME& record) override;
    std::optional<std::string> getSaveFileName(const OPENFILENAME& record) override;
    std::optional<std::string> browseForFolder(const BROWSEINFO& info) override;
    BOOL chooseColor(CHOOSECOLOR& record) override;
    BOOL chooseFont(CHOOSEFONT& record) override;
    BOOL printDlg(PRINTDLG& record) override;
    std::string defaultPrinterName() override { return m_defaultPrinter; }
    HDC defaultPrinterDC() override { return m_defaultPrinter.empty() ? 0 : kPrinterDC; }
    BOOL openPrinter(const std::string& name, HANDLE& printer,
                     const PRINTER_DEFAULTS* defaults) override;
    BOOL printerProperties(Hwnd owner, HANDLE printer) override;
    BOOL closePrinter(HANDLE printer) override;
    Hwnd getDesktopWindow() override { return kDesktop; }
    HDC getDC(Hwnd window) override;
    int releaseDC(Hwnd window, HDC dc) override;
    int getDeviceCaps(HDC dc, int index) override;

 private:
    enum class Kind { Open, Save, Folder, Color, Font, Print, PrinterProperties, Cancel, Fail };
    struct Answer {
        Kind kind = Kind::Cancel;
        std::string path;
        COLORREF color = 0;
        std::array<COLORREF, 16> customColors{};
        FontAnswer font;
    };

    Answer& queue(Kind kind);
    // The next answer when it is meant for this kind of dialog; nothing (a cancel) otherwise.
    std::optional<Answer> take(Kind kind, const char* dialog);

    CommonDialogBackend* m_previous = nullptr;
    std::deque<Answer> m_answers;
    std::vector<std::string> m_problems;
    int m_dpi = 96;
    std::string m_defaultPrinter;
    bool m_openPrinterFails = false;
    HANDLE m_nextPrinter = 0x9000;
    HDC m_nextDC = 0x500;
    int m_openDCs = 0;

    std::vector<FileDialogCall> m_openCalls;
    std::vector<FileDialogCall> m_saveCalls;
    std::vector<FolderDialogCall> m_folderCalls;
    std::vector<ColorDialogCall> m_colorCalls;
    std::vector<FontDialogCall> m_fontCalls;
    std::vector<PRINTDLG> m_printCalls;
    std::vector<PrinterOpenCall> m_printerOpenCalls;
    std::vector<std::pair<Hwnd, HANDLE>> m_printerPropertiesCalls;
    std::vector<HANDLE> m_closedPrinters;
    std::vector<Hwnd> m_dcWindows;
};

}  // namespace platform
