// SPDX-License-Identifier: MIT
// Paths that reach the window from outside: given on its command line, handed over by a second
// start of the real program (also while a run is under way), and dropped onto the source list.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QApplication>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/form1.h"
#include "app/handover.h"
#include "support/fakeword.h"
#include "support/recorders.h"
#include "support/tempfolder.h"

extern char** environ;

namespace {

// The source list's entries, each with its icon number.
std::vector<std::pair<std::string, int>> entries(app::form1& window) {
    core::MainControls controls = window.controls();
    std::vector<std::pair<std::string, int>> result;
    for (int position = 1; position <= controls.ListView1.count(); ++position) {
        result.emplace_back(controls.ListView1.text(position),
                            controls.ListView1.smallIcon(position));
    }
    return result;
}

std::vector<std::string> documents(app::form1& window) {
    core::MainControls controls = window.controls();
    std::vector<std::string> result;
    for (int position = 1; position <= controls.ListView2.count(); ++position) {
        result.push_back(controls.ListView2.text(position));
    }
    return result;
}

// Starts the real program (or a copy of it) with the arguments in the folder, as a second start
// would be, and gives its process number.
pid_t startProgram(const std::vector<std::string>& arguments, const std::string& folder,
                   const std::string& program = PAVENDEL_PROGRAM) {
    std::vector<std::string> all{program, "-platform", "offscreen"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Serves the window's events (as its event loop and the wait during a conversion do) until the
// program has ended; its exit status, or -1 when it did not end in time.
int serveUntilEnded(pid_t pid, QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 20000) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        QCoreApplication::processEvents(flags, 20);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

// A drop as a file manager makes it: enter, then drop, on the source list.
bool drop(app::form1& window, QMimeData& data) {
    QWidget* target = window.ListView1->viewport();
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent dropped(QPointF(at), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                       Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
    return dropped.isAccepted();
}

}  // namespace

class Form1PathsTest : public QObject {
    Q_OBJECT

 private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<testsupport::TempFolder>();
        m_dir->write("state/set.txt", "1\r\n1\r\n");
        m_dir->write("docs/a.doc");
        m_dir->write("docs/b.docx");
        m_dir->write("single/memo.doc");
        qputenv("PAVENDEL_HANDOVER_SOCKET", QByteArray::fromStdString(*m_dir / "handover.socket"));
        m_window = std::make_unique<app::form1>(state::StateFiles(*m_dir / "state"));
    }

    void cleanup() {
        m_window.reset();
        m_dir.reset();
        qunsetenv("PAVENDEL_HANDOVER_SOCKET");
    }

    // What main does with the paths of its command line.
    void pathsAreAddedAsAddWordAndAddFolderWouldAndTheLastIsListed() {
        testsupport::MessageRecorder messages;
        m_window->AddPaths({*m_dir / "single/memo.doc", *m_dir / "nowhere.doc", *m_dir / "docs"});
        QCOMPARE(entries(*m_window), (std::vector<std::pair<std::string, int>>{
                                         {*m_dir / "single/memo.doc", 1}, {*m_dir / "docs", 2}}));
        QCOMPARE(m_window->controls().ListView1.selectedPosition(), 2);
        QCOMPARE(documents(*m_window), (std::vector<std::string>{"a.doc", "b.docx"}));
        QCOMPARE(messages.messages.size(), std::size_t{1});
        QVERIFY(messages.messages[0].prompt.find(*m_dir / "nowhere.doc") != std::string::npos);
    }

    // The real program started with two paths, relative to its working folder: both are on the
    // source list, as the list it saves when it is asked to end shows.
    void theProgramStartedWithPathsListsThem() {
        // A program folder of its own, where the program keeps its state files.
        const std::string bin = m_dir->mkdir("bin");
        std::filesystem::copy_file(PAVENDEL_PROGRAM, bin + "/pavendel");
        m_dir->write("bin/set.txt", "1\r\n1\r\n");
        std::vector<std::string> arguments{bin + "/pavendel", "-platform", "offscreen",
                                           "single/memo.doc", "docs"};
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, m_dir->path().c_str());
        pid_t program = -1;
        QCOMPARE(::posix_spawn(&program, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        // The window listens for later starts once it has added its own paths.
        QTRY_VERIFY_WITH_TIMEOUT(std::filesystem::exists(*m_dir / "handover.socket"), 20000);
        ::kill(program, SIGTERM);
        int status = -1;
        ::waitpid(program, &status, 0);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        QCOMPARE(m_dir->read("bin/EXCEL.txt"),
                 *m_dir / "single/memo.doc" + "\r\n" + *m_dir / "docs" + "\r\n");
    }

    // Paths that are not found raise a box each before the program's event loop runs. One
    // SIGTERM closes the box that is open, none shows for the next missing path, the list as it
    // stands is saved and the program ends.
    void theProgramEndsOnOneStopSignalWhileItsPathsRaiseBoxes() {
        const std::string bin = m_dir->mkdir("bin");
        std::filesystem::copy_file(PAVENDEL_PROGRAM, bin + "/pavendel");
        const pid_t program = startProgram({"docs", "missing1.doc", "missing2.doc"}, m_dir->path(),
                                           bin + "/pavendel");
        QVERIFY(program > 0);
        // A first start writes its state files just before it watches for stop signals.
        QTRY_VERIFY_WITH_TIMEOUT(std::filesystem::exists(bin + "/set.txt"), 20000);
        QTest::qWait(500);
        QCOMPARE(::kill(program, SIGTERM), 0);
        QCOMPARE(serveUntilEnded(program), 0);
        QCOMPARE(m_dir->read("bin/EXCEL.txt"), *m_dir / "docs" + "\r\n");
    }

    void aSecondStartHandsItsPathsToTheRunningWindowAndEnds() {
        app::Handover handover(
            [this](const std::vector<std::string>& paths) { m_window->AddPaths(paths); });
        QVERIFY(handover.listen());
        // Relative paths, from the second start's own working folder.
        const pid_t second = startProgram({"memo.doc", "../docs"}, *m_dir / "single");
        QVERIFY(second > 0);
        QCOMPARE(serveUntilEnded(second), 0);
        QCOMPARE(entries(*m_window), (std::vector<std::pair<std::string, int>>{
                                         {*m_dir / "single/memo.doc", 1}, {*m_dir / "docs", 2}}));
        QCOMPARE(documents(*m_window), (std::vector<std::string>{"a.doc", "b.docx"}));
        // The second start made no state files of its own anywhere.
        QVERIFY(!std::filesystem::exists(*m_dir / "single/EXCEL.txt"));
    }

    void pathsHandedOverDuringARunWaitUntilItHasEnded() {
        app::Handover handover(
            [this](const std::vector<std::string>& paths) { m_window->AddPaths(paths); });
        QVERIFY(handover.listen());
        m_window->AddPaths({*m_dir / "docs"});
        testsupport::FakeWord word;
        testsupport::ShellRecorder shell;
        testsupport::MessageRecorder messages;
        QTest::keyClicks(m_window->Combo2->lineEdit(), QString::fromStdString(*m_dir / "out"));
        int secondStatus = -2;
        std::size_t entriesDuringRun = 0;
        word.whileOpening = [&] {
            if (secondStatus != -2) {
                return;
            }
            // The window waits for the office as it does during a conversion.
            const pid_t second = startProgram({*m_dir / "single/memo.doc"}, m_dir->path());
            secondStatus = serveUntilEnded(second, QEventLoop::ExcludeUserInputEvents);
            entriesDuringRun = entries(*m_window).size();
        };
        m_window->Command6->click();
        QCOMPARE(secondStatus, 0);
        QCOMPARE(entriesDuringRun, std::size_t{1});
        // Both documents of the run converted, then the handed-over path was added and listed.
        QVERIFY(std::filesystem::exists(*m_dir / "out/a.rtf"));
        QVERIFY(std::filesystem::exists(*m_dir / "out/b.rtf"));
        QCOMPARE(entries(*m_window).size(), std::size_t{2});
        QCOMPARE(documents(*m_window), (std::vector<std::string>{"memo.doc"}));
    }

    void filesAndFoldersDroppedOnTheSourceListAreAddedAndNothingElse() {
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(QString::fromStdString(*m_dir / "single/memo.doc")),
                       QUrl::fromLocalFile(QString::fromStdString(*m_dir / "docs"))});
        QVERIFY(drop(*m_window, files));
        QCOMPARE(entries(*m_window), (std::vector<std::pair<std::string, int>>{
                                         {*m_dir / "single/memo.doc", 1}, {*m_dir / "docs", 2}}));
        QCOMPARE(documents(*m_window), (std::vector<std::string>{"a.doc", "b.docx"}));

        QMimeData text;
        text.setText(QStringLiteral("/etc/passwd"));
        QVERIFY(!drop(*m_window, text));
        QMimeData remote;
        remote.setUrls({QUrl(QStringLiteral("https://example.org/report.doc"))});
        QVERIFY(!drop(*m_window, remote));
        QMimeData mixed;
        mixed.setUrls({QUrl::fromLocalFile(QString::fromStdString(*m_dir / "docs/a.doc")),
                       QUrl(QStringLiteral("https://example.org/report.doc"))});
        QVERIFY(!drop(*m_window, mixed));
        QCOMPARE(entries(*m_window).size(), std::size_t{2});
    }

    void nothingCanBeDroppedDuringARun() {
        m_window->AddPaths({*m_dir / "docs"});
        testsupport::FakeWord word;
        testsupport::ShellRecorder shell;
        testsupport::MessageRecorder messages;
        QTest::keyClicks(m_window->Combo2->lineEdit(), QString::fromStdString(*m_dir / "out"));
        bool accepted = true;
        word.whileOpening = [&] {
            QMimeData files;
            files.setUrls({QUrl::fromLocalFile(QString::fromStdString(*m_dir / "single"))});
            accepted = drop(*m_window, files);
        };
        m_window->Command6->click();
        QVERIFY(!accepted);
        QCOMPARE(entries(*m_window).size(), std::size_t{1});
    }

    void aSecondStartWithoutARunningWindowIsNoHandover() {
        QVERIFY(
            !app::Handover::sendToRunningWindow({*m_dir / "docs"}, std::chrono::milliseconds(500)));
    }

 private:
    std::unique_ptr<testsupport::TempFolder> m_dir;
    std::unique_ptr<app::form1> m_window;
};

QTEST_MAIN(Form1PathsTest)
#include "form1_paths_test.moc"
