// SPDX-License-Identifier: MIT
// The common dialogs, printers and screen of Windows behind the program's records. Each call
// copies what the program's record asks for into the system's wide-character record, shows the
// system's dialog and hands back what the user chose as UTF-8, so that names outside the ANSI
// code page come through whole.
//
// What the records carry for their shape only is not passed on: hook procedures and dialog
// templates (the program has none), a custom filter, and multiple selection, whose answer the
// program's record could not carry. The print dialog's device memory and context are freed here,
// as the program's record never hands them out.
#include "platform/commdlg.h"
#include "platform/systembackends.h"
#include "platform/widetext_win32.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// windows.h makes macros of many of commdlg.h's names (OPENFILENAME, LOGFONT, MAX_PATH, the
// flags), so everything below that names the program's records or constants comes first. After
// windows.h the flags are the system's own, which have the program's values (checked there).
namespace {

using FileRecord = platform::OPENFILENAME;
using FolderInfo = platform::BROWSEINFO;
using ColorRecord = platform::CHOOSECOLOR;
using FontRecord = platform::CHOOSEFONT;
using ProgramFont = platform::LOGFONT;
using PrintRecord = platform::PRINTDLG;
using PrinterDefaults = platform::PRINTER_DEFAULTS;

// clang-format off
constexpr std::array<unsigned long, 28> kProgramValues = {
    platform::MAX_PATH, platform::LF_FACESIZE, platform::OFN_OVERWRITEPROMPT,
    platform::OFN_HIDEREADONLY, platform::OFN_PATHMUSTEXIST, platform::OFN_FILEMUSTEXIST,
    platform::OFN_LONGNAMES, platform::BIF_RETURNONLYFSDIRS, platform::BIF_DONTGOBELOWDOMAIN,
    platform::CC_RGBINIT, platform::CC_FULLOPEN, platform::CF_SCREENFONTS,
    platform::CF_PRINTERFONTS, platform::CF_INITTOLOGFONTSTRUCT, platform::CF_EFFECTS,
    platform::CF_FORCEFONTEXIST, platform::BOLD_FONTTYPE, platform::ITALIC_FONTTYPE,
    platform::REGULAR_FONTTYPE, platform::SCREEN_FONTTYPE, platform::PD_NOSELECTION,
    platform::PD_NOPAGENUMS, platform::PD_HIDEPRINTTOFILE, platform::STANDARD_RIGHTS_REQUIRED,
    platform::PRINTER_ACCESS_USE, platform::LOGPIXELSX, platform::LOGPIXELSY, platform::FW_BOLD};
// clang-format on

// The path of the item a folder browser is rooted at; empty for none (the desktop).
std::string rootPath(const platform::ITEMIDLIST* root) {
    std::string path(platform::CharBufferBytes(platform::MAX_PATH), '\0');
    if (root == nullptr || !platform::SHGetPathFromIDList(root, path.data())) {
        return {};
    }
    return path.substr(0, path.find('\0'));
}

}  // namespace

#include <windows.h>
// After windows.h, which they need.
#include <commdlg.h>
#include <shlobj.h>
#include <winspool.h>

#include "platform/window_win32.h"

