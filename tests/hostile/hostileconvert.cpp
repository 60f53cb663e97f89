// SPDX-License-Identifier: MIT
// Converts documents to RTF the way the program does (an office object per document: Open,
// SaveAs with FileFormat 6, Quit) with the real office server, and prints one line per document:
//   ok<TAB>NAME<TAB>SECONDS
//   failed<TAB>NAME<TAB>SECONDS<TAB>DESCRIPTION
// The server's diagnostics go to this program's standard error, as they do in the program.
//
//   hostile-convert SERVER OUTDIR [--no-namespace] DOCUMENT...
//
// --no-namespace first moves the program into a user namespace of its own in which no further
// namespace may be made (the namespace limits inside it are 0) and no capability is left, as on
// a system that refuses namespaces to programs: the server then has to do without one. Exits
// with status 3, saying why on standard error, when that cannot be arranged.
#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "automation/automation.h"
#include "automation/wordcalls.h"
#include "office/client/officeclient.h"

namespace fs = std::filesystem;

namespace {

bool writeFile(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return written;
}

std::string failure(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// What unshare gives for the flags in a child of this process, which ends at once: 0 or errno.
int unshareInChild(int flags) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(::unshare(flags) == 0 ? 0 : errno);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A user namespace of this process's own, mapping its user and group to root in it, where the
// limits on new user and network namespaces are set to 0 and every capability is given up.
// Empty on success, else what failed.
std::string refuseNamespaces() {
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER) != 0) {
        return failure("a user namespace could not be made");
    }
    if (!writeFile("/proc/self/setgroups", "deny") ||
        !writeFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
        !writeFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")) {
        return failure("the user namespace's identities could not be mapped");
    }
    // These limits belong to the namespace: lowering them here affects nothing outside it.
    if (!writeFile("/proc/sys/user/max_user_namespaces", "0") ||
        !writeFile("/proc/sys/user/max_net_namespaces", "0")) {
        return failure("the namespace limits could not be set to 0 in the user namespace");
    }
    int lastCapability = CAP_LAST_CAP;
    std::ifstream("/proc/sys/kernel/cap_last_cap") >> lastCapability;
    for (int capability = 0; capability <= lastCapability; ++capability) {
        if (::prctl(PR_CAPBSET_DROP, capability, 0, 0, 0) != 0) {
            return failure("capability " + std::to_string(capability) +
                           " could not be dropped from the bounding set");
        }
    }
    ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capset, &header, none) != 0) {
        return failure("the capabilities could not be given up");
    }
    // Seen to hold, not only asked for.
    if (unshareInChild(CLONE_NEWNET) == 0) {
        return "a network namespace can still be made";
    }
    if (unshareInChild(CLONE_NEWUSER | CLONE_NEWNET) == 0) {
        return "a user namespace with a network namespace can still be made";
    }
    return {};
}

std::string convert(const std::string& source, const std::string& target) {
    const std::optional<automation::WordFailure> failure =
        automation::ConvertWithWord(source, target);
    return !failure                       ? std::string()
           : failure->description.empty() ? "(no description)"
                                          : failure->description;
}

}  // namespace

int main(int argc, char** argv) {
    // Ends with the test that started it.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: %s SERVER OUTDIR [--no-namespace] DOCUMENT...\n", argv[0]);
        return 2;
    }
    const std::string server = arguments[0];
    const fs::path output = arguments[1];
    arguments.erase(arguments.begin(), arguments.begin() + 2);
    if (!arguments.empty() && arguments.front() == "--no-namespace") {
        arguments.erase(arguments.begin());
        const std::string refused = refuseNamespaces();
        if (!refused.empty()) {
            std::fprintf(stderr, "hostile-convert: %s\n", refused.c_str());
            return 3;
        }
    }

    office::client::OfficeOptions options;
    options.serverPath = server;
    options.deadlines.document = std::chrono::seconds(60);
    automation::RegisterProvider("Word.Application", office::client::officeProvider(options));
    for (const std::string& source : arguments) {
        const std::string name = fs::path(source).filename().string();
        const auto start = std::chrono::steady_clock::now();
        const std::string description =
            convert(source, (output / fs::path(source).stem()).string() + ".rtf");
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (description.empty()) {
            std::printf("ok\t%s\t%.2f\n", name.c_str(), seconds);
        } else {
            std::string line = description;
            for (char& c : line) {
                c = c == '\n' || c == '\t' ? ' ' : c;
            }
            std::printf("failed\t%s\t%.2f\t%s\n", name.c_str(), seconds, line.c_str());
        }
        std::fflush(stdout);
    }
    return 0;
}
