// SPDX-License-Identifier: MIT
// form1's startup and shutdown against prepared state files.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <QWindow>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/form1.h"
#include "platform/msgbox.h"
#include "support/recorders.h"
#include "support/tempfolder.h"

namespace {

std::string crlf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

// Each source entry as its text and small icon.
std::vector<std::pair<std::string, int>> sourceEntries(core::ListView& list) {
    std::vector<std::pair<std::string, int>> entries;
    for (int position = 1; position <= list.count(); ++position) {
        entries.emplace_back(list.text(position), list.smallIcon(position));
    }
    return entries;
}

}  // namespace

class Form1StateTest : public QObject {
    Q_OBJECT

 private Q_SLOTS:
    void init() { m_recorder = std::make_unique<testsupport::MessageRecorder>(); }

    void cleanup() {
        m_recorder.reset();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void restoresSourceListWithIconsByPathKind() {
        testsupport::TempFolder dir;
        const std::string file = dir.write("Briefe/Angebot \xc3\xa9t\xc3\xa9.doc");
        const std::string folder = dir.mkdir("My Reports");
        const std::string missing = dir / "gone/Old.doc";
        dir.write("EXCEL.txt", crlf({file, folder, missing, "", file, folder + "/"}));
        dir.write("output.txt", "");

        app::form1 window(state::StateFiles(dir.path()));
        core::MainControls controls = window.controls();
        const std::vector<std::pair<std::string, int>> expected = {
            {file, 1}, {folder, 2}, {missing, 3}, {"", 3}, {file, 1}, {folder + "/", 2}};
        QCOMPARE(sourceEntries(controls.ListView1), expected);
        QCOMPARE(controls.ListView1.selectedPosition(), 0);
        QCOMPARE(controls.ListView2.count(), 0);
        QCOMPARE(controls.ProgressBar1.value(), 0);
    }

    void restoresHistoryWithTheFirstEntryCurrent_data() {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QStringList>("entries");
        // Written by hand: LF line ends, no terminator after the last line, a duplicate.
        QTest::newRow("three entries")
            << true << QByteArray("/out/new\n/out/old folder\n/out/new")
            << QStringList{QStringLiteral("/out/new"), QStringLiteral("/out/old folder"),
                           QStringLiteral("/out/new")};
        QTest::newRow("empty file") << true << QByteArray() << QStringList();
        QTest::newRow("missing file") << false << QByteArray() << QStringList();
    }

    void restoresHistoryWithTheFirstEntryCurrent() {
        QFETCH(bool, exists);
        QFETCH(QByteArray, contents);
        QFETCH(QStringList, entries);
        testsupport::TempFolder dir;
        if (exists) {
            dir.write("output.txt", contents.toStdString());
        }
        app::form1 window(state::StateFiles(dir.path()));
        core::ComboBox& combo = window.controls().Combo2;
        QStringList actual;
        for (int position = 0; position < combo.count(); ++position) {
            actual << QString::fromStdString(combo.itemText(position));
        }
        QCOMPARE(actual, entries);
        QCOMPARE(combo.currentPosition(), entries.isEmpty() ? -1 : 0);
        QCOMPARE(QString::fromStdString(combo.editText()), entries.value(0));
        QCOMPARE(window.controls().ListView1.count(), 0);
    }

    // Each list is saved only when its line of set.txt is exactly "1"; a list that is not saved
    // keeps its file byte for byte.
    void savesListsAsSettingsSay_data() {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<bool>("settingsExist");
        QTest::addColumn<bool>("savesSources");
        QTest::addColumn<bool>("savesHistory");
        QTest::newRow("both on") << QByteArray("1\r\n1\r\n") << true << true << true;
        QTest::newRow("sources only") << QByteArray("1\r\n0\r\n") << true << true << false;
        QTest::newRow("history only") << QByteArray("0\r\n1\r\n") << true << false << true;
        QTest::newRow("single line") << QByteArray("1") << true << true << false;
        QTest::newRow("one and a space") << QByteArray("1 \r\n1 \r\n") << true << false << false;
        QTest::newRow("empty") << QByteArray() << true << false << false;
        QTest::newRow("missing") << QByteArray() << false << false << false;
    }

    void savesListsAsSettingsSay() {
        QFETCH(QByteArray, settings);
        QFETCH(bool, settingsExist);
        QFETCH(bool, savesSources);
        QFETCH(bool, savesHistory);
        testsupport::TempFolder dir;
        const std::string oldSources = "/kept/source\n";
        const std::string oldHistory = "/kept/output";
        dir.write("EXCEL.txt", oldSources);
        dir.write("output.txt", oldHistory);
        if (settingsExist) {
            dir.write("set.txt", settings.toStdString());
        }
        {
            app::form1 window(state::StateFiles(dir.path()));
            core::MainControls controls = window.controls();
            controls.ListView1.append("/new/source");
            controls.Combo2.insert(0, "/new/output");
            window.show();
            window.close();
        }
        QCOMPARE(dir.read("EXCEL.txt"),
                 savesSources ? crlf({"/kept/source", "/new/source"}) : oldSources);
        QCOMPARE(dir.read("output.txt"),
                 savesHistory ? crlf({"/new/output", "/kept/output"}) : oldHistory);
        QVERIFY(m_recorder->messages.empty());
    }

    void savesAtMost201HistoryEntriesAndNoTypedText() {
        testsupport::TempFolder dir;
        std::vector<std::string> folders;
        for (int i = 0; i < 250; ++i) {
            folders.push_back("/out/" + std::to_string(i));
        }
        dir.write("output.txt", crlf(folders));
        dir.write("set.txt", "0\r\n1\r\n");

        app::form1 window(state::StateFiles(dir.path()));
        QCOMPARE(window.controls().Combo2.count(), 250);
        window.show();
        QTest::keyClicks(window.Combo2->lineEdit(), QStringLiteral("/typed"));
        window.close();

        folders.resize(201);
        QCOMPARE(dir.read("output.txt"), crlf(folders));
    }

    void everyWayOfClosingSavesOnce_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Exit button") << QStringLiteral("exit");
        QTest::newRow("close") << QStringLiteral("close");
        QTest::newRow("title bar") << QStringLiteral("window");
    }

