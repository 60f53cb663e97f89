// SPDX-License-Identifier: MIT
// Opening a file or folder with the program the user chose for it, on Windows.
#include "platform/shell.h"
#include "platform/systembackends.h"
#include "platform/widetext_win32.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

namespace platform {

namespace {

// An empty string is passed as no string at all, as the system wants for "no parameters".
const wchar_t* orNull(const std::wstring& text) {
    return text.empty() ? nullptr : text.c_str();
}

std::intptr_t openWithShell(Hwnd owner, const std::string& operation, const std::string& file,
                            const std::string& parameters, const std::string& directory,
                            int showCommand) {
    const std::wstring wideOperation = Widen(operation);
    const std::wstring wideFile = Widen(file);
    const std::wstring wideParameters = Widen(parameters);
    const std::wstring wideDirectory = Widen(directory);
    const HINSTANCE result =
        ::ShellExecuteW(reinterpret_cast<HWND>(owner), orNull(wideOperation), wideFile.c_str(),
                        orNull(wideParameters), orNull(wideDirectory), showCommand);
    return reinterpret_cast<std::intptr_t>(result);
}

}  // namespace

ShellBackend DefaultShellBackend() {
    return openWithShell;
}

}  // namespace platform
