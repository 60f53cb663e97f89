// SPDX-License-Identifier: MIT
// The hidden temporary files of platform/newfile.h, as both of its backends name and recognise
// them.
#pragma once

#include <cctype>
#include <ctime>
#include <string>

namespace platform {

// A temporary name of a short length whatever the target's, so that a target name at the file
// system's limit still has room for it: ".pavendel-<pid>-XXXXXX". The writer's process number
// tells a leftover of a killed save from a save under way in another process.
inline constexpr const char* kTemporaryPrefix = ".pavendel-";
// How many characters of the name make it unique after the process number.
inline constexpr std::size_t kTemporaryRandomPart = 6;
// A leftover younger than this is left alone even when its writer seems gone: on a network share
// the writer may be a process of another machine.
inline constexpr std::time_t kLeftoverAge = 60;

// The writer's process number when the name is one of our temporary names; 0 otherwise.
inline long TemporaryWriter(const std::string& name) {
    const std::string prefix(kTemporaryPrefix);
    if (name.rfind(prefix, 0) != 0) {
        return 0;
    }
    const std::size_t dash = name.find('-', prefix.size());
    if (dash == std::string::npos || dash == prefix.size() || dash > prefix.size() + 10 ||
        name.size() != dash + 1 + kTemporaryRandomPart) {
        return 0;
    }
    long pid = 0;
    for (std::size_t i = prefix.size(); i < dash; ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return 0;
        }
        pid = pid * 10 + (name[i] - '0');
    }
    for (std::size_t i = dash + 1; i < name.size(); ++i) {
        if (std::isalnum(static_cast<unsigned char>(name[i])) == 0) {
            return 0;
        }
    }
    return pid;
}

}  // namespace platform
