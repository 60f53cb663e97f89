// SPDX-License-Identifier: MIT
// The hand-over of paths between two starts of the program, against what another user or a
// misbehaving process of the same user may have put in its way: where the socket may live, who
// may listen on it, which window keeps it, and how much a window takes from its connections.
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QLocalSocket>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "app/handover.h"
#include "support/tempfolder.h"

namespace {

using namespace std::chrono_literals;

constexpr uid_t kOtherUser = 65534;  // nobody

const QByteArray kHeader("pavendel-paths-1\n");

// The environment a test sets, put back when it ends.
class Environment {
 public:
    Environment() {
        for (const char* name : {"PAVENDEL_HANDOVER_SOCKET", "XDG_RUNTIME_DIR", "TMPDIR", "DISPLAY",
                                 "WAYLAND_DISPLAY"}) {
            m_saved.emplace_back(name, qgetenv(name), qEnvironmentVariableIsSet(name));
            qunsetenv(name);
        }
        qputenv("DISPLAY", ":7");
    }
    ~Environment() {
        for (const auto& [name, value, set] : m_saved) {
            if (set) {
                qputenv(name, value);
            } else {
                qunsetenv(name);
            }
        }
    }
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

 private:
    std::vector<std::tuple<const char*, QByteArray, bool>> m_saved;
};

// A window's side: takes paths and keeps them.
struct Window {
    std::vector<std::string> received;
    app::Handover handover;
    explicit Window(app::Handover::Limits limits = {})
        : handover([this](const std::vector<std::string>& paths) { received = paths; }, limits) {}
};

// A Unix socket bound at the path; -1 when it cannot be made.
int boundSocket(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A second start handing its paths over, from a thread of its own, while this one serves the
// window as its event loop would.
bool handOver(const std::vector<std::string>& paths) {
    std::future<bool> handed = std::async(
        std::launch::async, [paths] { return app::Handover::sendToRunningWindow(paths, 5000ms); });
    while (handed.wait_for(0ms) != std::future_status::ready) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return handed.get();
}

// A child process of the test, killed and reaped when the test ends early.
struct Child {
    pid_t pid = -1;
    ~Child() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
};

}  // namespace

class HandoverTest : public QObject {
    Q_OBJECT

 private Q_SLOTS:
    void init() {
        m_environment = std::make_unique<Environment>();
        m_dir = std::make_unique<testsupport::TempFolder>();
        qputenv("TMPDIR", QByteArray::fromStdString(m_dir->mkdir("tmp")));
        m_runtime = m_dir->mkdir("runtime");
        ::chmod(m_runtime.c_str(), 0700);
        m_userTemp = (*m_dir / "tmp/pavendel-") + std::to_string(::geteuid());
    }

    void cleanup() {
        m_dir.reset();
        m_environment.reset();
    }

    // Another user who can write the temporary folder must not get the paths, nor keep a window
    // from taking them: the socket is made only where nobody else can reach it.
    void theSocketLivesOnlyInAFolderOfTheUsersOwn_data() {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("expectedFolder");  // "runtime", "temporary" or none
        QTest::newRow("runtime folder") << "runtime"
                                        << "runtime";
        QTest::newRow("no runtime folder") << "none"
                                           << "temporary";
        QTest::newRow("runtime folder open to others") << "runtime open"
                                                       << "temporary";
        QTest::newRow("temporary folder made by another user") << "other's temporary"
                                                               << "";
        QTest::newRow("temporary folder open to others") << "open temporary"
                                                         << "";
        QTest::newRow("temporary folder is a link") << "linked temporary"
                                                    << "";
    }

