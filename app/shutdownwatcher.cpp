// SPDX-License-Identifier: MIT
#include "app/shutdownwatcher.h"

#include <QApplication>
#include <QSessionManager>

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
    QApplication::closeAllWindows();
}

}  // namespace app
