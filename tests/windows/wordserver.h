// SPDX-License-Identifier: MIT
// The test server of fakewordserver.cpp, which stands in for Word: started with a switch
// (/regserver, /unregserver, /idle) from the folder of the test program that uses it.
#pragma once

#include <windows.h>
// (windows.h first: the helpers below use its declarations.)
#include <string>

namespace testsupport {

// Starts the test server with the switch; its process, or null.
inline HANDLE startServer(const std::wstring& option) {
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring server(self);
    server = server.substr(0, server.find_last_of(L"\\/") + 1) + L"fakewordserver.exe";
    std::wstring line = L"\"" + server + L"\" " + option;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(server.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
        return nullptr;
    }
    ::CloseHandle(process.hThread);
    return process.hProcess;
}

// Runs the test server with the switch and waits for it; its exit status.
inline DWORD runServer(const std::wstring& option) {
    const HANDLE process = startServer(option);
    if (process == nullptr) {
        return ~0u;
    }
    ::WaitForSingleObject(process, INFINITE);
    DWORD status = ~0u;
    ::GetExitCodeProcess(process, &status);
    ::CloseHandle(process);
    return status;
}

}  // namespace testsupport
