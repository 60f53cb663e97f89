// SPDX-License-Identifier: MIT
// Putting a finished file in place, on Windows: the contents go to a temporary file beside
// the target, flushed to disk, then MoveFileExW gives it the target's name, without replacing a
// file there (writeNewFile) or replacing it whole (replaceFile). NTFS renames within a folder
// atomically, so no reader ever sees half a file. The methods of NewFileMethod are POSIX ways of
// doing the same; Windows has this one.
#include "platform/newfile.h"

#include <atomic>
#include <functional>

#include "platform/error.h"
#include "platform/folder.h"
#include "platform/newfile_names.h"
#include "platform/paths.h"
#include "platform/widetext_win32.h"

#include <windows.h>

namespace platform {

namespace {

// A failed step of a write: the system's error and what was being done ("create" the temporary
// file, "write" it, "replace" the target with it).
struct SaveFailed {
    DWORD error;
    const char* operation;
};

std::string folderOf(const std::string& target) {
    const std::size_t slash = target.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : target.substr(0, slash);
}

// Whether the process that wrote a temporary file may still be writing it. A process this user
// may not look at counts as running.
bool writerRunning(DWORD pid) {
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) {
        return ::GetLastError() != ERROR_INVALID_PARAMETER;
    }
    DWORD code = 0;
    const bool running = ::GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    ::CloseHandle(process);
    return running;
}

// Removes what saves that were killed half-way left in the folder: our temporary files whose
// writer has ended and that are old enough, and only those.
void sweepLeftovers(const std::wstring& folder) {
    WIN32_FIND_DATAW entry{};
    const HANDLE find =
        ::FindFirstFileW((folder + L"\\" + Widen(kTemporaryPrefix) + L"*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    constexpr unsigned long long kTicksPerSecond = 10'000'000;
    do {
        const long writer = TemporaryWriter(Narrow(entry.cFileName));
        if (writer <= 0 || (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
            ticks(now) < ticks(entry.ftLastWriteTime) +
                             static_cast<unsigned long long>(kLeftoverAge) * kTicksPerSecond ||
            writerRunning(static_cast<DWORD>(writer))) {
            continue;
        }
        ::DeleteFileW((folder + L"\\" + entry.cFileName).c_str());
    } while (::FindNextFileW(find, &entry));
    ::FindClose(find);
}

void writeAll(HANDLE out, const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(out, data, chunk, &written, nullptr)) {
            throw SaveFailed{::GetLastError(), "write"};
        }
        data += written;
        size -= written;
    }
}

void copyInto(HANDLE out, const std::wstring& source) {
    const HANDLE in =
        ::CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (in == INVALID_HANDLE_VALUE) {
        throw SaveFailed{::GetLastError(), "write"};
    }
    char local[65536];
    try {
        for (;;) {
            DWORD read = 0;
            if (!::ReadFile(in, local, sizeof local, &read, nullptr)) {
                throw SaveFailed{::GetLastError(), "write"};
            }
            if (read == 0) {
                break;
            }
            writeAll(out, local, read);
        }
    } catch (const SaveFailed&) {
        ::CloseHandle(in);
        throw;
    }
    ::CloseHandle(in);
}

// A complete, durable temporary file in the folder, filled by `fill`. Throws SaveFailed and leaves
// nothing behind.
std::wstring writeTemporary(const std::wstring& folder, const std::function<void(HANDLE)>& fill) {
    static std::atomic<unsigned> counter{0};
    const std::wstring start =
        folder + L"\\" + Widen(kTemporaryPrefix) + std::to_wstring(::GetCurrentProcessId()) + L"-";
    std::wstring temporary;
    HANDLE out = INVALID_HANDLE_VALUE;
    for (int attempt = 0; out == INVALID_HANDLE_VALUE; ++attempt) {
        // Six letters and digits from a counter and the clock: unique within the process by the
        // counter, and a name another process took is simply tried again.
        unsigned long long seed = ::GetTickCount64() * 2654435761ULL + counter++;
        std::wstring random;
        for (std::size_t i = 0; i < kTemporaryRandomPart; ++i) {
            random.push_back(L"abcdefghijklmnopqrstuvwxyz0123456789"[seed % 36]);
            seed /= 36;
        }
        temporary = start + random;
        out = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (out == INVALID_HANDLE_VALUE) {
            const DWORD error = ::GetLastError();
            if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt > 100) {
                throw SaveFailed{error, "create"};
            }
        }
    }
    try {
        fill(out);
        if (!::FlushFileBuffers(out)) {
            throw SaveFailed{::GetLastError(), "write"};
        }
    } catch (const SaveFailed&) {
        ::CloseHandle(out);
        ::DeleteFileW(temporary.c_str());
        throw;
    }
    if (!::CloseHandle(out)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(temporary.c_str());
        throw SaveFailed{error, "write"};
    }
    return temporary;
}

}  // namespace

void writeNewFile(const std::string& source, const std::string& target, NewFileMethod) {
    const std::size_t slash = target.find_last_of("\\/");
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    const auto failed = [&target](const std::string& reason) {
        return SystemError("save", target, reason);
    };
    if (name.empty()) {
        throw failed("the target path names no file");
    }
    const std::string folder = folderOf(target);
    const DWORD folderAttributes = ::GetFileAttributesW(Widen(folder).c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES ||
        (folderAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        throw failed("the folder \"" + folder + "\" does not exist");
    }
    const std::wstring wideTarget = Widen(target);
    const auto taken = [&] {
        const DWORD attributes = ::GetFileAttributesW(wideTarget.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                   ? NameTaken(target, "a folder of that name is in the way")
                   : NameTaken(target,
                               "a file of that name is already there, and it is left as it is");
    };
    const DWORD targetAttributes = ::GetFileAttributesW(wideTarget.c_str());
    if (targetAttributes != INVALID_FILE_ATTRIBUTES &&
        (targetAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        throw taken();
    }
    const std::wstring wideFolder = Widen(folder);
    sweepLeftovers(wideFolder);
    std::wstring temporary;
    try {
        const std::wstring wideSource = Widen(source);
        temporary =
            writeTemporary(wideFolder, [&wideSource](HANDLE out) { copyInto(out, wideSource); });
    } catch (const SaveFailed& save) {
        throw SystemError("save", target, static_cast<int>(save.error));
    }
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the name is taken, at that moment:
    // a file made there a moment earlier is never replaced.
    if (!::MoveFileExW(temporary.c_str(), wideTarget.c_str(), MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(temporary.c_str());
        if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
            throw taken();
        }
        throw SystemError("save", target, static_cast<int>(error));
    }
}

void writeNewFile(const std::string& source, const Folder& folder, const std::string& name,
                  NewFileMethod first) {
    writeNewFile(source, inFolder(folder.path(), name), first);
}

void replaceFile(const std::string& target, const std::string& contents) {
    const std::wstring folder = Widen(folderOf(target));
    sweepLeftovers(folder);
    std::wstring temporary;
    try {
        temporary = writeTemporary(
            folder, [&contents](HANDLE out) { writeAll(out, contents.data(), contents.size()); });
    } catch (const SaveFailed& save) {
        throw SystemError(save.operation, target, static_cast<int>(save.error));
    }
    if (!::MoveFileExW(temporary.c_str(), Widen(target).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(temporary.c_str());
        throw SystemError("replace", target, static_cast<int>(error));
    }
}

}  // namespace platform
