// SPDX-License-Identifier: MIT
// The whole road through the window with the real office server: a folder of real documents is
// added, one is unticked, one is damaged, Convert runs, and the output, the messages and the
// untouched source folder are checked.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "app/form1.h"
#include "automation/automation.h"
#include "office/client/officeclient.h"
#include "platform/testing/scripteddialogs.h"
#include "support/recorders.h"
#include "support/tempfolder.h"

namespace fs = std::filesystem;

namespace {

std::string corpusFolder() {
    const char* chosen = std::getenv("PAVENDEL_CORPUS");
    return chosen && *chosen ? chosen : PAVENDEL_DEFAULT_CORPUS;
}

std::string contentsOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every entry of a folder with its bytes, to see that nothing was written beside the sources.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> entries;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        entries[entry.path().string()] = entry.is_regular_file() ? contentsOf(entry.path()) : "/";
    }
    return entries;
}

// The real office server is the "Word.Application" provider while this lives.
class RealOffice {
 public:
    RealOffice() : m_previous(automation::RegisterProvider("Word.Application", provider())) {}
    ~RealOffice() { automation::RegisterProvider("Word.Application", m_previous); }
    RealOffice(const RealOffice&) = delete;
    RealOffice& operator=(const RealOffice&) = delete;

 private:
    static automation::ObjectProvider provider() {
        office::client::OfficeOptions options;
        options.serverPath = PAVENDEL_OFFICE_SERVER;
        return office::client::officeProvider(options);
    }

    automation::ObjectProvider m_previous;
};

}  // namespace

class ConvertWindowTest : public QObject {
    Q_OBJECT

 private Q_SLOTS:
    void convertsTickedDocumentsAndReportsTheDamagedOne() {
        const RealOffice office;

        testsupport::TempFolder dir;
        const fs::path source = dir.mkdir("Word documents \xc3\xa9t\xc3\xa9");
        for (const char* name : {"simple.doc", "comment.docx", "two_images.doc", "footnote.doc",
                                 "truncated62886.docx"}) {
            fs::copy_file(fs::path(corpusFolder()) / name, source / name);
        }
        const std::map<std::string, std::string> before = snapshot(source);
        dir.write("state/set.txt", "0\r\n0\r\n");
        app::form1 window(state::StateFiles(dir / "state"));

        {
            platform::ScriptedDialogs dialogs;
            dialogs.confirmFolder(source.string());
            window.Command5->click();
        }
        core::MainControls controls = window.controls();
        QCOMPARE(controls.ListView2.count(), 5);
        for (int position = 1; position <= controls.ListView2.count(); ++position) {
            if (controls.ListView2.text(position) == "footnote.doc") {
                controls.ListView2.setChecked(position, false);
            }
        }
        const std::string out = dir / "RTF output";
        QTest::keyClicks(window.Combo2->lineEdit(), QString::fromStdString(out));

        testsupport::MessageRecorder messages;
        testsupport::ShellRecorder shell;
        window.Command6->click();

        for (const char* name : {"simple.rtf", "comment.rtf", "two_images.rtf"}) {
            const std::string rtf = contentsOf(fs::path(out) / name);
            QVERIFY2(rtf.rfind("{\\rtf1", 0) == 0, name);
        }
        QVERIFY(!fs::exists(fs::path(out) / "footnote.rtf"));
        QVERIFY(!fs::exists(fs::path(out) / "truncated62886.rtf"));
        // Only the three documents: no temporary or half-written files are left.
        QCOMPARE(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 3);

        QCOMPARE(messages.messages.size(), std::size_t{2});
        QCOMPARE(messages.messages[0].style, 0);
        QVERIFY(!messages.messages[0].prompt.empty());
        QCOMPARE(messages.messages[1],
                 (testsupport::Message{"Convert truncated62886 file failed!", 16, "Pavendel"}));
        QCOMPARE(shell.calls.size(), std::size_t{1});
        QCOMPARE(shell.calls[0].file, out + "/");
        QVERIFY(snapshot(source) == before);
        QCOMPARE(controls.ProgressBar1.value(), 0);
    }

    // Names the engine's own addresses cannot carry as they are: a Latin-1 folder and file name
    // (not UTF-8), and a file entry whose name is a pattern that another file matches too.
    void convertsNamesThatAreNotUtf8OrHoldWildcardsUnderTheirOwnNames() {
        const RealOffice office;

        testsupport::TempFolder dir;
        const fs::path corpus(corpusFolder());
        const fs::path latin = dir.mkdir("caf\xe9");
        fs::copy_file(corpus / "simple.doc", latin / "r\xe9sum\xe9.doc");
        const fs::path files = dir.mkdir("files");
        fs::copy_file(corpus / "57843.doc", files / "a?.doc");
        fs::copy_file(corpus / "Bug47742.doc", files / "ab.doc");
        dir.write("state/set.txt", "0\r\n0\r\n");
        app::form1 window(state::StateFiles(dir / "state"));
        const std::string out = dir / "out";
        QTest::keyClicks(window.Combo2->lineEdit(), QString::fromStdString(out));
        core::MainControls controls = window.controls();

        testsupport::MessageRecorder messages;
        testsupport::ShellRecorder shell;
        {
            platform::ScriptedDialogs dialogs;
            dialogs.confirmFolder(latin.string());
            dialogs.confirmOpen((files / "a?.doc").string());
            window.Command5->click();
            QCOMPARE(controls.ListView2.count(), 1);
            QCOMPARE(controls.ListView2.text(1), std::string("r\xe9sum\xe9.doc"));
            window.Command6->click();
            window.Command1->click();
            QCOMPARE(controls.ListView2.count(), 1);
            QCOMPARE(controls.ListView2.text(1), std::string("a?.doc"));
            window.Command6->click();
        }
        QVERIFY(messages.messages.empty());
        QVERIFY(contentsOf(fs::path(out) / "r\xe9sum\xe9.rtf").rfind("{\\rtf1", 0) == 0);
        const std::string pattern = contentsOf(fs::path(out) / "a?.rtf");
        QVERIFY(pattern.find("Harold Koplow") != std::string::npos);
        QVERIFY(pattern.find("The Aaa phrase") == std::string::npos);
        QCOMPARE(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 2);
    }
};

QTEST_MAIN(ConvertWindowTest)
#include "convert_window_test.moc"