namespace {

// clang-format off
static_assert(kProgramValues == std::array<unsigned long, 28>{
    MAX_PATH, LF_FACESIZE, OFN_OVERWRITEPROMPT, OFN_HIDEREADONLY, OFN_PATHMUSTEXIST,
    OFN_FILEMUSTEXIST, OFN_LONGNAMES, BIF_RETURNONLYFSDIRS, BIF_DONTGOBELOWDOMAIN, CC_RGBINIT,
    CC_FULLOPEN, CF_SCREENFONTS, CF_PRINTERFONTS, CF_INITTOLOGFONTSTRUCT, CF_EFFECTS,
    CF_FORCEFONTEXIST, BOLD_FONTTYPE, ITALIC_FONTTYPE, REGULAR_FONTTYPE, SCREEN_FONTTYPE,
    PD_NOSELECTION, PD_NOPAGENUMS, PD_HIDEPRINTTOFILE, STANDARD_RIGHTS_REQUIRED, PRINTER_ACCESS_USE,
    LOGPIXELSX, LOGPIXELSY, FW_BOLD},
    "the program's flags and constants pass to the system unchanged");
// clang-format on

using platform::FromHWND;
using platform::Narrow;
using platform::ToHWND;
using platform::Widen;

// Room for a path as long as the system allows, and its NUL.
constexpr DWORD kPathChars = 32768;

constexpr DWORD kFileFlagsNotPassed = OFN_ALLOWMULTISELECT | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE |
                                      OFN_ENABLETEMPLATEHANDLE | OFN_ENABLEINCLUDENOTIFY;
constexpr DWORD kColorFlagsNotPassed = CC_ENABLEHOOK | CC_ENABLETEMPLATE | CC_ENABLETEMPLATEHANDLE;
constexpr DWORD kFontFlagsNotPassed =
    CF_ENABLEHOOK | CF_ENABLETEMPLATE | CF_ENABLETEMPLATEHANDLE | CF_USESTYLE;
constexpr DWORD kPrintFlagsNotPassed =
    PD_RETURNDC | PD_RETURNIC | PD_ENABLEPRINTHOOK | PD_ENABLESETUPHOOK | PD_ENABLEPRINTTEMPLATE |
    PD_ENABLESETUPTEMPLATE | PD_ENABLEPRINTTEMPLATEHANDLE | PD_ENABLESETUPTEMPLATEHANDLE;

// A backend call that runs out of memory converting its texts fails like a cancelled dialog.
template <typename Result, typename Call>
Result orOnFailure(Result failed, Call call) noexcept {
    try {
        return call();
    } catch (...) {
        return failed;
    }
}

HDC toHDC(platform::HDC dc) {
    return reinterpret_cast<HDC>(dc);
}
platform::HDC fromHDC(HDC dc) {
    return reinterpret_cast<platform::HDC>(dc);
}

std::wstring wideOrEmpty(const char* text) {
    return text != nullptr ? Widen(text) : std::wstring();
}
const wchar_t* orNull(const std::wstring& text) {
    return text.empty() ? nullptr : text.c_str();
}

// The dialogs host shell parts that want COM in a single-threaded apartment. A thread that has
// COM already keeps what it chose.
class Apartment {
 public:
    Apartment() : m_result(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~Apartment() {
        if (SUCCEEDED(m_result)) {
            ::CoUninitialize();
        }
    }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;

    bool singleThreaded() const { return m_result != RPC_E_CHANGED_MODE; }

 private:
    HRESULT m_result;
};

struct ItemFree {
    void operator()(ITEMIDLIST_ABSOLUTE* item) const { ::ILFree(item); }
};
using Item = std::unique_ptr<ITEMIDLIST_ABSOLUTE, ItemFree>;

// The program's filter list, description and pattern pieces each ending in NUL and the list in a
// second NUL, in UTF-16. A description without its pattern is left out; no pieces give an empty
// text, which stands for no filter.
std::wstring wideFilter(const char* list) {
    std::vector<std::string_view> pieces;
    for (const char* piece = list; piece != nullptr && *piece != '\0';
         piece += std::strlen(piece) + 1) {
        pieces.emplace_back(piece);
    }
    std::wstring wide;
    for (std::size_t i = 0; i + 1 < pieces.size(); i += 2) {
        wide += Widen(pieces[i]);
        wide.push_back(L'\0');
        wide += Widen(pieces[i + 1]);
        wide.push_back(L'\0');
    }
    if (!wide.empty()) {
        wide.push_back(L'\0');
    }
    return wide;
}

// The initial name in the program's file buffer, without the spaces that pad it.
std::wstring initialFileName(const FileRecord& record) {
    std::string name(record.lpstrFile,
                     ::strnlen(record.lpstrFile, platform::CharBufferBytes(record.nMaxFile)));
    name.erase(name.find_last_not_of(' ') + 1);
    return Widen(name);
}

using FileDialogCall = BOOL(WINAPI*)(LPOPENFILENAMEW);

std::optional<std::string> runFileDialog(const FileRecord& record, FileDialogCall show) {
    const Apartment apartment;
    const std::wstring filter = wideFilter(record.lpstrFilter);
    const std::wstring title = wideOrEmpty(record.lpstrTitle);
    const std::wstring initialDir = wideOrEmpty(record.lpstrInitialDir);
    // An empty default extension appends nothing, where the system would append the filter's.
    const std::wstring defExt = wideOrEmpty(record.lpstrDefExt);
    std::vector<wchar_t> file(kPathChars, L'\0');
    if (const std::wstring initial = initialFileName(record); initial.size() < kPathChars) {
        initial.copy(file.data(), initial.size());
    }

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = ToHWND(record.hwndOwner);
    dialog.lpstrFilter = orNull(filter);
    dialog.nFilterIndex = record.nFilterIndex;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = kPathChars;
    dialog.lpstrInitialDir = orNull(initialDir);
    dialog.lpstrTitle = record.lpstrTitle != nullptr ? title.c_str() : nullptr;
    dialog.Flags = (record.Flags & ~kFileFlagsNotPassed) | OFN_EXPLORER;
    dialog.lpstrDefExt = orNull(defExt);
    if (!show(&dialog)) {
        return std::nullopt;
    }
    return Narrow(std::wstring_view(file.data()));
}

LOGFONTW toSystemFont(const ProgramFont& font) {
    LOGFONTW wide{};
    wide.lfHeight = font.lfHeight;
    wide.lfWidth = font.lfWidth;
    wide.lfEscapement = font.lfEscapement;
    wide.lfOrientation = font.lfOrientation;
    wide.lfWeight = font.lfWeight;
    wide.lfItalic = font.lfItalic;
    wide.lfUnderline = font.lfUnderline;
    wide.lfStrikeOut = font.lfStrikeOut;
    wide.lfCharSet = font.lfCharSet;
    wide.lfOutPrecision = font.lfOutPrecision;
    wide.lfClipPrecision = font.lfClipPrecision;
    wide.lfQuality = font.lfQuality;
    wide.lfPitchAndFamily = font.lfPitchAndFamily;
    // 31 bytes of UTF-8 are never more than 31 UTF-16 units.
    const std::wstring face = Widen(platform::FaceName(font));
    face.copy(wide.lfFaceName, std::min<std::size_t>(face.size(), LF_FACESIZE - 1));
    return wide;
}

void fromSystemFont(const LOGFONTW& wide, ProgramFont& font) {
    font.lfHeight = wide.lfHeight;
    font.lfWidth = wide.lfWidth;
    font.lfEscapement = wide.lfEscapement;
    font.lfOrientation = wide.lfOrientation;
    font.lfWeight = wide.lfWeight;
    font.lfItalic = wide.lfItalic;
    font.lfUnderline = wide.lfUnderline;
    font.lfStrikeOut = wide.lfStrikeOut;
    font.lfCharSet = wide.lfCharSet;
    font.lfOutPrecision = wide.lfOutPrecision;
    font.lfClipPrecision = wide.lfClipPrecision;
    font.lfQuality = wide.lfQuality;
    font.lfPitchAndFamily = wide.lfPitchAndFamily;
    const std::wstring_view face(wide.lfFaceName, ::wcsnlen(wide.lfFaceName, LF_FACESIZE));
    platform::SetFaceName(font, Narrow(face));
}

std::wstring defaultPrinter() {
    DWORD size = 0;
    ::GetDefaultPrinterW(nullptr, &size);
    if (size == 0) {
        return {};
    }
    std::wstring name(size, L'\0');
    if (!::GetDefaultPrinterW(name.data(), &size)) {
        return {};
    }
    name.resize(::wcsnlen(name.c_str(), name.size()));
    return name;
}

class Win32CommonDialogs final : public platform::CommonDialogBackend {
 public:
    std::optional<std::string> getOpenFileName(const FileRecord& record) override {
        return orOnFailure<std::optional<std::string>>(
            std::nullopt, [&] { return runFileDialog(record, ::GetOpenFileNameW); });
    }

