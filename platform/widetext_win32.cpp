// SPDX-License-Identifier: MIT
#include "platform/widetext_win32.h"

#include <windows.h>

#include <climits>

namespace platform {

std::wstring Widen(std::string_view text) {
    if (text.empty() || text.size() > INT_MAX) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string Narrow(std::wstring_view text) {
    if (text.empty() || text.size() > INT_MAX) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

namespace {

// Paths shorter than this reach every wide-character call as they are: MAX_PATH with its NUL,
// less the 12 characters that CreateDirectoryW keeps free for an 8.3 name inside the folder.
constexpr std::size_t kClassicPathLimit = MAX_PATH - 12;

bool isSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// "C:\..." (or "C:/...").
bool isDrivePath(std::wstring_view path) {
    return path.size() >= 3 &&
           ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
           path[1] == L':' && isSeparator(path[2]);
}

// "\\server\share\...", but not the device and verbatim forms "\\.\" and "\\?\".
bool isSharePath(std::wstring_view path) {
    return path.size() >= 3 && isSeparator(path[0]) && isSeparator(path[1]) &&
           !isSeparator(path[2]) &&
           !((path[2] == L'.' || path[2] == L'?') && (path.size() == 3 || isSeparator(path[3])));
}

}  // namespace

std::wstring WidePath(std::string_view path) {
    std::wstring wide = Widen(path);
    if (wide.size() < kClassicPathLimit || !(isDrivePath(wide) || isSharePath(wide))) {
        return wide;
    }
    const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return wide;
    }
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) {
        return wide;
    }
    full.resize(length);
    if (full.size() < kClassicPathLimit) {
        return full;
    }
    if (isDrivePath(full)) {
        return L"\\\\?\\" + full;
    }
    if (isSharePath(full)) {
        return L"\\\\?\\UNC" + full.substr(1);
    }
    return wide;
}

std::optional<std::string> SystemMessage(unsigned long code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (length > 0 && buffer != nullptr) {
        text = Narrow(std::wstring_view(buffer, length));
    }
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                             text.back() == '.')) {
        text.pop_back();
    }
    if (text.empty()) {
        return std::nullopt;
    }
    return text;
}

std::string SystemErrorText(unsigned long code) {
    return SystemMessage(code).value_or("Error " + std::to_string(code));
}

}  // namespace platform
