// SPDX-License-Identifier: MIT
#include <QApplication>
#include <string>
#include <utility>
#include <vector>

#include "app/commandlinemain.h"
#include "app/form1.h"
#include "app/shutdownwatcher.h"
#include "core/commandline.h"
#include "platform/gui/qtcommondialogs.h"
#include "platform/gui/qtplatform.h"
#include "platform/paths.h"
#include "state/statefiles.h"

int main(int argc, char* argv[]) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (core::WantsCommandLine(arguments)) {
        // No window, no display needed, no state files.
        return app::CommandLineMain(arguments);
    }
    QApplication application(argc, argv);
    platform::gui::InstallQtBackends();
    platform::gui::InstallQtCommonDialogs();

    state::StateFiles stateFiles(platform::stateFolder());
    stateFiles.CreateOnFirstStart();

    app::ShutdownWatcher shutdownWatcher;
    app::form1 window(std::move(stateFiles));
    window.show();
    return QApplication::exec();
}
