// SPDX-License-Identifier: MIT
#include "platform/testing/scripteddialogs.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace platform {

namespace {

std::optional<std::string> copyText(const char* text) {
    return text != nullptr ? std::optional<std::string>(text) : std::nullopt;
}

// A buffer for the given count of characters, whole.
std::optional<std::string> copyBuffer(const char* buffer, DWORD chars) {
    return buffer != nullptr
               ? std::optional<std::string>(std::string(buffer, CharBufferBytes(chars)))
               : std::nullopt;
}

// A NUL-separated list runs to the first empty piece.
std::optional<std::string> copyList(const char* list) {
    if (list == nullptr) {
        return std::nullopt;
    }
    const char* end = list;
    while (*end != '\0') {
        end += std::strlen(end) + 1;
    }
    return std::string(list, end + 1);
}

FileDialogCall recordFileDialog(const OPENFILENAME& record) {
    FileDialogCall call;
    call.filter = copyList(record.lpstrFilter);
    call.customFilter = record.lpstrCustomFilter != nullptr;
    call.file = copyBuffer(record.lpstrFile, record.nMaxFile);
    call.fileTitle = copyBuffer(record.lpstrFileTitle, record.nMaxFileTitle);
    call.initialDir = copyText(record.lpstrInitialDir);
    call.title = copyText(record.lpstrTitle);
    call.defExt = copyText(record.lpstrDefExt);
    call.record = record;
    call.record.lpstrFilter = nullptr;
    call.record.lpstrCustomFilter = nullptr;
    call.record.lpstrFile = nullptr;
    call.record.lpstrFileTitle = nullptr;
    call.record.lpstrInitialDir = nullptr;
    call.record.lpstrTitle = nullptr;
    call.record.lpstrDefExt = nullptr;
    call.record.lpTemplateName = nullptr;
    return call;
}

}  // namespace

