// SPDX-License-Identifier: MIT
// The Convert button and menu entry of form1, with an in-process office stand-in.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/form1.h"
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

    void closingDuringARunWaitsForItsEnd() {
        testsupport::FakeWord word;
        testsupport::ShellRecorder shell;
        QTest::keyClicks(m_window->Combo2->lineEdit(), QString::fromStdString(*m_dir / "out"));
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        int visibleWhileConverting = 0;
        word.whileOpening = [&] {
            m_window->close();
            visibleWhileConverting += m_window->isVisible() ? 1 : 0;
        };
        m_window->Command6->click();
        QCOMPARE(visibleWhileConverting, 3);
        QCOMPARE(word.instances, 3);
        QVERIFY(!m_window->isVisible());
        // The lists were saved once, after the run.
        QVERIFY(m_dir->read("state/EXCEL.txt") == *m_dir / "docs" + "\r\n");
    }

 private:
    std::unique_ptr<testsupport::TempFolder> m_dir;
    std::unique_ptr<app::form1> m_window;
};

QTEST_MAIN(Form1ConvertTest)
#include "form1_convert_test.moc"
