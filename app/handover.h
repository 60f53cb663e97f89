// SPDX-License-Identifier: MIT
// Paths given to a second start of the program ("Open with Pavendel" on more files, pavendel
// PATH... in a terminal) go to the window of this user that is already running, over a local
// socket, and that window is raised; the new process then ends.
//
// The socket lives only in a folder that is this user's own: the runtime folder, or else a folder
// of the user's in the temporary folder, each a real folder (no link) that the user owns and
// nobody else may enter. Where there is none, there is no hand-over and every start opens a window
// of its own. The sender gives its paths only to a listener that runs as the same user; the first
// window owns the socket for its lifetime (a lock beside it says which window does), and a window
// takes only so many connections and unfinished bytes at a time, each for a limited time.
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

    // What a window takes from other starts at once; a connection beyond them is dropped.
    struct Limits {
        int connections = 16;
        // The bytes of all messages not yet complete, together; a message is one path per file
        // given, so this is room for tens of thousands of files.
        qint64 pendingBytes = 8 << 20;
        // A start hands its paths over at once; a connection without a whole message by then is
        // dropped, however slowly it keeps sending.
        std::chrono::milliseconds timeout{10000};
    };

    // The socket of this user's windows on this display: $PAVENDEL_HANDOVER_SOCKET when set
    // (tests), else pavendel-<display>.socket in $XDG_RUNTIME_DIR, else <display>.socket in
    // pavendel-<uid> in the temporary folder (made when missing). Empty when the folder is not
    // this user's own.
    static QString socketPath();

    // Hands the paths to a running window of this user; true once it has taken them, false when
    // no such window answers within the time (then the caller opens a window of its own).
    static bool sendToRunningWindow(const std::vector<std::string>& paths,
                                    std::chrono::milliseconds limit);

    explicit Handover(Receiver receiver, QObject* parent = nullptr);
    Handover(Receiver receiver, Limits limits, QObject* parent = nullptr);
    ~Handover() override;

    // Starts taking paths; false when another window of this user already does (or there is no
    // folder of the user's own for the socket), which is no error: this window then takes none.
    bool listen();

 private:
    void takeConnection();

    Receiver m_receiver;
    Limits m_limits;
    QLocalServer* m_server = nullptr;
    // The lock that makes this window the socket's owner.
    int m_lock = -1;
    int m_connections = 0;
    qint64 m_pendingBytes = 0;
};

}  // namespace app