std::vector<std::string> FileDialogCall::filterPieces() const {
    std::vector<std::string> pieces;
    if (!filter) {
        return pieces;
    }
    for (std::size_t start = 0; start < filter->size() && (*filter)[start] != '\0';) {
        const std::size_t end = filter->find('\0', start);
        pieces.push_back(filter->substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

ScriptedDialogs::ScriptedDialogs() : m_previous(SetCommonDialogBackend(this)) {}

ScriptedDialogs::~ScriptedDialogs() {
    SetCommonDialogBackend(m_previous);
}

ScriptedDialogs::Answer& ScriptedDialogs::queue(Kind kind) {
    Answer& answer = m_answers.emplace_back();
    answer.kind = kind;
    return answer;
}

void ScriptedDialogs::confirmOpen(std::string path) {
    queue(Kind::Open).path = std::move(path);
}

void ScriptedDialogs::confirmSave(std::string path) {
    queue(Kind::Save).path = std::move(path);
}

void ScriptedDialogs::confirmFolder(std::string path) {
    queue(Kind::Folder).path = std::move(path);
}

void ScriptedDialogs::confirmColor(COLORREF color, std::array<COLORREF, 16> customColors) {
    Answer& answer = queue(Kind::Color);
    answer.color = color;
    answer.customColors = customColors;
}

void ScriptedDialogs::confirmFont(FontAnswer font) {
    queue(Kind::Font).font = std::move(font);
}

void ScriptedDialogs::confirmPrint() {
    queue(Kind::Print);
}

void ScriptedDialogs::confirmPrinterProperties() {
    queue(Kind::PrinterProperties);
}

void ScriptedDialogs::cancelNext() {
    queue(Kind::Cancel);
}

void ScriptedDialogs::failNext() {
    queue(Kind::Fail);
}

std::size_t ScriptedDialogs::dialogCount() const {
    return m_openCalls.size() + m_saveCalls.size() + m_folderCalls.size() + m_colorCalls.size() +
           m_fontCalls.size() + m_printCalls.size() + m_printerPropertiesCalls.size();
}

std::optional<ScriptedDialogs::Answer> ScriptedDialogs::take(Kind kind, const char* dialog) {
    if (m_answers.empty()) {
        m_problems.push_back(std::string(dialog) + " shown with no answer queued");
        return std::nullopt;
    }
    Answer answer = std::move(m_answers.front());
    m_answers.pop_front();
    if (answer.kind == Kind::Cancel || answer.kind == Kind::Fail) {
        return std::nullopt;
    }
    if (answer.kind != kind) {
        m_problems.push_back(std::string(dialog) + " shown where another dialog was expected");
        return std::nullopt;
    }
    return answer;
}

std::optional<std::string> ScriptedDialogs::getOpenFileName(const OPENFILENAME& record) {
    m_openCalls.push_back(recordFileDialog(record));
    std::optional<Answer> answer = take(Kind::Open, "open dialog");
    return answer ? std::optional<std::string>(std::move(answer->path)) : std::nullopt;
}

std::optional<std::string> ScriptedDialogs::getSaveFileName(const OPENFILENAME& record) {
    m_saveCalls.push_back(recordFileDialog(record));
    std::optional<Answer> answer = take(Kind::Save, "save dialog");
    return answer ? std::optional<std::string>(std::move(answer->path)) : std::nullopt;
}

std::optional<std::string> ScriptedDialogs::browseForFolder(const BROWSEINFO& info) {
    FolderDialogCall call;
    call.title = copyText(info.lpszTitle);
    call.root = info.pidlRoot != nullptr;
    call.displayNameBuffer = info.pszDisplayName != nullptr;
    call.record = info;
    call.record.pidlRoot = nullptr;
    call.record.pszDisplayName = nullptr;
    call.record.lpszTitle = nullptr;
    m_folderCalls.push_back(std::move(call));
    std::optional<Answer> answer = take(Kind::Folder, "folder browser");
    return answer ? std::optional<std::string>(std::move(answer->path)) : std::nullopt;
}

BOOL ScriptedDialogs::chooseColor(CHOOSECOLOR& record) {
    ColorDialogCall call;
    std::copy_n(record.lpCustColors, call.customColors.size(), call.customColors.begin());
    call.record = record;
    call.record.lpCustColors = nullptr;
    call.record.lpTemplateName = nullptr;
    m_colorCalls.push_back(call);
    const std::optional<Answer> answer = take(Kind::Color, "colour dialog");
    if (!answer) {
        return 0;
    }
    record.rgbResult = answer->color;
    std::copy(answer->customColors.begin(), answer->customColors.end(), record.lpCustColors);
    return 1;
}

BOOL ScriptedDialogs::chooseFont(CHOOSEFONT& record) {
    FontDialogCall call;
    call.logFont = *record.lpLogFont;
    call.record = record;
    call.record.lpLogFont = nullptr;
    call.record.lpTemplateName = nullptr;
    call.record.lpszStyle = nullptr;
    m_fontCalls.push_back(call);
    const std::optional<Answer> answer = take(Kind::Font, "font dialog");
    if (!answer) {
        return 0;
    }
    LOGFONT& font = *record.lpLogFont;
    SetFaceName(font, answer->font.faceName);
    font.lfHeight = -MulDiv(answer->font.iPointSize, m_dpi, 720);
    font.lfWeight = answer->font.lfWeight;
    font.lfItalic = answer->font.lfItalic;
    record.iPointSize = answer->font.iPointSize;
    record.nFontType = answer->font.nFontType;
    return 1;
}

BOOL ScriptedDialogs::printDlg(PRINTDLG& record) {
    PRINTDLG call = record;
    call.lpPrintTemplateName = nullptr;
    call.lpSetupTemplateName = nullptr;
    m_printCalls.push_back(call);
    return take(Kind::Print, "print dialog") ? 1 : 0;
}

BOOL ScriptedDialogs::openPrinter(const std::string& name, HANDLE& printer,
                                  const PRINTER_DEFAULTS* defaults) {
    PrinterOpenCall call;
    call.name = name;
    if (defaults != nullptr) {
        call.dataType = copyText(defaults->pDatatype);
        call.defaults = *defaults;
        call.defaults->pDatatype = nullptr;
    }
    m_printerOpenCalls.push_back(std::move(call));
    if (m_openPrinterFails || name != m_defaultPrinter) {
        return 0;
    }
    printer = m_nextPrinter++;
    return 1;
}

BOOL ScriptedDialogs::printerProperties(Hwnd owner, HANDLE printer) {
    m_printerPropertiesCalls.emplace_back(owner, printer);
    return take(Kind::PrinterProperties, "printer property sheet") ? 1 : 0;
}

BOOL ScriptedDialogs::closePrinter(HANDLE printer) {
    m_closedPrinters.push_back(printer);
    return 1;
}

HDC ScriptedDialogs::getDC(Hwnd window) {
    m_dcWindows.push_back(window);
    ++m_openDCs;
    return m_nextDC++;
}

int ScriptedDialogs::releaseDC(Hwnd, HDC) {
    --m_openDCs;
    return 1;
}

int ScriptedDialogs::getDeviceCaps(HDC dc, int index) {
    if (dc == kPrinterDC) {
        return index == LOGPIXELSX || index == LOGPIXELSY ? 600 : 0;
    }
    return index == LOGPIXELSX || index == LOGPIXELSY ? m_dpi : 0;
}

}  // namespace platform
