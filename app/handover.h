// SPDX-License-Identifier: MIT
// Paths given to a second start of the program ("Open with Pavendel" on more files, pavendel
// PATH... in a terminal) go to the window of this user that is already running, over a local
// socket in the user's runtime folder, and that window is raised; the new process then ends.
#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

class QLocalServer;

namespace app {

class Handover : public QObject {
    Q_OBJECT

 public:
    using Receiver = std::function<void(const std::vector<std::string>& paths)>;

    // The socket of this user's windows on this display: $PAVENDEL_HANDOVER_SOCKET when set
    // (tests), else pavendel-<display>.socket in $XDG_RUNTIME_DIR (or pavendel-<uid>-... in the
    // temporary folder when there is none).
    static QString socketPath();

    // Hands the paths to a running window; true once it has taken them, false when no window
    // answers within the time (then the caller opens a window of its own).
    static bool sendToRunningWindow(const std::vector<std::string>& paths,
                                    std::chrono::milliseconds limit);

    explicit Handover(Receiver receiver, QObject* parent = nullptr);
    ~Handover() override;

    // Starts taking paths; false when another window of this user already does (or the socket
    // cannot be made), which is no error: this window then simply takes none.
    bool listen();

 private:
    void takeConnection();

    Receiver m_receiver;
    QLocalServer* m_server = nullptr;
};

}  // namespace app
