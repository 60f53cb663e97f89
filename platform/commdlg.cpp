// SPDX-License-Identifier: MIT
#include "platform/commdlg.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <utility>

#include "platform/paths.h"
#include "platform/systembackends.h"
#include "platform/systemtext.h"

namespace platform {

struct ITEMIDLIST {
    // Empty for an item that is no folder of the file system.
    std::string path;
};

void ItemIdListFree::operator()(ITEMIDLIST* list) const {
    delete list;
}

namespace {

CommonDialogBackend*& current() {
    static CommonDialogBackend* backend = &DefaultCommonDialogBackend();
    return backend;
}

CommonDialogBackend& backend() {
    return *current();
}

bool isUsableFileRecord(const OPENFILENAME* record) {
    return record != nullptr &&
           (record->lStructSize == OPENFILENAME_SIZE_VERSION_400 ||
            record->lStructSize == kOpenFileNameFullSize) &&
           record->lpstrFile != nullptr && record->nMaxFile > 0;
}

std::string_view nameOf(std::string_view path) {
    const std::size_t slash = path.find_last_of(kPathSeparators);
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// A text fits a buffer of capacity characters when its terminating NUL fits too. The buffer's
// CharBufferBytes(capacity) bytes then hold its UTF-8.
bool fits(std::string_view text, std::size_t capacity) {
    return Utf16Length(text) < capacity;
}
void writeText(std::string_view text, char* buffer) {
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = '\0';
}

// The chosen file goes into the caller's buffers only when the path and its name both fit; a
// path that does not fit fails the dialog, as the system's own dialog does.
BOOL storeChosenFile(OPENFILENAME& record, const std::optional<std::string>& chosen) {
    if (!chosen || chosen->empty() || chosen->find('\0') != std::string::npos) {
        return 0;
    }
    const std::string_view path = *chosen;
    const std::string_view name = nameOf(path);
    if (!fits(path, record.nMaxFile) ||
        (record.lpstrFileTitle != nullptr && !fits(name, record.nMaxFileTitle))) {
        return 0;
    }
    writeText(path, record.lpstrFile);
    if (record.lpstrFileTitle != nullptr) {
        writeText(name, record.lpstrFileTitle);
    }
    const std::size_t nameStart = path.size() - name.size();
    const std::size_t dot = name.rfind('.');
    record.nFileOffset = static_cast<WORD>(nameStart);
    record.nFileExtension =
        static_cast<WORD>(dot == std::string_view::npos ? path.size() : nameStart + dot + 1);
    return 1;
}

}  // namespace

BOOL GetOpenFileNameA(OPENFILENAME* record) {
    if (!isUsableFileRecord(record)) {
        return 0;
    }
    return storeChosenFile(*record, backend().getOpenFileName(*record));
}

BOOL GetSaveFileNameA(OPENFILENAME* record) {
    if (!isUsableFileRecord(record)) {
        return 0;
    }
    return storeChosenFile(*record, backend().getSaveFileName(*record));
}

ItemIdList SHBrowseForFolder(BROWSEINFO* info) {
    if (info == nullptr) {
        return nullptr;
    }
    std::optional<std::string> chosen = backend().browseForFolder(*info);
    if (!chosen) {
        return nullptr;
    }
    if (info->pszDisplayName != nullptr) {
        std::string_view name = nameOf(*chosen);
        if (name.empty()) {
            name = *chosen;  // the root folder
        }
        writeText(fits(name, MAX_PATH) ? name : std::string_view(), info->pszDisplayName);
    }
    return ItemIdList(new ITEMIDLIST{std::move(*chosen)});
}

BOOL SHGetPathFromIDList(const ITEMIDLIST* list, char* path) {
    if (path == nullptr) {
        return 0;
    }
    if (list == nullptr || list->path.empty() || !fits(list->path, MAX_PATH) ||
        list->path.find('\0') != std::string::npos) {
        path[0] = '\0';
        return 0;
    }
    writeText(list->path, path);
    return 1;
}

BOOL ChooseColorA(CHOOSECOLOR* record) {
    if (record == nullptr || record->lStructSize != kChooseColorSize ||
        record->lpCustColors == nullptr) {
        return 0;
    }
    return backend().chooseColor(*record);
}

BOOL ChooseFontA(CHOOSEFONT* record) {
    if (record == nullptr || record->lStructSize != kChooseFontSize ||
        record->lpLogFont == nullptr) {
        return 0;
    }
    return backend().chooseFont(*record);
}

BOOL PrintDlgA(PRINTDLG* record) {
    if (record == nullptr || record->lStructSize != kPrintDlgSize) {
        return 0;
    }
    return backend().printDlg(*record);
}

BOOL OpenPrinterA(const char* printerName, HANDLE* printer, const PRINTER_DEFAULTS* defaults) {
    if (printerName == nullptr || printer == nullptr) {
        return 0;
    }
    *printer = 0;
    return backend().openPrinter(printerName, *printer, defaults);
}

BOOL PrinterProperties(Hwnd owner, HANDLE printer) {
    return printer == 0 ? 0 : backend().printerProperties(owner, printer);
}

BOOL ClosePrinter(HANDLE printer) {
    return printer == 0 ? 0 : backend().closePrinter(printer);
}

std::string DefaultPrinterName() {
    return backend().defaultPrinterName();
}

HDC DefaultPrinterDC() {
    return backend().defaultPrinterDC();
}

Hwnd GetDesktopWindow() {
    return backend().getDesktopWindow();
}

HDC GetDC(Hwnd window) {
    return backend().getDC(window);
}

int ReleaseDC(Hwnd window, HDC dc) {
    return dc == 0 ? 0 : backend().releaseDC(window, dc);
}

int GetDeviceCaps(HDC dc, int index) {
    return dc == 0 ? 0 : backend().getDeviceCaps(dc, index);
}

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) {
        return -1;
    }
    const std::int64_t product = std::int64_t{number} * numerator;
    std::int64_t quotient = product / denominator;
    const std::int64_t remainder = product % denominator;
    if (2 * std::llabs(remainder) >= std::llabs(denominator)) {
        quotient += (product < 0) != (denominator < 0) ? -1 : 1;
    }
    if (quotient > INT_MAX || quotient < -INT_MAX) {
        return -1;
    }
    return static_cast<int>(quotient);
}

HINSTANCE ProgramInstance() {
    // Any address inside the program identifies it; nothing reads through it.
    static const char marker = 0;
    return reinterpret_cast<HINSTANCE>(&marker);
}

void SetFaceName(LOGFONT& font, std::string_view name) {
    name = name.substr(0, name.find('\0'));
    std::size_t length = std::min<std::size_t>(name.size(), LF_FACESIZE - 1);
    // Step back over the continuation bytes of a character that would be cut in two.
    while (length > 0 && length < name.size() &&
           (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) {
        --length;
    }
    font.lfFaceName.fill('\0');
    std::copy_n(name.begin(), length, font.lfFaceName.begin());
}

std::string FaceName(const LOGFONT& font) {
    const auto end = std::find(font.lfFaceName.begin(), font.lfFaceName.end(), '\0');
    return std::string(font.lfFaceName.begin(), end);
}

CommonDialogBackend* SetCommonDialogBackend(CommonDialogBackend* replacement) {
    return std::exchange(current(),
                         replacement != nullptr ? replacement : &DefaultCommonDialogBackend());
}

}  // namespace platform
