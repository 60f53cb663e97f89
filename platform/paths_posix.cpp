// SPDX-License-Identifier: MIT
#include "platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/error.h"

namespace fs = std::filesystem;

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

std::filesystem::path ToFsPath(const std::string& text) {
    return std::filesystem::path(text);
}

std::string FromFsPath(const std::filesystem::path& path) {
    return path.string();
}

std::string cacheFolder() {
    fs::path base;
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && cache[0] == '/') {
        base = cache;
    } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        base = fs::path(home) / ".cache";
    } else {
        // Without a home, the shared temporary folder: a folder there of this name is used only
        // when it is this user's own and closed to others, since anyone may have made it first.
        base = fs::temp_directory_path() / ("pavendel-" + std::to_string(::getuid()));
        ::mkdir(base.c_str(), 0700);
        struct stat info {};
        if (::lstat(base.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
            info.st_uid != ::getuid() || (info.st_mode & 077) != 0) {
            throw SystemError("use", base.string(),
                              "it belongs to another user or is open to others");
        }
    }
    const fs::path folder = base / "pavendel";
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        throw SystemError("create", folder.string(), error.value());
    }
    return folder.string();
}

std::string makeWorkFolder(const std::string& cache, const char* prefix, int owner) {
    std::string pattern =
        cache + "/" + prefix + "-" + std::to_string(owner > 0 ? owner : ::getpid()) + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw SystemError("create a folder in", cache, errno);
    }
    return pattern;
}

}  // namespace platform
