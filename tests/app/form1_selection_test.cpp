// SPDX-License-Identifier: MIT
// The document list follows the selected source entry however the selection changes (mouse,
// keys, type-ahead, deselection), and Convert converts exactly the documents it shows. Also the
// names the window gives assistive technology, and names that are not UTF-8.
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/form1.h"
#include "platform/testing/scripteddialogs.h"
#include "support/fakeword.h"
#include "support/listtexts.h"
#include "support/recorders.h"
#include "support/tempfolder.h"

namespace {

using testsupport::texts;

// The paths the office stand-in was asked to open, in order.
std::vector<std::string> opened(const testsupport::FakeWord& word) {
    std::vector<std::string> paths;
    for (const std::string& event : word.events) {
        if (event.rfind("Open ", 0) == 0) {
            paths.push_back(event.substr(5));
        }
    }
    return paths;
}

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

class Form1SelectionTest : public QObject {
    Q_OBJECT

 private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<testsupport::TempFolder>();
        m_dir->write("state/set.txt", "0\r\n0\r\n");
        m_dir->write("docs/beta.doc");
        m_dir->write("docs/Alpha.doc");
        m_dir->write("single/report.doc");
        m_dir->write("other/c.doc");
    }

    void cleanup() {
        m_window.reset();
        m_dir.reset();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    // Three entries: a folder, a file and another folder; the last one is selected.
    void keysMoveTheSelectionAndConvertTakesOnlyTheNewEntrysDocuments_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("typeAhead");
        QTest::addColumn<int>("expected");
        QTest::newRow("Down") << 1 << int(Qt::Key_Down) << false << 2;
        QTest::newRow("Up") << 3 << int(Qt::Key_Up) << false << 2;
        QTest::newRow("Home") << 3 << int(Qt::Key_Home) << false << 1;
        QTest::newRow("End") << 1 << int(Qt::Key_End) << false << 3;
        QTest::newRow("PageDown") << 1 << int(Qt::Key_PageDown) << false << 3;
        QTest::newRow("PageUp") << 3 << int(Qt::Key_PageUp) << false << 1;
        QTest::newRow("type-ahead") << 1 << 0 << true << 2;
    }

    void keysMoveTheSelectionAndConvertTakesOnlyTheNewEntrysDocuments() {
        QFETCH(int, start);
        QFETCH(int, key);
        QFETCH(bool, typeAhead);
        QFETCH(int, expected);
        openWindowWithThreeEntries();
        click(start);
        QCOMPARE(m_controls->ListView1.selectedPosition(), start);
        m_window->ListView1->setFocus();
        if (typeAhead) {
            QTest::keyClicks(m_window->ListView1, QString::fromStdString(*m_dir / "single"));
        } else {
            QTest::keyClick(m_window->ListView1, static_cast<Qt::Key>(key));
        }
        QCOMPARE(m_controls->ListView1.selectedPosition(), expected);

        const std::vector<std::vector<std::string>> documents = {
            {"Alpha.doc", "beta.doc"}, {"report.doc"}, {"c.doc"}};
        const std::vector<std::vector<std::string>> paths = {
            {*m_dir / "docs/Alpha.doc", *m_dir / "docs/beta.doc"},
            {*m_dir / "single/report.doc"},
            {*m_dir / "other/c.doc"}};
        const std::vector<std::vector<std::string>> outputs = {
            {"Alpha.rtf", "beta.rtf"}, {"report.rtf"}, {"c.rtf"}};
        const auto row = static_cast<std::size_t>(expected - 1);
        QCOMPARE(texts(m_controls->ListView2), documents[row]);

        testsupport::FakeWord word;
        testsupport::ShellRecorder shell;
        QTest::keyClicks(m_window->Combo2->lineEdit(), QString::fromStdString(*m_dir / "out"));
        m_window->Command6->click();
        QCOMPARE(opened(word), paths[row]);
        QCOMPARE(filesIn(*m_dir / "out"), outputs[row]);
    }

