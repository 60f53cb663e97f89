// SPDX-License-Identifier: MIT
#include <QApplication>
#include <utility>

#include "app/form1.h"
#include "app/shutdownwatcher.h"
#include "platform/gui/qtcommondialogs.h"
#include "platform/gui/qtplatform.h"
#include "platform/paths.h"
#include "state/statefiles.h"

int main(int argc, char* argv[]) {
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
