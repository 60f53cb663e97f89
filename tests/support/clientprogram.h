// SPDX-License-Identifier: MIT
// Running a client program (officeclienthelper.cpp) in a test and watching every process it
// started: the program gets a mark in its environment that all its descendants inherit.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/processes.h"

extern char** environ;

namespace testsupport {

class ClientProgram {
 public:
    // Starts the program with the mark (NAME=value) added to this process's environment.
    ClientProgram(std::vector<std::string> arguments, const std::string& mark) {
        std::vector<std::string> environment{mark};
        for (char** entry = environ; *entry != nullptr; ++entry) {
            environment.emplace_back(*entry);
        }
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& entry : environment) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);
        int output[2];
        int input[2];
        if (::pipe2(output, O_CLOEXEC) != 0 || ::pipe2(input, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        if (::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(output[1]);
        ::close(input[0]);
        m_output = output[0];
        m_input = input[1];
    }
    ~ClientProgram() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_output);
        ::close(m_input);
    }
    ClientProgram(const ClientProgram&) = delete;
    ClientProgram& operator=(const ClientProgram&) = delete;

    // The first line the program writes, or "" when it writes none within the limit.
    std::string firstLine(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        std::string line;
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd entry{m_output, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
                return {};
            }
            char c = 0;
            if (::read(m_output, &c, 1) != 1) {
                return {};
            }
            if (c == '\n') {
                return line;
            }
            line.push_back(c);
        }
    }

    void signal(int number) { ::kill(m_pid, number); }
    // Writes a line to the program's standard input.
    void tell(const std::string& line) {
        const std::string text = line + "\n";
        if (::write(m_input, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
            ::kill(m_pid, SIGKILL);  // it is gone or stuck: the test sees it end all the same
        }
    }

    // Waits for the program itself to end and reaps it; false when it did not within the limit.
    bool ends(std::chrono::milliseconds limit) {
        if (!endsWithin(watchProcess(m_pid), limit)) {
            return false;
        }
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
        return true;
    }

 private:
    pid_t m_pid = -1;
    int m_output = -1;
    int m_input = -1;
};

// True when every process holding the mark has ended within the limit. Processes are watched
// through their process descriptors, and looked for again until none is left, since a process
// may start another one while its own ending is under way.
inline bool allEndWithin(const std::string& mark, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const std::vector<pid_t> left = processesWithEnvironment(mark);
        if (left.empty()) {
            return true;
        }
        for (const pid_t pid : left) {
            const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (remaining.count() <= 0 || !endsWithin(watchProcess(pid), remaining)) {
                return false;
            }
        }
    }
}

}  // namespace testsupport
