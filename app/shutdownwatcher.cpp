// SPDX-License-Identifier: MIT
#include "app/shutdownwatcher.h"

#include <QApplication>
#include <QSessionManager>

#include "platform/gui/qtplatform.h"

namespace app {

ShutdownWatcher::ShutdownWatcher(QObject* parent) : QObject(parent) {
    watchStopSignals();
    // Closing the windows is what the session manager expects of a program that may save its
    // data; a session that is cancelled afterwards finds the program gone, its lists saved.
    connect(qApp, &QGuiApplication::commitDataRequest, this, &ShutdownWatcher::closeWindows);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &ShutdownWatcher::closeWindows);
}

void ShutdownWatcher::closeWindows() {
    // The windows close without questions: a run under way finishes first.
    qApp->setProperty(kShuttingDown, true);
    Q_EMIT shutdownRequested();
    // One request ends every message box, however many are open in nested event loops, and
    // none shows after it: a box shown for the rest of a command (the next path not found)
    // would wait for a user who is gone, and the session ends the program unsaved. The other
    // dialogs are modal windows, which closeAllWindows() closes first, then the main window,
    // whose closing saves the lists.
    platform::gui::EndMessageBoxes();
    QApplication::closeAllWindows();
}

}  // namespace app
