// SPDX-License-Identifier: MIT
// Looking at processes from a test: which children a process has, and waiting for one to end.
#pragma once

#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace testsupport {

// The live (not zombie) processes whose parent is the given one.
inline std::vector<pid_t> childrenOf(pid_t parent) {
    std::vector<pid_t> children;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        // pid (comm) state ppid ...: comm may hold spaces, so read after the last ')'.
        const std::size_t close = line.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        char state = 0;
        long ppid = 0;
        if (std::sscanf(line.c_str() + close + 1, " %c %ld", &state, &ppid) == 2 &&
            ppid == parent && state != 'Z' && state != 'X') {
            children.push_back(static_cast<pid_t>(std::stol(name)));
        }
    }
    return children;
}

// The first process found stopped (by SIGSTOP) whose command line contains the text, within the
// limit; 0 when none is. A stopped process stays put while a test looks at it.
inline pid_t stoppedProcessRunning(const std::string& text, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    do {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
            const std::string name = entry.path().filename().string();
            if (name.find_first_not_of("0123456789") != std::string::npos) {
                continue;
            }
            std::ifstream cmdline(entry.path() / "cmdline");
            const std::string command((std::istreambuf_iterator<char>(cmdline)),
                                      std::istreambuf_iterator<char>());
            std::ifstream stat(entry.path() / "stat");
            std::string line;
            std::getline(stat, line);
            const std::size_t close = line.rfind(')');
            if (command.find(text) != std::string::npos && close != std::string::npos &&
                line.compare(close, 4, ") T ") == 0) {
                return static_cast<pid_t>(std::stol(name));
            }
        }
        ::usleep(20000);
    } while (std::chrono::steady_clock::now() < deadline);
    return 0;
}

// A descriptor that becomes readable when the process ends; -1 when it is already gone.
inline int watchProcess(pid_t pid) {
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

// True when the watched process ended within the limit (a safety net: the process is expected
// to be gone already or about to be).
inline bool endsWithin(int pidfd, std::chrono::milliseconds limit) {
    if (pidfd < 0) {
        return true;
    }
    pollfd entry{pidfd, POLLIN, 0};
    const bool ended = ::poll(&entry, 1, static_cast<int>(limit.count())) == 1;
    ::close(pidfd);
    return ended;
}

// The live processes other than this one whose environment holds the entry (NAME=value): a test
// marks its environment so that it can find every process it started, however deep.
inline std::vector<pid_t> processesWithEnvironment(const std::string& entry) {
    std::vector<pid_t> found;
    std::error_code error;
    for (const auto& process : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = process.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos ||
            std::stol(name) == ::getpid()) {
            continue;
        }
        std::ifstream in(process.path() / "environ", std::ios::binary);
        std::string variable;
        while (std::getline(in, variable, '\0')) {
            if (variable == entry) {
                found.push_back(static_cast<pid_t>(std::stol(name)));
                break;
            }
        }
    }
    return found;
}

}  // namespace testsupport