    void theSocketLivesOnlyInAFolderOfTheUsersOwn() {
        QFETCH(QString, situation);
        QFETCH(QString, expectedFolder);
        if (situation == QLatin1String("runtime") || situation == QLatin1String("runtime open")) {
            qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(m_runtime));
        }
        if (situation == QLatin1String("runtime open")) {
            ::chmod(m_runtime.c_str(), 0755);
        } else if (situation == QLatin1String("other's temporary")) {
            if (::geteuid() != 0) {
                QSKIP("only root can make a folder that belongs to another user");
            }
            QCOMPARE(::mkdir(m_userTemp.c_str(), 0700), 0);
            QCOMPARE(::chown(m_userTemp.c_str(), kOtherUser, kOtherUser), 0);
        } else if (situation == QLatin1String("open temporary")) {
            QCOMPARE(::mkdir(m_userTemp.c_str(), 0700), 0);
            QCOMPARE(::chmod(m_userTemp.c_str(), 0777), 0);
        } else if (situation == QLatin1String("linked temporary")) {
            const std::string elsewhere = m_dir->mkdir("elsewhere");
            ::chmod(elsewhere.c_str(), 0700);
            QCOMPARE(::symlink(elsewhere.c_str(), m_userTemp.c_str()), 0);
        }

        const QString path = app::Handover::socketPath();
        Window window;
        if (expectedFolder.isEmpty()) {
            QVERIFY2(path.isEmpty(), qPrintable(path));
            QVERIFY(!window.handover.listen());
            QVERIFY(!app::Handover::sendToRunningWindow({"/a.doc"}, 500ms));
            // Nothing was made in a folder that is not the user's.
            QVERIFY(!std::filesystem::exists(m_userTemp + "/pavendel-_7.socket"));
            return;
        }
        const std::string folder =
            expectedFolder == QLatin1String("runtime") ? m_runtime : m_userTemp;
        QCOMPARE(path, QString::fromStdString(folder + "/pavendel-_7.socket"));
        struct stat info {};
        QCOMPARE(::lstat(folder.c_str(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0700u);
        QVERIFY(window.handover.listen());
        QVERIFY(handOver({"/a.doc", "/b folder"}));
        QCOMPARE(window.received, (std::vector<std::string>{"/a.doc", "/b folder"}));
    }

    // Whatever listens as another user (root can put such a listener in the user's folder) gets
    // no paths, and the start opens a window of its own instead of ending.
    void aStartHandsItsPathsOnlyToAListenerOfTheSameUser() {
        if (::geteuid() != 0) {
            QSKIP("only root can listen as another user in the user's own folder");
        }
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(m_runtime));
        const std::string path = app::Handover::socketPath().toStdString();
        int received[2];
        QCOMPARE(::pipe(received), 0);
        Child listener{::fork()};
        if (listener.pid == 0) {
            // A listener that answers as a window would, and tells how many bytes it was given.
            const int fd = boundSocket(path);
            if (fd < 0 || ::setresgid(kOtherUser, kOtherUser, kOtherUser) != 0 ||
                ::setresuid(kOtherUser, kOtherUser, kOtherUser) != 0 || ::listen(fd, 1) != 0) {
                ::_exit(1);
            }
            long total = 0;
            const bool ready = ::write(received[1], &total, sizeof total) == sizeof total;
            const int connection = ::accept(fd, nullptr, nullptr);
            // The start may have gone already.
            ::send(connection, "ok\n", 3, MSG_NOSIGNAL);
            char buffer[4096];
            for (ssize_t n; (n = ::read(connection, buffer, sizeof buffer)) > 0;) {
                total += n;
            }
            ::_exit(ready && ::write(received[1], &total, sizeof total) > 0 ? 0 : 1);
        }
        ::close(received[1]);
        long total = -1;
        QCOMPARE(::read(received[0], &total, sizeof total), static_cast<ssize_t>(sizeof total));

        QVERIFY(!handOver({"/secret/minutes.doc"}));
        QCOMPARE(::read(received[0], &total, sizeof total), static_cast<ssize_t>(sizeof total));
        ::close(received[0]);
        QCOMPARE(total, 0L);
    }