    std::optional<std::string> getSaveFileName(const FileRecord& record) override {
        return orOnFailure<std::optional<std::string>>(
            std::nullopt, [&] { return runFileDialog(record, ::GetSaveFileNameW); });
    }

    // The browser gets the caller's flags as they are: the program asks for the classic browser
    // (file-system folders only, not below the domain), without the newer style's "Make New
    // Folder" button, which a thread without a single-threaded apartment could not have anyway.
    // Its display name is not needed: the call makes one from the path.
    std::optional<std::string> browseForFolder(const FolderInfo& info) override {
        return orOnFailure<std::optional<std::string>>(
            std::nullopt, [&]() -> std::optional<std::string> {
                const Apartment apartment;
                Item root;
                if (const std::string path = rootPath(info.pidlRoot); !path.empty()) {
                    root.reset(::ILCreateFromPathW(Widen(path).c_str()));
                }
                const std::wstring prompt = wideOrEmpty(info.lpszTitle);
                std::array<wchar_t, MAX_PATH> displayName{};
                BROWSEINFOW browse{};
                browse.hwndOwner = ToHWND(info.hwndOwner);
                browse.pidlRoot = root.get();
                browse.pszDisplayName = displayName.data();
                browse.lpszTitle = info.lpszTitle != nullptr ? prompt.c_str() : nullptr;
                browse.ulFlags = apartment.singleThreaded()
                                     ? info.ulFlags
                                     : info.ulFlags & ~UINT{BIF_NEWDIALOGSTYLE};
                const Item chosen(::SHBrowseForFolderW(&browse));
                if (!chosen) {
                    return std::nullopt;
                }
                std::vector<wchar_t> path(kPathChars, L'\0');
                if (!::SHGetPathFromIDListEx(chosen.get(), path.data(), kPathChars,
                                             GPFIDL_DEFAULT)) {
                    return std::string();
                }
                return Narrow(std::wstring_view(path.data()));
            });
    }

