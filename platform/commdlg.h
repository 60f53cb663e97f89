// SPDX-License-Identifier: MIT
// The desktop's common dialogs (open, save, folder, colour, font, print), the default printer and
// the screen's resolution, in the shape of the system records and calls the program was written
// against: the caller fills a record whose every field starts zero or none, makes the call, and
// reads the outcome back from the record and from the buffers it owns.
//
// Every call goes to a replaceable backend: the GUI half installs Qt's dialogs, tests install one
// that records each record and answers as scripted. The file and folder calls keep the buffer
// rules themselves: a backend only names the chosen path, and the call copies it into the caller's
// buffers when it fits the counts the record gives, or fails when it does not. A chosen path is
// never cut short into the name of another file, and no backend can write out of bounds.
//
// The sizes in lStructSize are those of the 32-bit records the program was written for; each call
// refuses a record whose size does not match, as the system does.
//
// Counts of characters (nMaxFile, nMaxFileTitle, MAX_PATH) are UTF-16 code units on every
// system: that is how Windows counts the characters of a path, its 260-character MAX_PATH is what
// the program's buffers are sized for, and one unit everywhere makes a name that fits on one
// system fit on the other. Counted in bytes of UTF-8, a path of 131 Cyrillic or 87 Chinese
// characters would already overflow a 260-character buffer. A buffer for N characters, its NUL
// included, is CharBufferBytes(N) bytes long: room for any N characters in UTF-8.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/window.h"