    // The first window keeps taking the paths while it runs: a second window neither takes the
    // socket over nor removes it when it closes.
    void theFirstWindowKeepsTheSocket() {
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(m_runtime));
        const std::string path = app::Handover::socketPath().toStdString();
        Window first;
        QVERIFY(first.handover.listen());
        {
            Window second;
            QVERIFY(!second.handover.listen());
        }
        QVERIFY(std::filesystem::exists(path));
        QVERIFY(handOver({"/to the first.doc"}));
        QCOMPARE(first.received, std::vector<std::string>{"/to the first.doc"});
    }

    void aSocketLeftByAKilledWindowIsReplaced() {
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(m_runtime));
        const std::string path = app::Handover::socketPath().toStdString();
        // Bound, never listened on, never removed; its lock went with the window.
        const int left = boundSocket(path);
        QVERIFY(left >= 0);
        ::close(left);
        Window afterCrash;
        QVERIFY(afterCrash.handover.listen());
        QVERIFY(handOver({"/after.doc"}));
        QCOMPARE(afterCrash.received, std::vector<std::string>{"/after.doc"});
    }

    // Connections that bring no message, or hold unfinished ones, take only so much of the
    // window: beyond the limits they are dropped, and after the time every one that has not
    // finished. A start that hands over its paths afterwards is served as usual.
    void idleAndUnfinishedConnectionsAreCapped() {
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(m_runtime));
        const QString path = app::Handover::socketPath();
        app::Handover::Limits limits;
        limits.connections = 3;
        limits.pendingBytes = 1000;
        limits.timeout = 500ms;
        Window window(limits);
        QVERIFY(window.handover.listen());

        std::vector<std::unique_ptr<QLocalSocket>> idle;
        for (int i = 0; i < 5; ++i) {
            idle.push_back(std::make_unique<QLocalSocket>());
            idle.back()->connectToServer(path);
            QVERIFY(idle.back()->waitForConnected(5000));
        }
        const auto stillConnected = [&idle] {
            return std::count_if(idle.begin(), idle.end(), [](const auto& socket) {
                return socket->state() == QLocalSocket::ConnectedState;
            });
        };
        QTRY_COMPARE(stillConnected(), 3);
        QTRY_COMPARE_WITH_TIMEOUT(stillConnected(), 0, 5000);

        // Two unfinished messages of 600 bytes each: the second goes beyond the 1000 bytes.
        QLocalSocket first;
        QLocalSocket second;
        for (QLocalSocket* socket : {&first, &second}) {
            socket->connectToServer(path);
            QVERIFY(socket->waitForConnected(5000));
            socket->write(kHeader + QByteArray(600 - kHeader.size(), 'x'));
            QVERIFY(socket->waitForBytesWritten(5000));
        }
        // Whichever the window read second is dropped; the other is served to its end.
        const auto dropped = [](const QLocalSocket& socket) {
            return socket.state() == QLocalSocket::UnconnectedState;
        };
        QTRY_VERIFY(dropped(first) || dropped(second));
        QLocalSocket& kept = dropped(first) ? second : first;
        QVERIFY(!dropped(kept));
        kept.write(QByteArray("\0\0", 2));
        QTRY_VERIFY(kept.bytesAvailable() > 0);
        QCOMPARE(kept.readAll(), QByteArray("ok\n"));
        QCOMPARE(window.received, std::vector<std::string>{std::string(600 - kHeader.size(), 'x')});

        QVERIFY(handOver({"/after the flood.doc"}));
        QCOMPARE(window.received, std::vector<std::string>{"/after the flood.doc"});
    }

 private:
    std::unique_ptr<Environment> m_environment;
    std::unique_ptr<testsupport::TempFolder> m_dir;
    std::string m_runtime;
    std::string m_userTemp;
};

QTEST_GUILESS_MAIN(HandoverTest)
#include "handover_test.moc"
