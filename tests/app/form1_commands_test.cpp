// SPDX-License-Identifier: MIT
// form1's list, output-folder and help commands, driven through their buttons and menu entries
// with scripted dialogs and a recorded shell.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>
#include <string>
#include <vector>

#include "app/form1.h"
#include "dialogs/links.h"
#include "platform/paths.h"
#include "platform/testing/scripteddialogs.h"
#include "support/listtexts.h"
#include "support/recorders.h"
#include "support/tempfolder.h"

namespace {

using testsupport::texts;

std::vector<std::string> sorted(std::vector<std::string> values) {
    std::sort(values.begin(), values.end());
    return values;
}

bool allChecked(core::ListView& list) {
    for (int position = 1; position <= list.count(); ++position) {
        if (!list.checked(position)) {
            return false;
        }
    }
    return true;
}

std::vector<std::string> comboItems(core::ComboBox& combo) {
    std::vector<std::string> out;
    for (int position = 0; position < combo.count(); ++position) {
        out.push_back(combo.itemText(position));
    }
    return out;
}

}  // namespace

class Form1CommandsTest : public QObject {
    Q_OBJECT

 private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<testsupport::TempFolder>();
        m_dir->write("state/set.txt", "0\r\n0\r\n");
        m_dir->write("docs/a.doc");
        m_dir->write("docs/b.docx");
        m_dir->write("docs/notes.txt");
        m_dir->write("docs/.hidden.doc");
        m_dir->write("docs/sub/inner.doc");
        m_dir->write("other/c.doc");
        m_window = std::make_unique<app::form1>(state::StateFiles(*m_dir / "state"));
    }

    void cleanup() {
        m_window.reset();
        m_dir.reset();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void addWordByButtonAndMenuAddsTheFileAndListsIt() {
        platform::ScriptedDialogs dialogs;
        const std::string file = *m_dir / "docs/b.docx";
        dialogs.confirmOpen(file);
        dialogs.confirmOpen(file);
        m_window->Command1->click();
        m_window->AddExcel->trigger();
        core::MainControls controls = m_window->controls();
        QCOMPARE(texts(controls.ListView1), (std::vector<std::string>{file, file}));
        QCOMPARE(controls.ListView1.smallIcon(1), 1);
        QCOMPARE(controls.ListView1.smallIcon(2), 1);
        QCOMPARE(controls.ListView1.selectedPosition(), 2);
        QCOMPARE(texts(controls.ListView2), std::vector<std::string>{"b.docx"});
        QVERIFY(allChecked(controls.ListView2));
        QCOMPARE(controls.form1.mousePointer(), 0);
        QCOMPARE(dialogs.openCalls().size(), std::size_t{2});
        QCOMPARE(dialogs.openCalls()[0].title.value_or(""), std::string("Select Word File"));
        QCOMPARE(dialogs.openCalls()[0].record.hwndOwner, m_window->hWnd());
        QVERIFY(dialogs.problems().empty());
    }

    void addFolderListsItsWordDocumentsOnly() {
        platform::ScriptedDialogs dialogs;
        dialogs.confirmFolder(*m_dir / "docs");
        m_window->AddFolder->trigger();
        core::MainControls controls = m_window->controls();
        QCOMPARE(texts(controls.ListView1), std::vector<std::string>{*m_dir / "docs"});
        QCOMPARE(controls.ListView1.smallIcon(1), 2);
        QCOMPARE(sorted(texts(controls.ListView2)), (std::vector<std::string>{"a.doc", "b.docx"}));
        QVERIFY(allChecked(controls.ListView2));
        QCOMPARE(dialogs.folderCalls().at(0).title.value_or(""),
                 std::string("Add all word files in folder"));
        QVERIFY(dialogs.problems().empty());
    }

    void cancelledOrPathlessChoicesChangeNothing() {
        platform::ScriptedDialogs dialogs;
        dialogs.cancelNext();
        dialogs.confirmFolder("");
        dialogs.failNext();
        dialogs.cancelNext();
        m_window->Command1->click();
        m_window->Command5->click();
        m_window->Command5->click();
        m_window->Command10->click();
        core::MainControls controls = m_window->controls();
        QCOMPARE(controls.ListView1.count(), 0);
        QCOMPARE(controls.Combo2.count(), 0);
        QCOMPARE(controls.form1.mousePointer(), 0);
        QCOMPARE(dialogs.pendingAnswers(), std::size_t{0});
    }

    void clickingAnEntryListsItAgainWithEveryBoxTicked() {
        platform::ScriptedDialogs dialogs;
        dialogs.confirmFolder(*m_dir / "docs");
        dialogs.confirmFolder(*m_dir / "other");
        m_window->Command5->click();
        m_window->Command5->click();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QTreeWidgetItem* first = m_window->ListView1->topLevelItem(0);
        const QRect rect = m_window->ListView1->visualItemRect(first);
        QTest::mouseClick(m_window->ListView1->viewport(), Qt::LeftButton, {}, rect.center());
        core::MainControls controls = m_window->controls();
        QCOMPARE(controls.ListView1.selectedPosition(), 1);
        QCOMPARE(sorted(texts(controls.ListView2)), (std::vector<std::string>{"a.doc", "b.docx"}));
        controls.ListView2.setChecked(1, false);
        QTest::mouseClick(m_window->ListView1->viewport(), Qt::LeftButton, {}, rect.center());
        QVERIFY(allChecked(controls.ListView2));
    }

    void removeMoveAndClearWorkThroughButtonsAndMenus() {
        platform::ScriptedDialogs dialogs;
        dialogs.confirmFolder(*m_dir / "docs");
        dialogs.confirmFolder(*m_dir / "other");
        dialogs.confirmOpen(*m_dir / "docs/a.doc");
        m_window->Command5->click();
        m_window->Command5->click();
        m_window->Command1->click();
        core::MainControls controls = m_window->controls();

        m_window->Command3->click();  // a.doc moves above "other"
        QCOMPARE(
            texts(controls.ListView1),
            (std::vector<std::string>{*m_dir / "docs", *m_dir / "docs/a.doc", *m_dir / "other"}));
        QCOMPARE(controls.ListView1.selectedPosition(), 2);
        QCOMPARE(controls.ListView1.smallIcon(2), 1);
        m_window->Command4->click();
        QCOMPARE(controls.ListView1.selectedPosition(), 3);

        m_window->RemoveItem->trigger();  // the last entry goes; the one before is listed
        QCOMPARE(controls.ListView1.count(), 2);
        QCOMPARE(controls.ListView1.selectedPosition(), 2);
        QCOMPARE(texts(controls.ListView2), std::vector<std::string>{"c.doc"});
        m_window->Command2->click();
        QCOMPARE(controls.ListView1.selectedPosition(), 1);
        QCOMPARE(sorted(texts(controls.ListView2)), (std::vector<std::string>{"a.doc", "b.docx"}));

        m_window->RemoveAll->trigger();
        QCOMPARE(controls.ListView1.count(), 0);
        QCOMPARE(controls.ListView2.count(), 0);
    }

    void browseReplacesTypedTextAndKeepsDuplicates() {
        platform::ScriptedDialogs dialogs;
        const std::string out = m_dir->mkdir("out");
        dialogs.confirmFolder(out);
        dialogs.confirmFolder(out);
        QTest::keyClicks(m_window->Combo2->lineEdit(), QStringLiteral("/typed"));
        m_window->Command10->click();
        m_window->Command10->click();
        core::MainControls controls = m_window->controls();
        QCOMPARE(comboItems(controls.Combo2), (std::vector<std::string>{out, out}));
        QCOMPARE(controls.Combo2.currentPosition(), 0);
        QCOMPARE(controls.Combo2.editText(), out);
    }

    void historyRemovalsThroughTheEditMenu() {
        core::MainControls controls = m_window->controls();
        for (const char* folder : {"C", "B", "A"}) {
            controls.Combo2.insert(0, folder);
        }
        controls.Combo2.setCurrentPosition(1);
        m_window->Removeoutput->trigger();
        QCOMPARE(comboItems(controls.Combo2), (std::vector<std::string>{"A", "C"}));
        QCOMPARE(controls.Combo2.currentPosition(), 1);
        QCOMPARE(controls.Combo2.editText(), std::string("C"));

        QTest::keyClicks(m_window->Combo2->lineEdit(), QStringLiteral("x"));
        m_window->Removeoutput->trigger();  // typed text: no current entry, nothing removed
        QCOMPARE(controls.Combo2.count(), 2);

        m_window->RemoveAllOutput->trigger();
        QCOMPARE(controls.Combo2.count(), 0);
        m_window->RemoveAllOutput->trigger();
        QCOMPARE(controls.Combo2.count(), 0);
    }

    void viewHelpAndHomePageGoThroughTheShell() {
        testsupport::ShellRecorder shell;
        core::MainControls controls = m_window->controls();
        m_window->Command11->click();  // empty box: nothing
        const std::string out = m_dir->mkdir("out");
        controls.Combo2.insert(0, out);
        controls.Combo2.setCurrentPosition(0);
        m_window->Command11->click();
        m_window->Command8->click();
        m_window->Help1->trigger();
        m_window->Command7->click();
        m_window->HomePage->trigger();
        const platform::Hwnd owner = m_window->hWnd();
        const std::string help = platform::programFolder() + "/help.chm";
        const std::vector<testsupport::ShellCall> expected = {
            {owner, "open", out, "", "", 5},
            {owner, "open", help, "", "", 5},
            {owner, "open", help, "", "", 5},
            {owner, "open", dialogs::kHomePage, "", "", 5},
            {owner, "open", dialogs::kHomePage, "", "", 5},
        };
        QVERIFY(shell.calls == expected);
    }

 private:
    std::unique_ptr<testsupport::TempFolder> m_dir;
    std::unique_ptr<app::form1> m_window;
};

QTEST_MAIN(Form1CommandsTest)
#include "form1_commands_test.moc"