    BOOL chooseColor(ColorRecord& record) override {
        std::array<COLORREF, 16> custom{};
        std::copy_n(record.lpCustColors, custom.size(), custom.begin());
        CHOOSECOLORW dialog{};
        dialog.lStructSize = sizeof(dialog);
        dialog.hwndOwner = ToHWND(record.hwndOwner);
        dialog.rgbResult = record.rgbResult;
        dialog.lpCustColors = custom.data();
        dialog.Flags = record.Flags & ~kColorFlagsNotPassed;
        if (!::ChooseColorW(&dialog)) {
            return 0;
        }
        record.rgbResult = dialog.rgbResult;
        std::copy(custom.begin(), custom.end(), record.lpCustColors);
        return 1;
    }

    // (The system has ignored CF_SCREENFONTS and CF_PRINTERFONTS since Windows 7: every font is
    // offered, so the program's request for printer fonts without a printer needs nothing here.)
    BOOL chooseFont(FontRecord& record) override {
        return orOnFailure<BOOL>(0, [&]() -> BOOL {
            LOGFONTW font = toSystemFont(*record.lpLogFont);
            CHOOSEFONTW dialog{};
            dialog.lStructSize = sizeof(dialog);
            dialog.hwndOwner = ToHWND(record.hwndOwner);
            dialog.hDC = toHDC(record.hDC);
            dialog.lpLogFont = &font;
            dialog.iPointSize = record.iPointSize;
            dialog.Flags = record.Flags & ~kFontFlagsNotPassed;
            dialog.rgbColors = record.rgbColors;
            dialog.nSizeMin = record.nSizeMin;
            dialog.nSizeMax = record.nSizeMax;
            if (!::ChooseFontW(&dialog)) {
                return 0;
            }
            fromSystemFont(font, *record.lpLogFont);
            record.iPointSize = dialog.iPointSize;
            record.rgbColors = dialog.rgbColors;
            record.nFontType = dialog.nFontType;
            return 1;
        });
    }

