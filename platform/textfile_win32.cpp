// SPDX-License-Identifier: MIT
// Text files on Windows: UTF-8 inside the program, the ANSI code page in files wherever it can
// hold the text; textfile.h says how each line is read.
#include "platform/systemtext.h"
#include "platform/textfile.h"
#include "platform/widetext_win32.h"

#include <windows.h>

#include <climits>
#include <optional>
#include <string_view>
#include <utility>

namespace platform {

namespace {

// The bytes read in the ANSI code page. Strict, bytes that are not valid there (half of a
// double-byte character, say) give nothing; otherwise they become the code page's stand-in.
std::optional<std::string> fromAnsi(std::string_view bytes, bool strict) {
    if (bytes.empty() || bytes.size() > INT_MAX) {
        return std::string(bytes);
    }
    const DWORD flags = strict ? MB_ERR_INVALID_CHARS : 0;
    const int size = static_cast<int>(bytes.size());
    const int length = ::MultiByteToWideChar(CP_ACP, flags, bytes.data(), size, nullptr, 0);
    if (length <= 0) {
        return std::nullopt;
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, flags, bytes.data(), size, wide.data(), length);
    return Narrow(wide);
}

// How a line reads when no file is asked about: UTF-8 when it is valid UTF-8, else ANSI.
std::string plainReading(std::string bytes) {
    if (IsValidUtf8(bytes)) {
        return bytes;
    }
    std::optional<std::string> ansi = fromAnsi(bytes, false);
    return ansi ? std::move(*ansi) : bytes;
}

// Whether a file or folder of that name exists, hidden or not.
bool exists(const std::string& path) {
    return ::GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The text as a file's bytes read line by line, asking about no file.
std::string readWithoutLookup(std::string_view bytes) {
    std::string text;
    for (std::size_t start = 0;;) {
        const std::size_t end = bytes.find('\n', start);
        text += plainReading(std::string(bytes.substr(start, end - start)));
        if (end == std::string_view::npos) {
            return text;
        }
        text += '\n';
        start = end + 1;
    }
}

}  // namespace

std::string LineFromFile(std::string bytes) {
    if (!IsValidUtf8(bytes)) {
        return plainReading(std::move(bytes));
    }
    const std::optional<std::string> ansi = fromAnsi(bytes, true);
    if (!ansi || *ansi == bytes) {
        return bytes;
    }
    // Both readings are possible. The UTF-8 one is taken unless only the other names a file:
    // one test for a path that exists, as most in the lists do.
    if (exists(bytes) || !exists(*ansi)) {
        return bytes;
    }
    return *ansi;
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
    // Every line must read back as it was written whatever files exist then: a line whose ANSI
    // bytes are also valid UTF-8 would read as UTF-8 once the file it names has gone, and a code
    // page such as UTF-8 itself would change nothing.
    return !lost && readWithoutLookup(ansi) == text ? ansi : text;
}

}  // namespace platform
