// SPDX-License-Identifier: MIT
// Where the program lives and keeps its state, on Windows.
#include "platform/paths.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#include <string>
#include <system_error>

#include "platform/widetext_win32.h"

namespace platform {

namespace {

std::string withoutTrailingSeparator(std::string path) {
    // "C:\" keeps its separator: without it, it would name the drive's current folder.
    while (path.size() > 1 && (path.back() == '\\' || path.back() == '/') &&
           !(path.size() == 3 && path[1] == ':')) {
        path.pop_back();
    }
    return path;
}

// Whether this user may make files in the folder: asked by making one, since the folder's
// access list, not its read-only attribute, decides. The file is gone when its handle closes.
bool mayWriteIn(const std::wstring& folder) {
    const std::wstring probe =
        folder + L"\\.pavendel-probe-" + std::to_wstring(::GetCurrentProcessId());
    const HANDLE file =
        ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::CloseHandle(file);
    return true;
}

}  // namespace

std::filesystem::path ToFsPath(const std::string& text) {
    return std::filesystem::path(Widen(text));
}

std::string FromFsPath(const std::filesystem::path& path) {
    return Narrow(path.wstring());
}

std::string programFolder() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            std::error_code error;
            return withoutTrailingSeparator(FromFsPath(std::filesystem::current_path(error)));
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    return withoutTrailingSeparator(Narrow(buffer.substr(0, buffer.find_last_of(L"\\/"))));
}

std::string stateFolderFor(const std::string& programDir) {
    if (!programDir.empty() && mayWriteIn(Widen(programDir))) {
        return programDir;
    }
    std::filesystem::path base;
    wchar_t* roaming = nullptr;
    if (::SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &roaming) == S_OK) {
        base = roaming;
    } else {
        std::error_code error;
        base = std::filesystem::temp_directory_path(error);
    }
    ::CoTaskMemFree(roaming);
    const std::filesystem::path folder = base / L"Pavendel";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return withoutTrailingSeparator(FromFsPath(folder));
}

}  // namespace platform