    // A click on the empty part of the source list leaves nothing selected; the document list and
    // its ticks stay as they were, and Convert converts the ticked documents of the entry they
    // were listed from.
    void leavingNothingSelectedKeepsTheDocumentListAndItsTicks() {
        openWindowWithThreeEntries();
        click(1);
        QCOMPARE(m_controls->ListView2.count(), 2);
        m_controls->ListView2.setChecked(2, false);
        const auto unchanged = [this] {
            return texts(m_controls->ListView2) ==
                       std::vector<std::string>{"Alpha.doc", "beta.doc"} &&
                   m_controls->ListView2.checked(1) && !m_controls->ListView2.checked(2);
        };
        const QRect last =
            m_window->ListView1->visualItemRect(m_window->ListView1->topLevelItem(2));
        QTest::mouseClick(m_window->ListView1->viewport(), Qt::LeftButton, {},
                          QPoint(last.center().x(), last.bottom() + 3 * last.height()));
        QCOMPARE(m_controls->ListView1.selectedPosition(), 0);
        QVERIFY(unchanged());

        testsupport::FakeWord word;
        testsupport::ShellRecorder shell;
        QTest::keyClicks(m_window->Combo2->lineEdit(), QString::fromStdString(*m_dir / "out"));
        m_window->Command6->click();
        QCOMPARE(opened(word), (std::vector<std::string>{*m_dir / "docs/Alpha.doc"}));
        QCOMPARE(filesIn(*m_dir / "out"), (std::vector<std::string>{"Alpha.rtf"}));
    }

    // Every listing of a one-document entry inserts one row: a click lists once, a click on the
    // selected entry lists it again, a key lists the new entry, and the commands that select an
    // entry themselves list it once or, for the moves, not at all.
    void eachWayOfSelectingListsExactlyOnce() {
        openWindow();
        platform::ScriptedDialogs dialogs;
        for (const char* name : {"a.doc", "b.doc", "c.doc"}) {
            m_dir->write(std::string("files/") + name);
            dialogs.confirmOpen(*m_dir / (std::string("files/") + name));
        }
        QSignalSpy rows(m_window->ListView2->model(), &QAbstractItemModel::rowsInserted);
        for (int i = 0; i < 3; ++i) {
            m_window->Command1->click();
        }
        QCOMPARE(rows.count(), 3);
        click(1);
        QCOMPARE(rows.count(), 4);
        m_controls->ListView2.setChecked(1, false);
        click(1);
        QCOMPARE(rows.count(), 5);
        QVERIFY(m_controls->ListView2.checked(1));
        click(2);
        QCOMPARE(m_controls->ListView1.selectedPosition(), 2);
        QCOMPARE(rows.count(), 6);
        QTest::keyClick(m_window->ListView1, Qt::Key_Down);
        QCOMPARE(rows.count(), 7);
        QCOMPARE(texts(m_controls->ListView2), std::vector<std::string>{"c.doc"});
        m_window->Command3->click();
        m_window->Command4->click();
        QCOMPARE(m_controls->ListView1.selectedPosition(), 3);
        QCOMPARE(rows.count(), 7);
        m_window->Command2->click();
        QCOMPARE(rows.count(), 8);
        QCOMPARE(texts(m_controls->ListView2), std::vector<std::string>{"b.doc"});
        m_window->RemoveAll->trigger();
        QCOMPARE(rows.count(), 8);
    }

