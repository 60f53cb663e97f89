// SPDX-License-Identifier: MIT
#include "app/handover.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <cstdlib>
#include <memory>
#include <optional>

namespace app {

namespace {

// The message: this header, then every path followed by a NUL byte, then one more NUL byte.
// The window answers "ok" once it has them.
const QByteArray kHeader("pavendel-paths-1\n");
const QByteArray kAnswer("ok\n");

// A folder that is this user's own: a folder itself, not a link to one, that this user owns and
// nobody else may enter or list.
bool isOwnFolder(const QString& folder) {
    struct stat info {};
    return ::lstat(QFile::encodeName(folder).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

// True when the process at the other end of the connection runs as this user.
bool sameUser(const QLocalSocket& socket) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    return ::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED,
                        &credentials, &length) == 0 &&
           credentials.uid == ::geteuid();
}

// The paths of a complete message; nothing while it is incomplete.
std::optional<std::vector<std::string>> parse(const QByteArray& data) {
    if (!data.startsWith(kHeader) || !data.endsWith(QByteArray(2, '\0'))) {
        if (data.size() == kHeader.size() + 1 && data.startsWith(kHeader) && data.endsWith('\0')) {
            return std::vector<std::string>{};  // no paths at all
        }
        return std::nullopt;
    }
    std::vector<std::string> paths;
    const QByteArray body = data.mid(kHeader.size(), data.size() - kHeader.size() - 1);
    for (const QByteArray& part : body.split('\0')) {
        if (!part.isEmpty()) {
            paths.push_back(part.toStdString());
        }
    }
    return paths;
}

}  // namespace

QString Handover::socketPath() {
    QString path;
    if (const char* chosen = std::getenv("PAVENDEL_HANDOVER_SOCKET"); chosen && *chosen) {
        path = QString::fromLocal8Bit(chosen);
    } else {
        // One window per display takes the paths of that display's desktop.
        QString display = qEnvironmentVariable("WAYLAND_DISPLAY", qEnvironmentVariable("DISPLAY"));
        for (QChar& c : display) {
            if (!c.isLetterOrNumber()) {
                c = QLatin1Char('_');
            }
        }
        const QString name = QStringLiteral("/pavendel-") + display + QStringLiteral(".socket");
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (runtime.startsWith(QLatin1Char('/')) && isOwnFolder(runtime)) {
            path = runtime + name;
        } else {
            // No runtime folder (su, a session without one): a folder of the user's own in the
            // temporary folder, which anyone may write; one that someone else made first, or
            // made open to others, is not used.
            const QString folder =
                QDir::tempPath() + QStringLiteral("/pavendel-%1").arg(::geteuid());
            ::mkdir(QFile::encodeName(folder).constData(), S_IRWXU);
            path = folder + name;
        }
    }
    return isOwnFolder(QFileInfo(path).path()) ? path : QString();
}

bool Handover::sendToRunningWindow(const std::vector<std::string>& paths,
                                   std::chrono::milliseconds limit) {
    const QString socketName = socketPath();
    if (socketName.isEmpty()) {
        return false;
    }
    QLocalSocket socket;
    socket.connectToServer(socketName);
    const int wait = static_cast<int>(limit.count());
    // Paths given to a program of someone else's would be lost, and this start would end
    // without a window.
    if (!socket.waitForConnected(wait) || !sameUser(socket)) {
        return false;
    }
    QByteArray message = kHeader;
    for (const std::string& path : paths) {
        message.append(path.data(), static_cast<qsizetype>(path.size()));
        message.append('\0');
    }
    message.append('\0');
    socket.write(message);
    if (!socket.waitForBytesWritten(wait)) {
        return false;
    }
    QByteArray answer;
    while (answer.size() < kAnswer.size() && socket.waitForReadyRead(wait)) {
        answer += socket.readAll();
    }
    return answer.startsWith(kAnswer);
}

Handover::Handover(Receiver receiver, QObject* parent)
    : Handover(std::move(receiver), Limits{}, parent) {}

Handover::Handover(Receiver receiver, Limits limits, QObject* parent)
    : QObject(parent), m_receiver(std::move(receiver)), m_limits(limits) {}

Handover::~Handover() {
    // The socket goes with the server; the lock only after it, so that no other window takes
    // the socket's place while it is still there.
    delete m_server;
    m_server = nullptr;
    if (m_lock >= 0) {
        ::close(m_lock);
    }
}

bool Handover::listen() {
    if (m_server != nullptr) {
        return true;
    }
    const QString path = socketPath();
    if (path.isEmpty()) {
        return false;
    }
    // The window that holds the lock owns the socket for as long as it runs; the system lets go
    // of the lock however the window ends. Any other window, also one that starts at the same
    // moment, leaves the socket alone.
    const int lock = ::open(QFile::encodeName(path + QStringLiteral(".lock")).constData(),
                            O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR);
    if (lock < 0) {
        return false;
    }
    if (::flock(lock, LOCK_EX | LOCK_NB) != 0) {
        ::close(lock);
        return false;
    }
    // A socket left by a window that ended abruptly.
    QLocalServer::removeServer(path);
    // Without socket options: with them the socket is made elsewhere and renamed into place,
    // which would replace whatever is there. The folder is closed to others in any case.
    auto* server = new QLocalServer(this);
    if (!server->listen(path)) {
        delete server;
        ::close(lock);
        return false;
    }
    m_server = server;
    m_lock = lock;
    connect(m_server, &QLocalServer::newConnection, this, &Handover::takeConnection);
    return true;
}

void Handover::takeConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        if (!sameUser(*socket) || m_connections >= m_limits.connections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_connections;
        struct Incoming {
            QByteArray data;
            bool complete = false;
        };
        auto incoming = std::make_shared<Incoming>();
        connect(socket, &QObject::destroyed, this, [this, incoming] {
            m_pendingBytes -= incoming->data.size();
            --m_connections;
        });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QPointer<QLocalSocket> guarded(socket);
        const auto drop = [guarded] {
            if (guarded) {
                guarded->abort();
                guarded->deleteLater();
            }
        };
        const auto read = [this, guarded, incoming, drop] {
            if (!guarded || incoming->complete) {
                return;
            }
            const QByteArray more = guarded->readAll();
            if (m_pendingBytes + more.size() > m_limits.pendingBytes) {
                drop();
                return;
            }
            incoming->data += more;
            m_pendingBytes += more.size();
            const std::optional<std::vector<std::string>> paths = parse(incoming->data);
            if (!paths) {
                return;
            }
            incoming->complete = true;
            m_pendingBytes -= incoming->data.size();
            incoming->data.clear();
            guarded->write(kAnswer);
            guarded->flush();
            guarded->disconnectFromServer();
            m_receiver(*paths);
        };
        auto* deadline = new QTimer(socket);
        deadline->setSingleShot(true);
        connect(deadline, &QTimer::timeout, this, [read, drop, incoming] {
            // What arrived meanwhile still counts.
            read();
            if (!incoming->complete) {
                drop();
            }
        });
        deadline->start(m_limits.timeout);
        connect(socket, &QLocalSocket::readyRead, this, read);
        read();
    }
}

}  // namespace app
