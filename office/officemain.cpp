// SPDX-License-Identifier: MIT
#include "office/officemain.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "office/application.h"
#include "office/convertengine.h"
#include "office/server.h"

namespace office {

int officeMain(int argc, char** argv) {
    int fd = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string argument(argv[i]);
        if (argument.rfind("--socket-fd=", 0) == 0) {
            fd = std::atoi(argument.c_str() + 12);
        }
    }
    if (fd < 0 || ::fcntl(fd, F_GETFD) < 0) {
        std::fprintf(stderr,
                     "pavendel-office: the office server of Pavendel; the program starts it "
                     "itself.\n");
        return 2;
    }
    // The engine must not inherit the socket: a client waiting for it would not see the server
    // end while the engine still held it.
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::signal(SIGPIPE, SIG_IGN);
    // Ends with the program, even when the program is killed.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() == 1) {
        return 1;
    }

    platform::wire::Channel channel(fd);
    const EngineInstall install = findEngine();
    if (install.program.empty()) {
        sendHello(channel, engineMissingDescription());
        return 1;
    }
    std::shared_ptr<ConvertEngine> engine;
    try {
        engine = std::make_shared<ConvertEngine>(install, fd);
    } catch (const platform::AutomationError& error) {
        sendHello(channel, error.description());
        return 1;
    }
    if (!sendHello(channel)) {
        return 1;
    }
    auto application = std::make_shared<Application>(engine);
    serve(channel, application, [&application] { return application->quitRequested(); });
    return 0;
}

}  // namespace office
