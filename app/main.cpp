// SPDX-License-Identifier: MIT
#include <QApplication>
#include <QEventLoop>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/commandlinemain.h"
#include "app/form1.h"
#include "app/handover.h"
#include "app/shutdownwatcher.h"
#include "automation/automation.h"
#include "core/commandline.h"
#include "office/client/officeclient.h"
#include "platform/gui/qtcommondialogs.h"
#include "platform/gui/qtplatform.h"
#include "platform/paths.h"
#include "state/statefiles.h"

int main(int argc, char* argv[]) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    // LibreOffice stands in for Word: the office engine of the program folder serves
    // "Word.Application", for the window and the command line alike.
    const std::function<void()> startOffice = office::client::RegisterWordApplication();
    if (core::WantsCommandLine(arguments)) {
        // No window, no display needed, no state files.
        return app::CommandLineMain(arguments);
    }
    QApplication application(argc, argv);
    // What Qt left of the arguments (it takes its own, such as -platform): paths to add, each
    // made absolute here, since a window that takes them over has a working folder of its own.
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--" || argument.empty()) {
            continue;
        }
        std::error_code error;
        const std::filesystem::path full = std::filesystem::absolute(argument, error);
        paths.push_back(error ? argument : full.lexically_normal().string());
    }
    if (!paths.empty() &&
        app::Handover::sendToRunningWindow(paths, std::chrono::milliseconds(5000))) {
        return 0;
    }
    platform::gui::InstallQtBackends();
    // While a call waits for the office engine the window keeps painting, but takes no input:
    // clicks and keys wait in the queue until the command has finished. Local sockets are served
    // (paths handed over by another start of the program are put aside until the run ends, and a
    // termination request is noted and carried out once the run is over). A Convert run puts a
    // hook of its own in place for its length.
    automation::SetAutomationWaitHook(
        [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    platform::gui::InstallQtCommonDialogs();

    state::StateFiles stateFiles(platform::stateFolder());
    stateFiles.CreateOnFirstStart();

    app::ShutdownWatcher shutdownWatcher;
    app::form1 window(std::move(stateFiles));
    // Paths given to later starts come here, and the window comes to the front for them.
    app::Handover handover([&window](const std::vector<std::string>& given) {
        window.showNormal();
        window.raise();
        window.activateWindow();
        window.AddPaths(given);
    });
    window.show();
    if (!paths.empty()) {
        window.AddPaths(paths);
    }
    // A termination request that came while the paths were added (a "not found" box was open)
    // has closed the window and saved the lists; the event loop would wait for a window that is
    // gone.
    if (qApp->property(app::kShuttingDown).toBool()) {
        return 0;
    }
    // Only now: a later start that finds this window finds its own paths already added.
    handover.listen();
    // The engine prepares itself while the user chooses documents, rather than when Convert is
    // pressed; started from this thread, which the runs are on and which lives as long as the
    // window.
    startOffice();
    return QApplication::exec();
}
