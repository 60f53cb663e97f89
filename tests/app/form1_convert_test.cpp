// SPDX-License-Identifier: MIT
// The Convert button and menu entry of form1, with an in-process office stand-in.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/form1.h"
#include "app/shutdownwatcher.h"
#include "office/client/officeclient.h"
#include "platform/testing/scripteddialogs.h"
#include "support/fakeword.h"
#include "support/recorders.h"
#include "support/tempfolder.h"

class Form1ConvertTest : public QObject {
    Q_OBJECT

 private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<testsupport::TempFolder>();
        m_dir->write("state/set.txt", "1\r\n1\r\n");
        m_dir->write("docs/a.doc");
        m_dir->write("docs/b.docx");
        m_dir->write("docs/c.doc");
        m_window = std::make_unique<app::form1>(state::StateFiles(*m_dir / "state"));
        platform::ScriptedDialogs dialogs;
        dialogs.confirmFolder(*m_dir / "docs");
        m_window->Command5->click();
    }

    void cleanup() {
        m_window.reset();
        m_dir.reset();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void buttonAndMenuEntryGiveTheSameRun_data() {
        QTest::addColumn<bool>("fromMenu");
        QTest::newRow("button") << false;
        QTest::newRow("menu") << true;
    }

    void buttonAndMenuEntryGiveTheSameRun() {
        QFETCH(bool, fromMenu);
        testsupport::FakeWord word;
        testsupport::ShellRecorder shell;
        testsupport::MessageRecorder messages;
        const std::string out = *m_dir / "out";
        QTest::keyClicks(m_window->Combo2->lineEdit(), QString::fromStdString(out));
        core::MainControls controls = m_window->controls();
        for (int position = 1; position <= controls.ListView2.count(); ++position) {
            if (controls.ListView2.text(position) == "b.docx") {
                controls.ListView2.setChecked(position, false);
            }
        }
        if (fromMenu) {
            m_window->Separate->trigger();
        } else {
            m_window->Command6->click();
        }
        QCOMPARE(word.instances, 2);
        QVERIFY(std::filesystem::exists(*m_dir / "out/a.rtf"));
        QVERIFY(std::filesystem::exists(*m_dir / "out/c.rtf"));
        QVERIFY(!std::filesystem::exists(*m_dir / "out/b.rtf"));
        QVERIFY(messages.messages.empty());
        QCOMPARE(shell.calls.size(), std::size_t{1});
        QCOMPARE(shell.calls[0].file, out + "/");
        QCOMPARE(shell.calls[0].owner, m_window->hWnd());
        QCOMPARE(controls.ProgressBar1.value(), 0);
        QCOMPARE(controls.ProgressBar1.maximum(), 3);
        QCOMPARE(controls.form1.mousePointer(), 0);
    }

    void emptyDocumentListAsksForDocuments() {
        testsupport::FakeWord word;
        testsupport::MessageRecorder messages;
        m_window->RemoveAll->trigger();
        m_window->Command6->click();
        QCOMPARE(messages.messages.size(), std::size_t{1});
        QCOMPARE(messages.messages[0],
                 (testsupport::Message{"Please select word at fast!", 64, "Pavendel"}));
        QCOMPARE(word.instances, 0);
    }

    // Esc during a run asks at the next document whether to stop; Yes ends the run there as if
    // it had reached its end, No carries on.
    void escDuringARunAsksWhetherToStop_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("converted");
        QTest::newRow("yes") << platform::vbYes << 1;
        QTest::newRow("no") << platform::vbNo << 3;
    }

    void escDuringARunAsksWhetherToStop() {
        QFETCH(int, answer);
        QFETCH(int, converted);
        testsupport::FakeWord word;
        testsupport::ShellRecorder shell;
        testsupport::MessageRecorder messages;
        messages.answers = {answer};
        QTest::keyClicks(m_window->Combo2->lineEdit(), QString::fromStdString(*m_dir / "out"));
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        const std::size_t sources =
            static_cast<std::size_t>(m_window->controls().ListView1.count());
        bool first = true;
        word.whileOpening = [&] {
            if (std::exchange(first, false)) {
                // Other input waits for the run's end and is dropped: this click on Remove File
                // removes nothing.
                QTest::mouseClick(m_window->Command2, Qt::LeftButton);
                QTest::keyClick(m_window.get(), Qt::Key_Escape);
            }
        };
        m_window->Command6->click();
        QCOMPARE(word.instances, converted);
        QCOMPARE(messages.messages.size(), std::size_t{1});
        QCOMPARE(messages.messages[0],
                 (testsupport::Message{"Stop converting after the current document?",
                                       platform::vbYesNo | platform::vbQuestion, "Pavendel"}));
        QVERIFY(std::filesystem::exists(*m_dir / "out/a.rtf"));
        QCOMPARE(std::filesystem::exists(*m_dir / "out/c.rtf"), converted == 3);
        // Either way the run ends as runs do: the output folder opens, the bar is back at 0.
        QCOMPARE(shell.calls.size(), std::size_t{1});
        QCOMPARE(m_window->controls().ProgressBar1.value(), 0);
        QCOMPARE(static_cast<std::size_t>(m_window->controls().ListView1.count()), sources);
        QVERIFY(m_window->isVisible());
    }

    // Closing the window during a run asks the same, and the window closes either way (its
    // closing is never cancelled): Yes stops the run there, No converts to the end first.
    void closingDuringARunAsksWhetherToStop_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("converted");
        QTest::newRow("yes") << platform::vbYes << 1;
        QTest::newRow("no") << platform::vbNo << 3;
    }

    void closingDuringARunAsksWhetherToStop() {
        QFETCH(int, answer);
        QFETCH(int, converted);
        testsupport::FakeWord word;
        testsupport::ShellRecorder shell;
        testsupport::MessageRecorder messages;
        messages.answers = {answer};
        QTest::keyClicks(m_window->Combo2->lineEdit(), QString::fromStdString(*m_dir / "out"));
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        bool first = true;
        bool visibleWhileConverting = false;
        word.whileOpening = [&] {
            if (std::exchange(first, false)) {
                m_window->close();
                visibleWhileConverting = m_window->isVisible();
            }
        };
        m_window->Command6->click();
        QVERIFY(visibleWhileConverting);
        QCOMPARE(word.instances, converted);
        QCOMPARE(messages.messages.size(), std::size_t{1});
        QVERIFY(!m_window->isVisible());
        // Closed the normal way: the lists were saved.
        QVERIFY(m_dir->read("state/EXCEL.txt") == *m_dir / "docs" + "\r\n");
    }

    // Documents after the current one convert ahead in servers of their own; a run stopped by
    // closing the window places none of them, and leaves no server and no file of theirs.
    void closingDuringARunThatConvertsAheadDropsWhatWasConvertedAhead() {
        testsupport::TempFolder cache;
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cache.path()));
        office::client::OfficeOptions options;
        options.serverPath = FAKE_OFFICE_PATH;
        options.conversions = 2;
        auto office = office::client::officeAutomation(options);
        const auto previous =
            automation::RegisterProvider("Word.Application", office.provider, office.planner);
        testsupport::ShellRecorder shell;
        testsupport::MessageRecorder messages;
        messages.answers = {platform::vbYes};
        m_window.reset();
        m_dir->write("slow/slow-a.doc");
        m_dir->write("slow/then-b.doc");
        m_dir->write("slow/then-c.doc");
        m_window = std::make_unique<app::form1>(state::StateFiles(*m_dir / "state"));
        platform::ScriptedDialogs dialogs;
        dialogs.confirmFolder(*m_dir / "slow");
        m_window->Command5->click();
        QCOMPARE(m_window->controls().ListView2.count(), 3);
        QTest::keyClicks(m_window->Combo2->lineEdit(), QString::fromStdString(*m_dir / "out"));
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        // While the first document converts (it takes two seconds), the others are done ahead.
        bool visibleWhileConverting = false;
        QTimer::singleShot(500, m_window.get(), [&] {
            m_window->close();
            visibleWhileConverting = m_window->isVisible();
        });
        m_window->Command6->click();
        automation::RegisterProvider("Word.Application", previous);

        QVERIFY(visibleWhileConverting);
        QCOMPARE(messages.messages.size(), std::size_t{1});
        QVERIFY(!m_window->isVisible());
        QVERIFY(std::filesystem::exists(*m_dir / "out/slow-a.rtf"));
        QVERIFY(!std::filesystem::exists(*m_dir / "out/then-b.rtf"));
        QVERIFY(!std::filesystem::exists(*m_dir / "out/then-c.rtf"));
        // The private folder of the run has gone with it.
        for (const auto& entry : std::filesystem::recursive_directory_iterator(cache.path())) {
            QVERIFY2(entry.path().filename().string().rfind("ahead-", 0) != 0,
                     entry.path().c_str());
        }
        qunsetenv("XDG_CACHE_HOME");
    }

    // The end of the session during a run asks nothing: the run finishes, then the window
    // closes and saves the lists.
    void aShutdownDuringARunLetsItFinishFirst() {
        testsupport::FakeWord word;
        testsupport::ShellRecorder shell;
        testsupport::MessageRecorder messages;
        QTest::keyClicks(m_window->Combo2->lineEdit(), QString::fromStdString(*m_dir / "out"));
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        int visibleWhileConverting = 0;
        word.whileOpening = [&] {
            qApp->setProperty(app::kShuttingDown, true);
            m_window->close();
            visibleWhileConverting += m_window->isVisible() ? 1 : 0;
        };
        m_window->Command6->click();
        qApp->setProperty(app::kShuttingDown, false);
        QCOMPARE(visibleWhileConverting, 3);
        QCOMPARE(word.instances, 3);
        QVERIFY(messages.messages.empty());
        QVERIFY(!m_window->isVisible());
        QVERIFY(m_dir->read("state/EXCEL.txt") == *m_dir / "docs" + "\r\n");
    }

 private:
    std::unique_ptr<testsupport::TempFolder> m_dir;
    std::unique_ptr<app::form1> m_window;
};

QTEST_MAIN(Form1ConvertTest)
#include "form1_convert_test.moc"
