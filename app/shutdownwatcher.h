// SPDX-License-Identifier: MIT
// Closes the program's windows the normal way when the process is asked to stop, so that the
// main window runs its shutdown sequence and saves the lists: on SIGTERM, SIGINT and SIGHUP, at
// the end of the desktop session, and when the application is about to quit with windows still
// open. Every message box closes and none shows afterwards. One watcher at a time; it needs a
// QApplication.
#pragma once

#include <QObject>

namespace app {

// The application property set (true) while the windows close for a shutdown, so that a window
// can tell that close from the user's.
inline constexpr const char* kShuttingDown = "pavendelShuttingDown";

class ShutdownWatcher final : public QObject {
    Q_OBJECT

 public:
    explicit ShutdownWatcher(QObject* parent = nullptr);

 Q_SIGNALS:
    // Emitted before the windows are closed.
    void shutdownRequested();

 private:
    void closeWindows();

    // How the operating system asks a process to stop: shutdownwatcher_<system>.cpp. Installs
    // what calls closeWindows() on such a request, as a child of the watcher.
    void watchStopSignals();
};

}  // namespace app