    void everyWayOfClosingSavesOnce() {
        QFETCH(QString, how);
        testsupport::TempFolder dir;
        dir.write("EXCEL.txt", crlf({"/a", "/a", "/b"}));
        dir.write("output.txt", crlf({"/out"}));
        dir.write("set.txt", crlf({"1", "1"}));

        app::form1 window(state::StateFiles(dir.path()));
        window.controls().ListView1.remove(1);
        window.controls().Combo2.insert(1, "/out 2");
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        if (how == QLatin1String("exit")) {
            QTest::mouseClick(window.Command9, Qt::LeftButton);
        } else if (how == QLatin1String("close")) {
            window.close();
        } else {
            window.windowHandle()->close();
        }
        QVERIFY(!window.isVisible());
        QCOMPARE(dir.read("EXCEL.txt"), crlf({"/a", "/b"}));
        QCOMPARE(dir.read("output.txt"), crlf({"/out", "/out 2"}));

        // A second close finds the lists already saved and writes nothing.
        dir.write("EXCEL.txt", "changed since");
        window.show();
        window.close();
        QCOMPARE(dir.read("EXCEL.txt"), std::string("changed since"));
    }

    // A list file that cannot be replaced (here a folder stands in its place) is reported in
    // one critical message naming the file and the reason; the other list is still saved and
    // the window still closes.
    void reportsListsThatCannotBeSavedOnce_data() {
        QTest::addColumn<bool>("historyBlocked");
        QTest::newRow("source list") << false;
        QTest::newRow("both lists") << true;
    }

    void reportsListsThatCannotBeSavedOnce() {
        QFETCH(bool, historyBlocked);
        testsupport::TempFolder dir;
        dir.write("EXCEL.txt/keep", "x");
        if (historyBlocked) {
            dir.write("output.txt/keep", "x");
        }
        dir.write("set.txt", crlf({"1", "1"}));

        app::form1 window(state::StateFiles(dir.path()));
        window.controls().ListView1.append("/source");
        window.controls().Combo2.insert(0, "/output");
        window.show();
        window.close();

        QVERIFY(!window.isVisible());
        QCOMPARE(m_recorder->messages.size(), std::size_t{1});
        const testsupport::Message& message = m_recorder->messages.front();
        QCOMPARE(message.style, platform::vbCritical);
        QCOMPARE(message.title, std::string("Pavendel"));
        QVERIFY2(message.prompt.find(dir / "EXCEL.txt") != std::string::npos,
                 message.prompt.c_str());
        QVERIFY2(message.prompt.find("Is a directory") != std::string::npos,
                 message.prompt.c_str());
        QCOMPARE(message.prompt.find(dir / "output.txt") != std::string::npos, historyBlocked);
        if (!historyBlocked) {
            QCOMPARE(dir.read("output.txt"), crlf({"/output"}));
        }
    }

 private:
    std::unique_ptr<testsupport::MessageRecorder> m_recorder;
};

QTEST_MAIN(Form1StateTest)
#include "form1_state_test.moc"