namespace platform {

using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using LPARAM = std::intptr_t;
// 0x00BBGGRR
using COLORREF = std::uint32_t;
// Opaque handles; 0 is none.
using HINSTANCE = std::uintptr_t;
using HDC = std::uintptr_t;
using HANDLE = std::uintptr_t;
using HGLOBAL = std::uintptr_t;
// Hook procedures are carried in the records for their shape only; no backend calls them.
using HookProc = std::uintptr_t (*)(Hwnd, unsigned int, std::uintptr_t, LPARAM);

inline constexpr int MAX_PATH = 260;

// Three bytes of UTF-8 for each UTF-16 code unit is enough: a character up to U+FFFF takes at
// most three bytes for one unit, one beyond it four bytes for two units.
constexpr std::size_t CharBufferBytes(std::size_t chars) {
    return 3 * chars;
}

// OPENFILENAME without its three trailing extension fields.
inline constexpr DWORD OPENFILENAME_SIZE_VERSION_400 = 76;
inline constexpr DWORD kOpenFileNameFullSize = 88;
inline constexpr DWORD kChooseColorSize = 36;
inline constexpr DWORD kChooseFontSize = 60;
inline constexpr DWORD kPrintDlgSize = 66;

inline constexpr DWORD OFN_OVERWRITEPROMPT = 0x2;
inline constexpr DWORD OFN_HIDEREADONLY = 0x4;
inline constexpr DWORD OFN_PATHMUSTEXIST = 0x800;
inline constexpr DWORD OFN_FILEMUSTEXIST = 0x1000;
inline constexpr DWORD OFN_LONGNAMES = 0x200000;

inline constexpr unsigned int BIF_RETURNONLYFSDIRS = 0x1;
inline constexpr unsigned int BIF_DONTGOBELOWDOMAIN = 0x2;

inline constexpr DWORD CC_RGBINIT = 0x1;
inline constexpr DWORD CC_FULLOPEN = 0x2;

inline constexpr DWORD CF_SCREENFONTS = 0x1;
inline constexpr DWORD CF_PRINTERFONTS = 0x2;
inline constexpr DWORD CF_INITTOLOGFONTSTRUCT = 0x40;
inline constexpr DWORD CF_EFFECTS = 0x100;
inline constexpr DWORD CF_FORCEFONTEXIST = 0x10000;

inline constexpr WORD BOLD_FONTTYPE = 0x100;
inline constexpr WORD ITALIC_FONTTYPE = 0x200;
inline constexpr WORD REGULAR_FONTTYPE = 0x400;
inline constexpr WORD SCREEN_FONTTYPE = 0x2000;

inline constexpr LONG FW_NORMAL = 400;
inline constexpr LONG FW_BOLD = 700;
inline constexpr int LF_FACESIZE = 32;

inline constexpr DWORD PD_NOSELECTION = 0x4;
inline constexpr DWORD PD_NOPAGENUMS = 0x8;
inline constexpr DWORD PD_HIDEPRINTTOFILE = 0x100000;

inline constexpr DWORD STANDARD_RIGHTS_REQUIRED = 0xF0000;
inline constexpr DWORD PRINTER_ACCESS_USE = 0x8;

inline constexpr int LOGPIXELSX = 88;
inline constexpr int LOGPIXELSY = 90;

struct OPENFILENAME {
    DWORD lStructSize = 0;
    Hwnd hwndOwner = kNoWindow;
    HINSTANCE hInstance = 0;
    // Description and pattern pieces, each ending in NUL, the list ending in a second NUL.
    // Patterns within a piece are separated by ";".
    const char* lpstrFilter = nullptr;
    char* lpstrCustomFilter = nullptr;
    DWORD nMaxCustFilter = 0;
    // 1-based position of the filter offered first; 0 takes the first.
    DWORD nFilterIndex = 0;
    // In: the initial file name, up to its first NUL. Out: the chosen path. nMaxFile characters,
    // the terminating NUL included, in a buffer of CharBufferBytes(nMaxFile) bytes.
    char* lpstrFile = nullptr;
    DWORD nMaxFile = 0;
    // Out: the chosen file's name without folder. nMaxFileTitle characters, in a buffer of
    // CharBufferBytes(nMaxFileTitle) bytes; none asks for nothing.
    char* lpstrFileTitle = nullptr;
    DWORD nMaxFileTitle = 0;
    const char* lpstrInitialDir = nullptr;
    // The dialog's caption; none keeps the dialog's own.
    const char* lpstrTitle = nullptr;
    DWORD Flags = 0;
    // Out: where the name and its extension start in lpstrFile, in bytes.
    WORD nFileOffset = 0;
    WORD nFileExtension = 0;
    // Appended to a typed name that has no extension; none or empty appends nothing.
    const char* lpstrDefExt = nullptr;
    LPARAM lCustData = 0;
    HookProc lpfnHook = nullptr;
    const char* lpTemplateName = nullptr;
};

// An item of the folder browser's tree; owned by whoever the browser hands it to.
struct ITEMIDLIST;
struct ItemIdListFree {
    void operator()(ITEMIDLIST* list) const;
};
using ItemIdList = std::unique_ptr<ITEMIDLIST, ItemIdListFree>;

struct BROWSEINFO {
    Hwnd hwndOwner = kNoWindow;
    // The tree's root; none roots it at the desktop.
    const ITEMIDLIST* pidlRoot = nullptr;
    // Out, when given: the chosen item's display name, in a buffer for MAX_PATH characters
    // (CharBufferBytes(MAX_PATH) bytes).
    char* pszDisplayName = nullptr;
    // The prompt above the tree; none shows no prompt.
    const char* lpszTitle = nullptr;
    unsigned int ulFlags = 0;
    HookProc lpfn = nullptr;
    LPARAM lParam = 0;
    int iImage = 0;
};

struct CHOOSECOLOR {
    DWORD lStructSize = 0;
    Hwnd hwndOwner = kNoWindow;
    HINSTANCE hInstance = 0;
    COLORREF rgbResult = 0;
    // Sixteen custom colours; the dialog reads and may change them.
    COLORREF* lpCustColors = nullptr;
    DWORD Flags = 0;
    LPARAM lCustData = 0;
    HookProc lpfnHook = nullptr;
    const char* lpTemplateName = nullptr;
};

struct LOGFONT {
    // < 0: character height in pixels of the device; > 0: cell height; 0: the default height.
    LONG lfHeight = 0;
    LONG lfWidth = 0;
    LONG lfEscapement = 0;
    LONG lfOrientation = 0;
    LONG lfWeight = 0;
    BYTE lfItalic = 0;
    BYTE lfUnderline = 0;
    BYTE lfStrikeOut = 0;
    BYTE lfCharSet = 0;
    BYTE lfOutPrecision = 0;
    BYTE lfClipPrecision = 0;
    BYTE lfQuality = 0;
    BYTE lfPitchAndFamily = 0;
    // Up to 31 bytes of text and a NUL.
    std::array<char, LF_FACESIZE> lfFaceName{};
};

struct CHOOSEFONT {
    DWORD lStructSize = 0;
    Hwnd hwndOwner = kNoWindow;
    // A printer's device context, for CF_PRINTERFONTS; none for the screen's fonts only.
    HDC hDC = 0;
    LOGFONT* lpLogFont = nullptr;
    // Out: the chosen size in tenths of a point.
    int iPointSize = 0;
    DWORD Flags = 0;
    COLORREF rgbColors = 0;
    LPARAM lCustData = 0;
    HookProc lpfnHook = nullptr;
    const char* lpTemplateName = nullptr;
    HINSTANCE hInstance = 0;
    char* lpszStyle = nullptr;
    // Out: BOLD_FONTTYPE, ITALIC_FONTTYPE, REGULAR_FONTTYPE, SCREEN_FONTTYPE.
    WORD nFontType = 0;
    int nSizeMin = 0;
    int nSizeMax = 0;
};

// The print dialog hands back no device memory and no device context: hDevMode, hDevNames and
// hDC come back as they went in, so the caller has nothing to free.
struct PRINTDLG {
    DWORD lStructSize = 0;
    Hwnd hwndOwner = kNoWindow;
    HGLOBAL hDevMode = 0;
    HGLOBAL hDevNames = 0;
    HDC hDC = 0;
    DWORD Flags = 0;
    WORD nFromPage = 0;
    WORD nToPage = 0;
    WORD nMinPage = 0;
    WORD nMaxPage = 0;
    WORD nCopies = 0;
    HINSTANCE hInstance = 0;
    LPARAM lCustData = 0;
    HookProc lpfnPrintHook = nullptr;
    HookProc lpfnSetupHook = nullptr;
    const char* lpPrintTemplateName = nullptr;
    const char* lpSetupTemplateName = nullptr;
    HGLOBAL hPrintTemplate = 0;
    HGLOBAL hSetupTemplate = 0;
};

struct DEVMODE;
struct PRINTER_DEFAULTS {
    char* pDatatype = nullptr;
    DEVMODE* pDevMode = nullptr;
    DWORD DesiredAccess = 0;
};

// Each dialog call is modal and returns when the user closes the dialog: nonzero when the user
// confirmed it, 0 when the user cancelled or the dialog could not be shown.
BOOL GetOpenFileNameA(OPENFILENAME* record);
BOOL GetSaveFileNameA(OPENFILENAME* record);
// The chosen item, or nothing when the user cancelled.
ItemIdList SHBrowseForFolder(BROWSEINFO* info);
// Writes the item's path and a NUL into path, a buffer for MAX_PATH characters
// (CharBufferBytes(MAX_PATH) bytes). Fails, writing an empty text, when the item is no folder of
// the file system or its path does not fit.
BOOL SHGetPathFromIDList(const ITEMIDLIST* list, char* path);
BOOL ChooseColorA(CHOOSECOLOR* record);
BOOL ChooseFontA(CHOOSEFONT* record);
BOOL PrintDlgA(PRINTDLG* record);

BOOL OpenPrinterA(const char* printerName, HANDLE* printer, const PRINTER_DEFAULTS* defaults);
// Shows the printer's property sheet.
BOOL PrinterProperties(Hwnd owner, HANDLE printer);
BOOL ClosePrinter(HANDLE printer);

// The program's default printer: its device name (empty when there is none) and a device context
// for it (0 when there is none). The context belongs to the printer and is not released.
std::string DefaultPrinterName();
HDC DefaultPrinterDC();

Hwnd GetDesktopWindow();
HDC GetDC(Hwnd window);
int ReleaseDC(Hwnd window, HDC dc);
int GetDeviceCaps(HDC dc, int index);

// number * numerator / denominator, rounded to the nearest integer (halves away from zero);
// -1 when denominator is 0 or the result does not fit.
int MulDiv(int number, int numerator, int denominator);

// The running program's module instance.
HINSTANCE ProgramInstance();

// Copies a face name into a LOGFONT: at most 31 bytes, ending at a whole character, the rest of
// the field zero.
void SetFaceName(LOGFONT& font, std::string_view name);
// The face name of a LOGFONT up to its first NUL.
std::string FaceName(const LOGFONT& font);

// What the calls above ask of the desktop. Backends must not throw.
class CommonDialogBackend {
 public:
    virtual ~CommonDialogBackend() = default;

