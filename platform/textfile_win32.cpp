// SPDX-License-Identifier: MIT
// Text files on Windows: UTF-8 inside the program, the ANSI code page in files wherever it can
// hold the text.
#include "platform/systemtext.h"
#include "platform/textfile.h"
#include "platform/widetext_win32.h"

#include <windows.h>

#include <climits>

namespace platform {

std::string TextFromFile(std::string bytes) {
    if (IsValidUtf8(bytes) || bytes.size() > INT_MAX) {
        return bytes;
    }
    const int size = static_cast<int>(bytes.size());
    const int length = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, wide.data(), length);
    return Narrow(wide);
}

std::string TextForFile(std::string text) {
    const std::wstring wide = Widen(text);
    if (wide.empty() || wide.size() > INT_MAX) {
        return text;
    }
    const int size = static_cast<int>(wide.size());
    // No best-fit mapping: a character the code page lacks must not turn into a look-alike,
    // which would name another file.
    BOOL lost = FALSE;
    const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size,
                                             nullptr, 0, nullptr, &lost);
    if (lost || length <= 0) {
        return text;
    }
    std::string ansi(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, ansi.data(), length,
                          nullptr, &lost);
    // Read back, the ANSI bytes must give the same text: a code page such as UTF-8 itself, or
    // bytes that happen to be valid UTF-8, would otherwise change what is read.
    return !lost && TextFromFile(ansi) == text ? ansi : text;
}

}  // namespace platform
