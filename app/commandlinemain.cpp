// SPDX-License-Identifier: MIT
#include "app/commandlinemain.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#include <iostream>

#include "automation/automation.h"
#include "core/commandline.h"

namespace app {

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

void askToStop(int signal) {
    if (g_stopSignal != 0) {
        // Asked twice: end now. The office server and its engine end with this process.
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    g_stopSignal = signal;
}

}  // namespace

int CommandLineMain(const std::vector<std::string>& arguments) {
    struct sigaction action {};
    action.sa_handler = askToStop;
    sigemptyset(&action.sa_mask);
    // Calls under way carry on: the run stops between documents.
    action.sa_flags = SA_RESTART;
    // SIGHUP too: the terminal that closes, or the session that ends, asks as SIGTERM does.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
    // A reader of the output that went away makes writes fail, not the program end mid-document.
    ::signal(SIGPIPE, SIG_IGN);

    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    struct winsize size {};
    const int columns = terminal && ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0
                            ? static_cast<int>(size.ws_col)
                            : 0;
    const core::CommandLineIo io{
        std::cout, std::cerr, terminal, [] { return static_cast<int>(g_stopSignal); }, columns, {}};
    const int status = core::RunCommandLine(arguments, io);
    // The office server ends now, with everything it started, before the program does.
    automation::RegisterProvider("Word.Application", {});
    std::cout.flush();
    return status;
}

}  // namespace app
