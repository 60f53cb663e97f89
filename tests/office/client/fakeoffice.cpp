// SPDX-License-Identifier: MIT
// A stand-in for pavendel-office that answers, fails, crashes and hangs on cue, for the tests of
// the automation client. It runs the real server loop with objects of its own.
//
// Started with --launcher it is a launcher that forks one fake server per request, with the
// launcher loop of the real one.
//
// Start-up cues (arguments): --hello=ok|error|protocol|protocol-text|text-ids|crash|hang
// (protocol-text: the protocol number as a string; text-ids: a server that answers every request
// with its id as a string), --linger (keep running after the client closes the socket),
// --launcher-hello=ok|protocol-text|crash|hang (how a launcher starts),
// --launcher-pid=N (a launcher that names process N in every answer). Call
// cues: Documents.Open of a path whose file name starts with "fail", "crash" or "hang", or with
// "slow" (it takes two seconds), or "meet" (it waits until another "meet" document of the folder is
// open in another server, and its RTF names it); Application.Echo(x) gives x back; Application.Pid
// and Application.ParentPid give the server's process id and its parent's; Application.SpawnChild
// starts a process in the server's group and gives its id; Application.Hang never answers.
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "automation/wordcalls.h"
#include "office/server/launcher.h"
#include "office/server/server.h"

namespace {

using automation::AutomationError;
using automation::NamedArguments;
using automation::ObjectPtr;
using automation::Variant;

[[noreturn]] void hang() {
    for (;;) {
        ::pause();
    }
}

class FakeDocument : public automation::AutomationObject {
 public:
    explicit FakeDocument(std::string source) : m_source(std::move(source)) {}
    Variant get(const std::string& name) override {
        throw AutomationError("Document has no property " + name + ".");
    }
    Variant call(const std::string& name, const std::vector<Variant>& positional,
                 const NamedArguments& named) override {
        if (name != "SaveAs") {
            throw AutomationError("unexpected call " + name);
        }
        const std::string target = automation::SaveAsTarget(positional, named);
        if (std::filesystem::path(target).filename().string().rfind("hang", 0) == 0) {
            hang();
        }
        // Put in place as the real server does: never over a taken name, and into the folder
        // the client handed over with the call.
        char converted[] = "/tmp/pavendel-fake-office-XXXXXX";
        const int out = ::mkstemp(converted);
        if (out < 0) {
            throw AutomationError("The fake engine cannot write its result.");
        }
        ::close(out);
        std::ofstream(converted) << "{\\rtf1 fake"
                                 << (m_source.rfind("meet", 0) == 0 ? " " + m_source : "") << "}";
        try {
            automation::SaveRtfAs(converted, target);
        } catch (const AutomationError&) {
            ::unlink(converted);
            throw;
        }
        ::unlink(converted);
        return {};
    }

 private:
    std::string m_source;
};

// Marks the document as opened, then waits (a few seconds at most) until another document
// starting with "meet" in the same folder has been opened too, by another server.
bool meetAnother(const std::filesystem::path& source) {
    std::ofstream(source.string() + ".opened") << "";
    for (int tries = 0; tries < 250; ++tries) {
        for (const auto& entry : std::filesystem::directory_iterator(source.parent_path())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("meet", 0) == 0 && name != source.filename().string() + ".opened" &&
                name.size() > 7 && name.compare(name.size() - 7, 7, ".opened") == 0) {
                return true;
            }
        }
        ::usleep(10000);
    }
    return false;
}

class FakeDocuments : public automation::AutomationObject {
 public:
    explicit FakeDocuments(ObjectPtr& active) : m_active(active) {}
    Variant get(const std::string& name) override {
        throw AutomationError("Documents has no property " + name + ".");
    }
    Variant call(const std::string& name, const std::vector<Variant>& positional,
                 const NamedArguments& named) override {
        if (name != "Open") {
            throw AutomationError("unexpected call " + name);
        }
        const std::string file =
            std::filesystem::path(automation::OpenSource(positional, named)).filename();
        if (file.rfind("fail", 0) == 0) {
            throw AutomationError("The fake engine cannot open \"" + file + "\".");
        }
        if (file.rfind("crash", 0) == 0) {
            ::kill(::getpid(), SIGKILL);
        }
        if (file.rfind("hang", 0) == 0) {
            hang();
        }
        if (file.rfind("slow", 0) == 0) {
            ::sleep(2);
        }
        if (file.rfind("meet", 0) == 0 && !meetAnother(positional[0].asString())) {
            throw AutomationError("No other document was opened meanwhile.");
        }
        m_active = std::make_shared<FakeDocument>(file);
        return m_active;
    }

 private:
    ObjectPtr& m_active;
};

class FakeApplication : public automation::AutomationObject {
 public:
    FakeApplication() : m_documents(std::make_shared<FakeDocuments>(m_active)) {}