    // A user who cannot see the window hears every control by name, the arrow buttons included,
    // and ticks documents with the Space key.
    void controlsHaveAccessibleNamesAndSpaceTicksDocuments() {
        openWindowWithThreeEntries();
        const QList<QWidget*> controls =
            m_window->centralWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(controls.size(), 16);
        for (QWidget* control : controls) {
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
            QVERIFY(accessible != nullptr);
            QVERIFY2(!accessible->text(QAccessible::Name).isEmpty(),
                     qPrintable(control->objectName()));
            QVERIFY2(!accessible->text(QAccessible::Description).isEmpty(),
                     qPrintable(control->objectName()));
        }
        QCOMPARE(QAccessible::queryAccessibleInterface(m_window->Command3)->text(QAccessible::Name),
                 QStringLiteral("Move up"));
        QCOMPARE(QAccessible::queryAccessibleInterface(m_window->Command4)->text(QAccessible::Name),
                 QStringLiteral("Move down"));

        click(1);
        m_window->ListView2->setFocus();
        QTest::keyClick(m_window->ListView2, Qt::Key_Space);
        QVERIFY(!m_controls->ListView2.checked(1));
        QVERIFY(m_controls->ListView2.checked(2));
        QTest::keyClick(m_window->ListView2, Qt::Key_Down);
        QTest::keyClick(m_window->ListView2, Qt::Key_Space);
        QVERIFY(!m_controls->ListView2.checked(2));
        QTest::keyClick(m_window->ListView2, Qt::Key_Space);
        QVERIFY(m_controls->ListView2.checked(2));
        // After another entry is listed, Space ticks its first document.
        click(2);
        m_window->ListView2->setFocus();
        QTest::keyClick(m_window->ListView2, Qt::Key_Space);
        QVERIFY(!m_controls->ListView2.checked(1));
    }

    // A Latin-1 name from an old archive shows readably, keeps its bytes, converts, and its
    // output name is made of the same bytes; an output folder from the history likewise.
    void namesThatAreNotUtf8ListConvertAndKeepTheirBytes() {
        const std::string out = m_dir->mkdir("out\xe9");
        m_dir->write("state/output.txt", out + "\r\n");
        m_dir->write("latin/caf\xe9.doc");
        openWindow();
        platform::ScriptedDialogs dialogs;
        dialogs.confirmFolder(*m_dir / "latin");
        m_window->Command5->click();
        QCOMPARE(m_window->ListView2->topLevelItem(0)->text(0), QStringLiteral("caf\u00e9.doc"));
        QCOMPARE(texts(m_controls->ListView2), std::vector<std::string>{"caf\xe9.doc"});
        QCOMPARE(m_window->Combo2->currentText(), QString::fromStdString(*m_dir / "out\u00e9"));
        QCOMPARE(m_controls->Combo2.editText(), out);

        testsupport::FakeWord word;
        testsupport::ShellRecorder shell;
        m_window->Command6->click();
        QCOMPARE(opened(word), std::vector<std::string>{*m_dir / "latin/caf\xe9.doc"});
        QCOMPARE(filesIn(out), std::vector<std::string>{"caf\xe9.rtf"});
        QCOMPARE(shell.calls.at(0).file, out + "/");
    }

 private:
    void openWindow() {
        m_window = std::make_unique<app::form1>(state::StateFiles(*m_dir / "state"));
        m_controls = std::make_unique<core::MainControls>(m_window->controls());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void openWindowWithThreeEntries() {
        openWindow();
        platform::ScriptedDialogs dialogs;
        dialogs.confirmFolder(*m_dir / "docs");
        dialogs.confirmOpen(*m_dir / "single/report.doc");
        dialogs.confirmFolder(*m_dir / "other");
        m_window->Command5->click();
        m_window->Command1->click();
        m_window->Command5->click();
        QCOMPARE(m_controls->ListView1.selectedPosition(), 3);
    }

    QPoint centre(int position) const {
        return m_window->ListView1->visualItemRect(m_window->ListView1->topLevelItem(position - 1))
            .center();
    }

    void click(int position, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(m_window->ListView1->viewport(), Qt::LeftButton, modifiers,
                          centre(position));
    }

    std::unique_ptr<testsupport::TempFolder> m_dir;
    std::unique_ptr<app::form1> m_window;
    std::unique_ptr<core::MainControls> m_controls;
};

QTEST_MAIN(Form1SelectionTest)
#include "form1_selection_test.moc"
