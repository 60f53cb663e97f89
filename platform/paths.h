// SPDX-License-Identifier: MIT
// Where the program lives and where it keeps its state.
#pragma once

#include <filesystem>
#include <string>

namespace platform {

// The separator the program's path rules append and strip.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
// Every character that separates the parts of a path the system is given.
inline constexpr const char* kPathSeparators = "\\/";
#else
inline constexpr char kPathSeparator = '/';
inline constexpr const char* kPathSeparators = "/";
#endif

// Whether the character separates the parts of a path on this system.
constexpr bool IsPathSeparator(char c) {
    return c == '/' || (kPathSeparator == '\\' && c == '\\');
}

// The path without the separators at its end, except the one its root needs: "/" on POSIX
// systems, "C:\" or "\" on Windows (where "C:" alone would name the drive's current folder).
std::string WithoutTrailingSeparators(std::string path);

// A path of the program's own, which is UTF-8 everywhere, as the standard library's path, and
// back. On Windows the library would take a narrow string byte by byte.
std::filesystem::path ToFsPath(const std::string& text);
std::string FromFsPath(const std::filesystem::path& path);

// The folder that holds the running executable, symbolic links resolved, without a trailing
// separator (except for the root folder itself).
std::string programFolder();

// The folder of the state files: the program folder when the user may write there (a build tree,
// an unpacked copy), otherwise the per-user folder $XDG_CONFIG_HOME/pavendel (default
// ~/.config/pavendel; on Windows %APPDATA%\Pavendel), created when missing. No trailing
// separator.
std::string stateFolder();

// Same rule for a given program folder; exposed for tests.
std::string stateFolderFor(const std::string& programDir);

// The program folder followed by the separator and the file name.
std::string inFolder(const std::string& folder, const std::string& fileName);

#ifndef _WIN32
// $XDG_CACHE_HOME/pavendel (default ~/.cache/pavendel), created when missing. Throws SystemError:
// "use" for a folder that belongs to another user or is open to others, "create" when it cannot be
// made.
std::string cacheFolder();

// A new working folder "<prefix>-<pid>-XXXXXX" in the cache folder, named after the process it
// belongs to (owner; 0: this one), so that it can be told left over once that process has ended.
// Throws SystemError ("create a folder in" the cache folder).
std::string makeWorkFolder(const std::string& cache, const char* prefix, int owner = 0);
#endif

}  // namespace platform
