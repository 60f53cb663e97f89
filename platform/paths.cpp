// SPDX-License-Identifier: MIT
#include "platform/paths.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace platform {

namespace {

std::string withoutTrailingSeparator(std::string path) {
    while (path.size() > 1 && path.back() == kPathSeparator) {
        path.pop_back();
    }
    return path;
}

}  // namespace

std::string programFolder() {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::canonical("/proc/self/exe", error);
    if (error) {
        return withoutTrailingSeparator(std::filesystem::current_path(error).string());
    }
    return withoutTrailingSeparator(exe.parent_path().string());
}

std::string stateFolderFor(const std::string& programDir) {
    if (!programDir.empty() && ::access(programDir.c_str(), W_OK | X_OK) == 0) {
        return programDir;
    }
    std::filesystem::path base;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') {
        base = config;
    } else if (const char* home = std::getenv("HOME"); home && home[0] != '\0') {
        base = std::filesystem::path(home) / ".config";
    } else {
        base = std::filesystem::temp_directory_path();
    }
    std::filesystem::path folder = base / "pavendel";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return withoutTrailingSeparator(folder.string());
}

std::string stateFolder() {
    return stateFolderFor(programFolder());
}

std::string inFolder(const std::string& folder, const std::string& fileName) {
    if (!folder.empty() && folder.back() == kPathSeparator) {
        return folder + fileName;
    }
    return folder + kPathSeparator + fileName;
}

}  // namespace platform