    // The full path the user chose, or nothing when the dialog was cancelled or failed.
    virtual std::optional<std::string> getOpenFileName(const OPENFILENAME& record) = 0;
    virtual std::optional<std::string> getSaveFileName(const OPENFILENAME& record) = 0;
    // The chosen folder's full path, an empty text for an item that is no folder of the file
    // system, or nothing when the user cancelled.
    virtual std::optional<std::string> browseForFolder(const BROWSEINFO& info) = 0;
    // These fill the record's result fields themselves.
    virtual BOOL chooseColor(CHOOSECOLOR& record) = 0;
    virtual BOOL chooseFont(CHOOSEFONT& record) = 0;
    virtual BOOL printDlg(PRINTDLG& record) = 0;

    virtual std::string defaultPrinterName() = 0;
    virtual HDC defaultPrinterDC() = 0;
    virtual BOOL openPrinter(const std::string& name, HANDLE& printer,
                             const PRINTER_DEFAULTS* defaults) = 0;
    virtual BOOL printerProperties(Hwnd owner, HANDLE printer) = 0;
    virtual BOOL closePrinter(HANDLE printer) = 0;

    virtual Hwnd getDesktopWindow() = 0;
    virtual HDC getDC(Hwnd window) = 0;
    virtual int releaseDC(Hwnd window, HDC dc) = 0;
    virtual int getDeviceCaps(HDC dc, int index) = 0;
};

// Installs a backend, which the caller keeps alive while it is installed, and returns the one it
// replaces. nullptr installs the initial backend: on Windows the system's own dialogs, printers
// and screen; elsewhere one without a desktop, where every dialog is cancelled at once, there is
// no printer, and the screen has 96 pixels per inch.
CommonDialogBackend* SetCommonDialogBackend(CommonDialogBackend* backend);

}  // namespace platform
