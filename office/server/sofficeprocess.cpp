// SPDX-License-Identifier: MIT
#include "office/server/sofficeprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "automation/automation.h"
#include "office/server/engine.h"
#include "office/server/sandbox.h"
#include "platform/process.h"

extern char** environ;

namespace office {

namespace {

// In the child, before exec: only async-signal-safe calls on text prepared before the fork.
[[noreturn]] void becomeEngine(const EngineRun& run, pid_t parent, char* const* argv,
                               char* const* envp, const EngineLimits& limits) {
    // The engine must not outlive a server that is killed.
    if (!platform::DieWithParent(parent)) {
        ::_exit(127);
    }
    applyEngineLimits(limits);
    platform::SilenceStandardStreams(true);
    ::close_range(3, ~0U, 0);
    if (::chdir(run.folder.c_str()) != 0) {
        ::_exit(127);
    }
    ::execve(run.program.c_str(), argv, envp);
    ::_exit(127);
}

}  // namespace

std::vector<std::string> environmentWith(const std::vector<std::string>& overrides) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable(*entry);
        const std::string name = variable.substr(0, variable.find('='));
        bool replaced = false;
        for (const std::string& override : overrides) {
            replaced = replaced || override.substr(0, override.find('=')) == name;
        }
        if (!replaced) {
            result.push_back(variable);
        }
    }
    result.insert(result.end(), overrides.begin(), overrides.end());
    return result;
}

int runEngine(const EngineRun& run) {
    std::vector<std::string> arguments{run.program};
    arguments.insert(arguments.end(), run.arguments.begin(), run.arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> environment = run.environment;
    std::vector<char*> envp;
    for (std::string& variable : environment) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);
    // The office program always listens on a pipe of its own.
    const EngineLimits limits = engineLimits(run.program, run.ownFolders, {}, EnginePipe::Listens);
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child < 0) {
        throw automation::AutomationError(std::string("The office engine could not be started: ") +
                                          std::strerror(errno) + ".");
    }
    if (child == 0) {
        becomeEngine(run, parent, argv.data(), envp.data(), limits);
    }

    const int pidfd = platform::OpenProcessDescriptor(child);
    if (pidfd >= 0) {
        bool watchClient = run.clientFd >= 0;
        for (;;) {
            pollfd entries[2] = {{pidfd, POLLIN, 0}, {run.clientFd, POLLRDHUP, 0}};
            const int ready = ::poll(entries, watchClient ? 2 : 1, -1);
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready <= 0 || entries[0].revents != 0) {
                break;
            }
            if ((entries[1].revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) {
                ::kill(child, SIGKILL);
                ::waitpid(child, nullptr, 0);
                ::close(pidfd);
                throw ClientGone();
            }
            // A request while one is under way breaks the protocol; it is read after this one.
            watchClient = false;
        }
        ::close(pidfd);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            throw automation::AutomationError(
                std::string("The office engine could not be watched: ") + std::strerror(errno) +
                ".");
        }
    }
    return status;
}

}  // namespace office
