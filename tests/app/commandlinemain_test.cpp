// SPDX-License-Identifier: MIT
// The real program's command line, with a stand-in office engine beside it in a program folder of
// its own: the signals that stop a run, names with control characters, and standard output that
// cannot be written.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTest>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/tempfolder.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

// The program started with its standard output on `output` (a path) and its standard error in
// a file; ended when it is dropped.
class Program {
 public:
    Program(const std::string& program, const std::vector<std::string>& arguments,
            const std::string& output, const std::string& errors) {
        std::vector<std::string> all{program};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : all) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        // One document at a time, so that a signal finds the run between two of them.
        std::vector<std::string> environment{"PAVENDEL_CONVERSIONS=1"};
        for (char** variable = environ; *variable != nullptr; ++variable) {
            environment.emplace_back(*variable);
        }
        std::vector<char*> envp;
        for (std::string& variable : environment) {
            envp.push_back(variable.data());
        }
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Program() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool started() const { return m_pid > 0; }
    void signal(int number) const { ::kill(m_pid, number); }
    // The exit status, or 128 and the signal that ended it.
    int status() {
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

 private:
    pid_t m_pid = -1;
};

std::size_t linesIn(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

class CommandLineMainTest : public QObject {
    Q_OBJECT

 private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<testsupport::TempFolder>();
        const std::string bin = m_dir->mkdir("bin");
        fs::copy_file(PAVENDEL_PROGRAM, bin + "/pavendel");
        fs::copy_file(FAKE_OFFICE_PATH, bin + "/pavendel-office");
        m_program = bin + "/pavendel";
        m_dir->mkdir("out");
    }

    void cleanup() { m_dir.reset(); }

    // A session that ends sends SIGHUP or SIGTERM; either stops the run between documents, so
    // that what was converted is reported and nothing is half done.
    void aStopSignalEndsTheRunAfterTheCurrentDocument_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGHUP") << SIGHUP;
        QTest::newRow("SIGTERM") << SIGTERM;
    }

    void aStopSignalEndsTheRunAfterTheCurrentDocument() {
        QFETCH(int, signal);
        // The stand-in engine takes two seconds for each of these.
        for (const char* name : {"slow-1.doc", "slow-2.doc", "slow-3.doc"}) {
            m_dir->write(std::string("docs/") + name);
        }
        Program program(m_program,
                        {"--convert-to", "rtf", "--outdir", *m_dir / "out", *m_dir / "docs"},
                        *m_dir / "report", *m_dir / "errors");
        QVERIFY(program.started());
        // Signalled once the first line is out, while the second document converts.
        QTRY_VERIFY_WITH_TIMEOUT(linesIn(m_dir->read("report")) == 1, 20000);
        program.signal(signal);
        QCOMPARE(program.status(), 128 + signal);
        QVERIFY2(m_dir->read("errors").find("stopped after") != std::string::npos,
                 m_dir->read("errors").c_str());
        QVERIFY(linesIn(m_dir->read("report")) <= 2);
        QVERIFY(!fs::exists(*m_dir / "out/slow-3.rtf"));
    }

    // Names reach the report with their control characters escaped: a terminal shown it takes
    // none of them as a command, and a line break in a name does not start a line of its own.
    void controlCharactersInNamesAreEscapedInTheReport() {
        m_dir->write("docs/\x1b]0;owned\x07.doc");
        m_dir->write("docs/two\nlines.doc");
        Program run(m_program, {"--convert-to", "rtf", "--outdir", *m_dir / "out", *m_dir / "docs"},
                    *m_dir / "report", *m_dir / "errors");
        QVERIFY(run.started());
        QCOMPARE(run.status(), 0);
        const std::string report = m_dir->read("report");
        QVERIFY2(report.find("docs/\\x1b]0;owned\\x07.doc\tconverted\t") != std::string::npos,
                 report.c_str());
        QVERIFY2(report.find("docs/two\\nlines.doc\tconverted\t") != std::string::npos,
                 report.c_str());
        QCOMPARE(report.find_first_of("\x1b\x07"), std::string::npos);
        QCOMPARE(linesIn(report), std::size_t{2});
        // The documents themselves keep their names.
        QVERIFY(fs::exists(*m_dir / "out/\x1b]0;owned\x07.rtf"));
        QVERIFY(fs::exists(*m_dir / "out/two\nlines.rtf"));
    }

    // Whoever reads the report would take a line that is missing for a document never given.
    void aReportThatCannotBeWrittenFailsTheCommand() {
        if (!fs::exists("/dev/full")) {
            QSKIP("this system has no /dev/full");
        }
        m_dir->write("docs/a.doc");
        m_dir->write("docs/b.doc");
        Program run(m_program, {"--convert-to", "rtf", "--outdir", *m_dir / "out", *m_dir / "docs"},
                    "/dev/full", *m_dir / "errors");
        QVERIFY(run.started());
        QCOMPARE(run.status(), 1);
        QVERIFY2(m_dir->read("errors").find("cannot write to standard output") != std::string::npos,
                 m_dir->read("errors").c_str());
        // The run stopped at the first line it could not write.
        QVERIFY(fs::exists(*m_dir / "out/a.rtf"));
        QVERIFY(!fs::exists(*m_dir / "out/b.rtf"));

        Program help(m_program, {"--help"}, "/dev/full", *m_dir / "errors");
        QVERIFY(help.started());
        QCOMPARE(help.status(), 1);
    }

 private:
    std::unique_ptr<testsupport::TempFolder> m_dir;
    std::string m_program;
};

QTEST_GUILESS_MAIN(CommandLineMainTest)
#include "commandlinemain_test.moc"
