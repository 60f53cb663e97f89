// SPDX-License-Identifier: MIT
#include "office/server/officemain.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "office/server/application.h"
#include "office/server/diagnostics.h"
#include "office/server/kitinstance.h"
#include "office/server/kitpreinit.h"
#include "office/server/launcher.h"
#include "office/server/sandbox.h"
#include "office/server/server.h"
#include "office/server/sofficeengine.h"
#include "office/server/tieredengine.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace office {

namespace {

using EngineFactory = std::function<std::shared_ptr<Engine>(int clientFd)>;

// Serves one Application object on the client's socket until Quit or until the client leaves.
int serveClient(int fd, const EngineFactory& makeEngine) {
    // The engine must not inherit the socket: a client waiting for it would not see the server
    // end while the engine still held it.
    platform::SetCloseOnExec(fd);
    office::wire::Channel channel(fd);
    std::shared_ptr<Engine> engine;
    try {
        engine = makeEngine(fd);
    } catch (const automation::AutomationError& error) {
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

std::unique_ptr<Engine> fullEngine(const EngineInstall& install, int clientFd) {
    if (install.program.empty()) {
        throw automation::AutomationError(engineMissingDescription());
    }
    return std::make_unique<SofficeEngine>(install, clientFd);
}

// A server's working folder (named after the server, owner; 0: this process) and its engine
// instance, forked from this process: in the server's process group when one is given. Nothing
// (and no folder) when either cannot be made; then every document takes the full conversion.
std::unique_ptr<ForkedInstance> forkInstance(const EngineInstall& install, const Kit& kit,
                                             pid_t owner, std::string& work) {
    try {
        work = makeWorkFolder(cacheFolder(), "run", owner);
        const std::string temp = work + "/engine-temp";
        ::mkdir(temp.c_str(), 0700);
        // The instance writes only in the server's folder (its document and its temporary
        // files), and reads the launcher's profile without changing it.
        EngineLimits limits = engineLimits(install.program, {work}, {kit.workFolder});
        limits.keptDescriptors = engineDescriptors();
        return std::make_unique<ForkedInstance>(
            [kit, temp](int requestFd, int resultFd) {
                return runKitInstance(kit, temp, requestFd, resultFd);
            },
            ForkedInstance::kStallLimit, limits, owner);
    } catch (const automation::AutomationError&) {
        return nullptr;
    }
}

// What a spare prepares before its client is known: its working folder and an engine instance
// that starts at once, so that it is ready by the time the document comes. Both wait here until
// the client's engine takes them over; a spare that is never used removes its folder itself.
// Without a kit there is nothing to prepare, and the client gets the engine's own conversion.
class PreparedServer {
 public:
    PreparedServer(const EngineInstall& install, const std::optional<Kit>& kit)
        : m_install(install), m_kit(kit.has_value()), m_hidden(kit && kit->hidden) {
        if (kit) {
            m_instance = forkInstance(install, *kit, 0, m_work);
        }
    }
    ~PreparedServer() {
        // The instance works in the folder: it goes first.
        m_instance.reset();
        if (!m_work.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_work, ignored);
        }
    }
    // Takes over the working folder and the instance the launcher made for this server.
    PreparedServer(const EngineInstall& install, const HandedInstance& handed)
        : m_install(install), m_kit(handed.kit), m_hidden(handed.hidden), m_work(handed.work) {
        if (handed.pid > 0) {
            m_instance = std::make_unique<ForkedInstance>(
                ForkedInstance::Handle{handed.pid, handed.pidfd, handed.request, handed.result},
                ForkedInstance::kStallLimit);
        }
    }
    PreparedServer(const PreparedServer&) = delete;
    PreparedServer& operator=(const PreparedServer&) = delete;

    // Serves the client on fd, with an engine that takes over what was prepared.
    int serve(int fd) {
        return serveClient(fd, [this](int clientFd) { return makeEngine(clientFd); });
    }

 private:
    std::shared_ptr<Engine> makeEngine(int clientFd) {
        if (!m_kit) {
            return fullEngine(m_install, clientFd);
        }
        auto engine = std::make_shared<TieredEngine>(
            std::move(m_instance),
            m_hidden ? TieredEngine::Comments::Taken : TieredEngine::Comments::Refused, m_work,
            clientFd, [install = m_install, clientFd] { return fullEngine(install, clientFd); });
        // The folder is the engine's now, removed with it.
        m_work.clear();
        return engine;
    }

    EngineInstall m_install;
    bool m_kit = false;
    bool m_hidden = false;
    std::string m_work;
    std::unique_ptr<EngineInstance> m_instance;
};

ServeClient prepareServer(const EngineInstall& install, const std::optional<Kit>& kit) {
    auto server = std::make_shared<PreparedServer>(install, kit);
    return [server](int fd) { return server->serve(fd); };
}

// Which way the documents take, when $PAVENDEL_OFFICE_PATH chooses one for a test or a
// diagnosis: "hidden" (the default), "kit" (LibreOfficeKit's document calls in the instance) or
// "full" (the engine's own conversion, one engine process per document).
std::string chosenPath() {
    const char* chosen = std::getenv("PAVENDEL_OFFICE_PATH");
    return chosen != nullptr ? chosen : "";
}

int launcherMain(int fd) {
    // Whatever a document links to, nothing started from here reaches the network, and no engine
    // process reads local files beyond its own.
    isolateFromNetwork();
    reportFileConfinement();
    const EngineInstall install = findEngine();
    std::optional<Kit> kit;
    const std::string path = chosenPath();
    // Forked while this process is still small: the servers come from it.
    startServerMaker(fd, [&install](const HandedInstance& handed) -> ServeClient {
        auto server = std::make_shared<PreparedServer>(install, handed);
        return [server](int client) { return server->serve(client); };
    });
    if (!install.program.empty() && path != "full") {
        // The engine talks on the standard streams while it preloads; nobody reads them.
        platform::SilenceStandardStreams(false);
        kit = preinitKit(install, path == "kit" ? std::string() : platform::programFolder());
        if (!kit) {
            diagnose(
                "the engine could not be preinitialised (LibreOfficeKit is missing or "
                "failed); every document takes the engine's own, slower conversion.");
        }
    }
    const nlohmann::json hello{{"protocol", office::wire::kProtocolVersion},
                               {"launcher", "pavendel-office"}};
    int status = 1;
    if (office::wire::sendPacket(fd, hello)) {
        status = runLauncher(
            fd, [&install, &kit] { return prepareServer(install, kit); },
            [&install, &kit](pid_t server) {
                HandedInstance handed;
                handed.kit = kit.has_value();
                handed.hidden = kit && kit->hidden;
                if (kit) {
                    std::unique_ptr<ForkedInstance> instance =
                        forkInstance(install, *kit, server, handed.work);
                    if (const auto handle = instance ? instance->release() : std::nullopt) {
                        handed.pid = handle->pid;
                        handed.pidfd = handle->pidfd;
                        handed.request = handle->request;
                        handed.result = handle->result;
                    }
                }
                return handed;
            });
    }
    if (kit) {
        removeKitFolder(*kit);
        // Without the exit handlers: the engine's library, preinitialised but never started,
        // would write its settings back into the folder just removed.
        ::_exit(status);
    }
    return status;
}

}  // namespace

int officeMain(int argc, char** argv) {
    int fd = -1;
    bool launcher = false;
    pid_t parent = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string argument(argv[i]);
        if (argument.rfind("--socket-fd=", 0) == 0) {
            fd = std::atoi(argument.c_str() + 12);
        } else if (argument.rfind("--parent=", 0) == 0) {
            parent = static_cast<pid_t>(std::atol(argument.c_str() + 9));
        } else if (argument == "--launcher") {
            launcher = true;
        }
    }
    if (fd < 0 || ::fcntl(fd, F_GETFD) < 0) {
        std::fprintf(stderr,
                     "pavendel-office: the office server of Pavendel; the program starts it "
                     "itself.\n");
        return 2;
    }
    // Nothing the program's caller left open reaches an engine: the program passes none, and
    // whoever else starts this keeps what it left open to itself.
    platform::CloseDescriptorsExcept(&fd, 1);
    platform::SetCloseOnExec(fd);
    keepDiagnostics();
    cleanEnvironment();
    ::signal(SIGPIPE, SIG_IGN);
    // Ends with the program, even when the program is killed.
    if (!platform::DieWithParent(parent)) {
        return 1;
    }
    if (launcher) {
        return launcherMain(fd);
    }
    isolateFromNetwork();
    reportFileConfinement();
    const EngineInstall install = findEngine();
    return serveClient(fd, [&install](int clientFd) { return fullEngine(install, clientFd); });
}

}  // namespace office