    // The user's choices (pages, copies, collation) come back in the record; the printer's
    // settings the dialog hands out are freed.
    BOOL printDlg(PrintRecord& record) override {
        PRINTDLGW dialog{};
        dialog.lStructSize = sizeof(dialog);
        dialog.hwndOwner = ToHWND(record.hwndOwner);
        dialog.Flags = record.Flags & ~kPrintFlagsNotPassed;
        dialog.nFromPage = record.nFromPage;
        dialog.nToPage = record.nToPage;
        dialog.nMinPage = record.nMinPage;
        dialog.nMaxPage = record.nMaxPage;
        dialog.nCopies = record.nCopies;
        const BOOL confirmed = ::PrintDlgW(&dialog);
        ::GlobalFree(dialog.hDevMode);
        ::GlobalFree(dialog.hDevNames);
        if (dialog.hDC != nullptr) {
            ::DeleteDC(dialog.hDC);
        }
        if (!confirmed) {
            return 0;
        }
        record.Flags =
            (record.Flags & kPrintFlagsNotPassed) | (dialog.Flags & ~kPrintFlagsNotPassed);
        record.nFromPage = dialog.nFromPage;
        record.nToPage = dialog.nToPage;
        record.nCopies = dialog.nCopies;
        return 1;
    }

    std::string defaultPrinterName() override {
        return orOnFailure<std::string>({}, [] { return Narrow(defaultPrinter()); });
    }

    // One context per printer for the life of the program, as the printer owns it.
    platform::HDC defaultPrinterDC() override {
        return orOnFailure<platform::HDC>(0, [&]() -> platform::HDC {
            const std::wstring name = defaultPrinter();
            if (name.empty()) {
                return 0;
            }
            const std::lock_guard lock(m_mutex);
            if (const auto found = m_printerContexts.find(name); found != m_printerContexts.end()) {
                return fromHDC(found->second);
            }
            const HDC context = ::CreateDCW(L"WINSPOOL", name.c_str(), nullptr, nullptr);
            if (context == nullptr) {
                return 0;
            }
            m_printerContexts.emplace(name, context);
            return fromHDC(context);
        });
    }

    // The program's device mode is opaque to it: the printer opens with its own settings.
    BOOL openPrinter(const std::string& name, platform::HANDLE& printer,
                     const PrinterDefaults* defaults) override {
        return orOnFailure<BOOL>(0, [&]() -> BOOL {
            std::wstring wideName = Widen(name);
            std::wstring datatype;
            PRINTER_DEFAULTSW wideDefaults{};
            if (defaults != nullptr) {
                datatype = wideOrEmpty(defaults->pDatatype);
                wideDefaults.pDatatype = defaults->pDatatype != nullptr ? datatype.data() : nullptr;
                wideDefaults.DesiredAccess = defaults->DesiredAccess;
            }
            HANDLE handle = nullptr;
            if (!::OpenPrinterW(wideName.data(), &handle,
                                defaults != nullptr ? &wideDefaults : nullptr)) {
                return 0;
            }
            printer = reinterpret_cast<platform::HANDLE>(handle);
            return 1;
        });
    }

    BOOL printerProperties(platform::Hwnd owner, platform::HANDLE printer) override {
        return ::PrinterProperties(ToHWND(owner), reinterpret_cast<HANDLE>(printer));
    }

    BOOL closePrinter(platform::HANDLE printer) override {
        return ::ClosePrinter(reinterpret_cast<HANDLE>(printer));
    }

    platform::Hwnd getDesktopWindow() override { return FromHWND(::GetDesktopWindow()); }

    platform::HDC getDC(platform::Hwnd window) override { return fromHDC(::GetDC(ToHWND(window))); }

    int releaseDC(platform::Hwnd window, platform::HDC dc) override {
        return ::ReleaseDC(ToHWND(window), toHDC(dc));
    }

    int getDeviceCaps(platform::HDC dc, int index) override {
        return ::GetDeviceCaps(toHDC(dc), index);
    }

 private:
    std::mutex m_mutex;
    std::map<std::wstring, HDC> m_printerContexts;
};

}  // namespace

platform::CommonDialogBackend& platform::DefaultCommonDialogBackend() {
    static Win32CommonDialogs instance;
    return instance;
}
