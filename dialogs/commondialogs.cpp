// SPDX-License-Identifier: MIT
#include "dialogs/commondialogs.h"

#include <array>
#include <exception>
#include <limits>
#include <stdexcept>

#include "platform/dirsearch.h"
#include "platform/error.h"
#include "platform/paths.h"
#include "platform/systemtext.h"

using namespace platform;

namespace {

// Characters are counted as the system's dialogs count them, in UTF-16 code units (commdlg.h), so
// that a limit of 260 characters is one of 260 Cyrillic or Chinese letters too, not of 260 bytes
// of their UTF-8.
// The open dialog's file and title buffers hold this many characters and a NUL.
constexpr DWORD kOpenChars = 260;
// The save dialog's buffers, of which the dialog may fill kSaveFileCount.
constexpr DWORD kSaveBufferChars = 256;
constexpr DWORD kSaveFileCount = 255;

const char kWordFilter[] = "Word File(*.doc;*.docx)\0*.doc;*.docx\0";

std::string upToFirstNul(const std::string& text) {
    return text.substr(0, text.find('\0'));
}

std::string trimSpaces(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Everything before the last separator: "/docs/a.doc" gives "/docs", "/a.doc" the empty text.
std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind(kPathSeparator);
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Whether a folder path ending in a separator lists any entry, its own "." included; a folder
// that is missing or cannot be read lists nothing.
bool listsAnything(const std::string& folder) {
    try {
        return !AnyMatch(folder, kAttrDirectory | kAttrHidden).empty();
    } catch (const SystemError&) {
        return false;
    }
}

// "a|b|c" as "a", NUL, "b", NUL, "c", NUL and a closing NUL; empty pieces stay pieces.
std::string filterList(const std::string& filter) {
    const std::string text = trimSpaces(filter).empty() ? std::string("*.*|*.*") : filter;
    std::string list;
    std::size_t start = 0;
    for (;;) {
        const std::size_t bar = text.find('|', start);
        list.append(text, start, bar == std::string::npos ? std::string::npos : bar - start);
        list.push_back('\0');
        if (bar == std::string::npos) {
            break;
        }
        start = bar + 1;
    }
    list.push_back('\0');
    return list;
}

const char* noneWhenEmpty(const std::string& text) {
    return text.empty() ? nullptr : text.c_str();
}

// Operations whose failing steps are left out run each such step through this.
template <typename Step>
void skipOnError(Step step) {
    try {
        step();
    } catch (const std::exception&) {
    }
}

}  // namespace

std::string CCommonDialogs::Title() const {
    return upToFirstNul(m_title);
}

std::string CCommonDialogs::Path() const {
    return upToFirstNul(m_path);
}

std::string CCommonDialogs::FileTitle() const {
    return upToFirstNul(m_fileTitle);
}

std::string CCommonDialogs::FileName() const {
    return upToFirstNul(m_fileName);
}

Hwnd CCommonDialogs::ownerWindow() const {
    return m_ownerForm != nullptr ? m_ownerForm->hWnd() : kNoWindow;
}

bool CCommonDialogs::ShowOpen() {
    const std::string initialName = ToSystemText(FileName());
    const std::size_t initialChars = Utf16Length(initialName);
    if (initialChars > kOpenChars) {
        throw std::invalid_argument("FileName is longer than 260 characters");
    }
    // The initial name padded with spaces to 260 characters, then the NUL; the rest of the
    // buffer, room for the UTF-8 of a longer choice, is NUL too.
    std::string file = initialName + std::string(kOpenChars - initialChars, ' ');
    file.resize(CharBufferBytes(kOpenChars + 1), '\0');
    std::string fileTitle(kOpenChars, ' ');
    fileTitle.resize(CharBufferBytes(kOpenChars + 1), '\0');
    const std::string title = ToSystemText(Title());
    const std::string defExt = ToSystemText(DefExt());

    OPENFILENAME record;
    record.lStructSize = OPENFILENAME_SIZE_VERSION_400;
    record.hwndOwner = ownerWindow();
    record.hInstance = ProgramInstance();
    record.lpstrFilter = kWordFilter;
    record.nFilterIndex = 0;
    record.lpstrFile = file.data();
    record.nMaxFile = kOpenChars + 1;
    record.lpstrFileTitle = fileTitle.data();
    record.nMaxFileTitle = kOpenChars + 1;
    record.lpstrTitle = noneWhenEmpty(title);
    record.Flags = OFN_LONGNAMES | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    record.lpstrDefExt = noneWhenEmpty(defExt);
    if (!GetOpenFileNameA(&record)) {
        return false;
    }
    // The getters stop at the NUL the dialog wrote after each text.
    m_fileTitle = upToFirstNul(fileTitle);
    m_fileName = upToFirstNul(file);
    m_path = folderOf(m_fileName);
    return true;
}

bool CCommonDialogs::ShowSave() {
    std::string start = Path();
    if (trimSpaces(start).empty()) {
        start = programFolder();
    } else {
        if (start.back() != kPathSeparator) {
            start.push_back(kPathSeparator);
        }
        if (!listsAnything(start)) {
            start = programFolder();
        }
    }
    // The settled start folder stays, whatever happens to the dialog.
    m_path = start;

    const std::string filter = filterList(Filter());
    std::string file(CharBufferBytes(kSaveBufferChars), '\0');
    std::string fileTitle(CharBufferBytes(kSaveBufferChars), '\0');
    const std::string initialDir = ToSystemText(m_path);
    const char emptyDefExt[] = "";

    OPENFILENAME record;
    record.lStructSize = OPENFILENAME_SIZE_VERSION_400;
    record.hwndOwner = ownerWindow();
    record.hInstance = ProgramInstance();
    record.lpstrFilter = filter.c_str();
    record.nFilterIndex = 1;
    record.lpstrFile = file.data();
    record.nMaxFile = kSaveFileCount;
    record.lpstrFileTitle = fileTitle.data();
    record.nMaxFileTitle = kSaveBufferChars;
    record.lpstrInitialDir = initialDir.c_str();
    record.lpstrTitle = "Save";
    record.Flags = OFN_LONGNAMES | OFN_HIDEREADONLY;
    record.lpstrDefExt = emptyDefExt;
    if (!GetSaveFileNameA(&record)) {
        return false;
    }
    m_fileTitle = upToFirstNul(fileTitle);
    m_fileName = upToFirstNul(file);
    m_path = folderOf(m_fileName);
    return true;
}

bool CCommonDialogs::ShowFolder() {
    const std::string prompt = ToSystemText(Title());
    BROWSEINFO info;
    info.hwndOwner = ownerWindow();
    info.lpszTitle = noneWhenEmpty(prompt);
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
    const ItemIdList chosen = SHBrowseForFolder(&info);
    if (!chosen) {
        return false;
    }
    // An item without a path of its own leaves the buffer, and so Path, empty.
    std::string folder(CharBufferBytes(MAX_PATH), '\0');
    SHGetPathFromIDList(chosen.get(), folder.data());
    m_path = upToFirstNul(folder);
    m_fileName.clear();
    m_fileTitle.clear();
    return true;
}

bool CCommonDialogs::ShowColor(bool FullOpen) {
    // Custom colours start black at every call and are dropped afterwards.
    std::array<COLORREF, 16> customColors{};
    CHOOSECOLOR record;
    record.lStructSize = kChooseColorSize;
    record.hwndOwner = ownerWindow();
    record.rgbResult = m_color;
    record.lpCustColors = customColors.data();
    record.Flags = CC_RGBINIT | (FullOpen ? CC_FULLOPEN : 0);
    if (!ChooseColorA(&record)) {
        return false;
    }
    m_color = record.rgbResult;
    return true;
}

bool CCommonDialogs::ShowFont() {
    LOGFONT font;
    const Hwnd desktop = GetDesktopWindow();
    const HDC screen = GetDC(desktop);
    const int pixelsPerInch = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(desktop, screen);
    font.lfHeight = -MulDiv(m_fontSize, pixelsPerInch, 72);
    font.lfWeight = m_fontBold ? FW_BOLD : 0;
    font.lfItalic = m_fontItalic ? 1 : 0;
    font.lfUnderline = m_fontUnderline ? 1 : 0;
    SetFaceName(font, ToSystemText(m_fontName));

    CHOOSEFONT record;
    record.lStructSize = kChooseFontSize;
    skipOnError([&] { record.hwndOwner = ownerWindow(); });
    record.hDC = DefaultPrinterDC();
    record.lpLogFont = &font;
    record.rgbColors = m_color;
    record.Flags = CF_SCREENFONTS | CF_PRINTERFONTS | CF_INITTOLOGFONTSTRUCT | CF_FORCEFONTEXIST;
    if (!ChooseFontA(&record)) {
        return false;
    }
    m_fontName = FaceName(font);
    m_fontBold = (record.nFontType & BOLD_FONTTYPE) != 0;
    m_fontItalic = (record.nFontType & ITALIC_FONTTYPE) != 0;
    // A size beyond the property's range leaves FontSize as it was.
    const int points = record.iPointSize / 10;
    if (points >= std::numeric_limits<std::int16_t>::min() &&
        points <= std::numeric_limits<std::int16_t>::max()) {
        m_fontSize = static_cast<std::int16_t>(points);
    }
    return true;
}

bool CCommonDialogs::ShowPrinter() {
    PRINTDLG record;
    record.lStructSize = kPrintDlgSize;
    record.hwndOwner = ownerWindow();
    record.Flags = PD_HIDEPRINTTOFILE | PD_NOPAGENUMS | PD_NOSELECTION;
    return PrintDlgA(&record) != 0;
}

bool CCommonDialogs::ShowPrinterProperties() {
    PRINTER_DEFAULTS defaults;
    defaults.DesiredAccess = STANDARD_RIGHTS_REQUIRED | PRINTER_ACCESS_USE;
    const std::string printerName = DefaultPrinterName();
    if (printerName.empty()) {
        return false;
    }
    HANDLE printer = 0;
    if (!OpenPrinterA(printerName.c_str(), &printer, &defaults)) {
        return false;
    }
    BOOL shown = 0;
    skipOnError([&] { shown = PrinterProperties(ownerWindow(), printer); });
    ClosePrinter(printer);
    return shown != 0;
}
