// SPDX-License-Identifier: MIT
#include "app/handover.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <cstdlib>
#include <memory>
#include <optional>

#include "platform/gui/qtplatform.h"

namespace app {

namespace {

// The message: this header, then every path followed by a NUL byte, then one more NUL byte.
// The window answers "ok" once it has them.
const QByteArray kHeader("pavendel-paths-1\n");
const QByteArray kAnswer("ok\n");
// Anything longer is not a message of ours: the connection is dropped.
constexpr qint64 kLargestMessage = 16 << 20;

// True when the peer runs as this user: the socket folder is private, but the temporary folder
// of a machine without a runtime folder is not.
bool sameUser(QLocalSocket& socket) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    return ::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED,
                        &credentials, &length) == 0 &&
           credentials.uid == ::getuid();
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
    if (const char* chosen = std::getenv("PAVENDEL_HANDOVER_SOCKET"); chosen && *chosen) {
        return QString::fromLocal8Bit(chosen);
    }
    // One window per display takes the paths of that display's desktop.
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY", qEnvironmentVariable("DISPLAY"));
    for (QChar& c : display) {
        if (!c.isLetterOrNumber()) {
            c = QLatin1Char('_');
        }
    }
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && runtime.startsWith(QLatin1Char('/'))) {
        return runtime + QStringLiteral("/pavendel-") + display + QStringLiteral(".socket");
    }
    return QDir::tempPath() + QStringLiteral("/pavendel-%1-%2.socket").arg(::getuid()).arg(display);
}

bool Handover::sendToRunningWindow(const std::vector<std::string>& paths,
                                   std::chrono::milliseconds limit) {
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    const int wait = static_cast<int>(limit.count());
    if (!socket.waitForConnected(wait)) {
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
    : QObject(parent), m_receiver(std::move(receiver)) {}

Handover::~Handover() = default;

bool Handover::listen() {
    const QString path = socketPath();
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(path)) {
        // A window that answers takes the paths; a socket nobody listens on was left by a
        // window that ended abruptly and is replaced.
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(500)) {
            delete m_server;
            m_server = nullptr;
            return false;
        }
        QLocalServer::removeServer(path);
        if (!m_server->listen(path)) {
            delete m_server;
            m_server = nullptr;
            return false;
        }
    }
    connect(m_server, &QLocalServer::newConnection, this, &Handover::takeConnection);
    return true;
}

void Handover::takeConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!sameUser(*socket)) {
            socket->abort();
            continue;
        }
        auto data = std::make_shared<QByteArray>();
        QPointer<QLocalSocket> guarded(socket);
        const auto read = [this, guarded, data] {
            if (!guarded) {
                return;
            }
            *data += guarded->readAll();
            if (data->size() > kLargestMessage) {
                guarded->abort();
                return;
            }
            const std::optional<std::vector<std::string>> paths = parse(*data);
            if (!paths) {
                return;
            }
            data->clear();
            guarded->write(kAnswer);
            guarded->flush();
            guarded->disconnectFromServer();
            m_receiver(*paths);
        };
        connect(socket, &QLocalSocket::readyRead, this, read);
        read();
    }
}

}  // namespace app