    Variant get(const std::string& name) override {
        if (name == "Documents") {
            return m_documents;
        }
        if (name == "ActiveDocument" && m_active) {
            return m_active;
        }
        throw AutomationError("This command is not available because no document is open.");
    }
    Variant call(const std::string& name, const std::vector<Variant>& positional,
                 const NamedArguments&) override {
        if (name == "Quit") {
            m_quit = true;
            return {};
        }
        if (name == "Echo") {
            return positional.at(0);
        }
        if (name == "Pid") {
            return static_cast<std::int32_t>(::getpid());
        }
        if (name == "ParentPid") {
            return static_cast<std::int32_t>(::getppid());
        }
        if (name == "SpawnChild") {
            const pid_t child = ::fork();
            if (child == 0) {
                // Not holding the test's output open: a failing test must not keep ctest waiting.
                const int null = ::open("/dev/null", O_WRONLY);
                ::dup2(null, STDOUT_FILENO);
                ::dup2(null, STDERR_FILENO);
                hang();
            }
            return static_cast<std::int32_t>(child);
        }
        if (name == "Hang") {
            hang();
        }
        throw AutomationError("unexpected call " + name);
    }
    void put(const std::string& name, const Variant&) override {
        if (name != "DisplayAlerts" && name != "AutomationSecurity") {
            throw AutomationError("unexpected setting " + name);
        }
    }
    bool quit() const { return m_quit; }

 private:
    ObjectPtr m_active;
    ObjectPtr m_documents;
    bool m_quit = false;
};

int serveFake(int fd, const std::string& hello, bool linger) {
    office::wire::Channel channel(fd);
    if (hello == "crash") {
        ::kill(::getpid(), SIGKILL);
    } else if (hello == "hang") {
        hang();
    } else if (hello == "error") {
        office::sendHello(channel, std::string("The fake engine is not installed."));
        return 1;
    } else if (hello == "protocol") {
        channel.send({{"protocol", office::wire::kProtocolVersion + 1}});
        return 1;
    } else if (hello == "protocol-text") {
        channel.send({{"protocol", std::to_string(office::wire::kProtocolVersion)},
                      {"server", "fake-office"},
                      {"root", office::wire::kRootObject}});
        return 1;
    } else if (hello == "text-ids") {
        office::sendHello(channel);
        nlohmann::json request;
        while (channel.receive(request, std::nullopt) == office::wire::ReadStatus::Message) {
            channel.send(
                {{"id", std::to_string(office::wire::integerMember(request, "id"))}, {"value", 1}});
        }
        return 0;
    }
    office::sendHello(channel);
    auto application = std::make_shared<FakeApplication>();
    office::serve(channel, application, [&application] { return application->quit(); });
    if (linger) {
        hang();
    }
    return 0;
}

// A launcher whose answers name another process than the server they hand out (the one given
// with --launcher-pid=N), as a launcher that reaped its server and saw the number reused would.
int namingLauncher(int control, pid_t named, const std::string& hello, bool linger) {
    for (;;) {
        nlohmann::json request;
        int clientFd = -1;
        if (office::wire::receivePacket(control, request, clientFd, std::nullopt) !=
            office::wire::ReadStatus::Message) {
            return 0;
        }
        const pid_t server = ::fork();
        if (server == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            ::_exit(serveFake(clientFd, hello, linger));
        }
        ::close(clientFd);
        const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, server, 0));
        office::wire::sendPacket(control, {{"pid", named}}, pidfd);
        ::close(pidfd);
    }
}

}  // namespace

int main(int argc, char** argv) {
    int fd = -1;
    std::string hello = "ok";
    bool launcher = false;
    std::string launcherHello = "ok";
    bool linger = false;
    pid_t named = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string argument(argv[i]);
        if (argument.rfind("--socket-fd=", 0) == 0) {
            fd = std::atoi(argument.c_str() + 12);
        } else if (argument.rfind("--hello=", 0) == 0) {
            hello = argument.substr(8);
        } else if (argument == "--launcher") {
            launcher = true;
        } else if (argument.rfind("--launcher-hello=", 0) == 0) {
            launcherHello = argument.substr(17);
        } else if (argument == "--linger") {
            linger = true;
        } else if (argument.rfind("--launcher-pid=", 0) == 0) {
            named = static_cast<pid_t>(std::atoi(argument.c_str() + 15));
        }
    }
    // Should the client under test fail to end it, it still goes with the test.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    ::signal(SIGPIPE, SIG_IGN);
    if (!launcher) {
        return serveFake(fd, hello, linger);
    }
    if (launcherHello == "crash") {
        ::kill(::getpid(), SIGKILL);
    } else if (launcherHello == "hang") {
        hang();
    } else if (launcherHello == "protocol-text") {
        office::wire::sendPacket(fd, {{"protocol", std::to_string(office::wire::kProtocolVersion)},
                                      {"launcher", "fake-office"}});
        hang();
    }
    office::wire::sendPacket(
        fd, {{"protocol", office::wire::kProtocolVersion}, {"launcher", "fake-office"}});
    if (named != 0) {
        return namingLauncher(fd, named, hello, linger);
    }
    return office::runLauncher(fd, [&hello, linger]() -> office::ServeClient {
        return [&hello, linger](int clientFd) { return serveFake(clientFd, hello, linger); };
    });
}
