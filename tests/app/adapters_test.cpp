// SPDX-License-Identifier: MIT
// The Qt adapters of the control interfaces, on bare widgets.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>
#include <QTreeWidget>
#include <stdexcept>

#include "app/comboboxadapter.h"
#include "app/formadapter.h"
#include "app/imagelist.h"
#include "app/listviewadapter.h"
#include "app/progressbaradapter.h"
#include "platform/gui/qtplatform.h"

namespace {

// An output-folder box with the entries /a, /b and /c, /a current, in an active window beside
// another field that can take the focus away.
struct HistoryBox {
    HistoryBox() {
        combo.insert(0, "/a");
        combo.insert(1, "/b");
        combo.insert(2, "/c");
        combo.setCurrentPosition(0);
        other->move(0, 40);
    }
    bool activate() {
        window.show();
        window.activateWindow();
        box->setFocus();
        return QTest::qWaitForWindowActive(&window);
    }

    QWidget window;
    QComboBox* box = new QComboBox(&window);
    QLineEdit* other = new QLineEdit(&window);
    app::ComboBoxAdapter combo{box};
};

}  // namespace

class AdaptersTest : public QObject {
    Q_OBJECT

 private Q_SLOTS:
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    // Typed text stays typed when editing ends, even when it equals an entry, and is not added.
    void typedTextMakesThePositionMinusOne_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("byEnter");
        QTest::newRow("new folder, Enter") << QStringLiteral("/new folder") << true;
        QTest::newRow("entry's text, Enter") << QStringLiteral("/b") << true;
        QTest::newRow("entry's text, focus leaves") << QStringLiteral("/b") << false;
    }

    void typedTextMakesThePositionMinusOne() {
        QFETCH(QString, typed);
        QFETCH(bool, byEnter);
        HistoryBox history;
        QVERIFY(history.activate());
        history.box->lineEdit()->clear();
        QTest::keyClicks(QApplication::focusWidget(), typed);
        QCOMPARE(history.combo.currentPosition(), -1);
        if (byEnter) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        } else {
            history.other->setFocus();
            QVERIFY(history.other->hasFocus());
        }
        QCOMPARE(history.combo.count(), 3);
        QCOMPARE(history.combo.currentPosition(), -1);
        QCOMPARE(history.combo.editText(), platform::gui::FromQString(typed));
    }

    void choosingOrSettingAnEntryMakesItCurrent() {
        HistoryBox history;
        QVERIFY(history.activate());
        QTest::keyClick(history.box, Qt::Key_Down);
        QCOMPARE(history.combo.currentPosition(), 1);
        QCOMPARE(history.combo.editText(), std::string("/b"));

        // Made current again by code after the user typed over it, the entry shows again.
        QTest::keyClicks(history.box->lineEdit(), QStringLiteral("/typed"));
        history.combo.setCurrentPosition(1);
        QCOMPARE(history.combo.editText(), std::string("/b"));
        QCOMPARE(history.combo.currentPosition(), 1);
        history.combo.setCurrentPosition(-1);
        QCOMPARE(history.combo.editText(), std::string());
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, history.combo.setCurrentPosition(3));
    }

    // Inserting and removing entries moves the current position with its entry and never
    // changes what the edit field shows.
    void listChangesKeepTheEditTextAndFollowTheCurrentEntry_data() {
        QTest::addColumn<int>("current");
        QTest::addColumn<bool>("insert");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("expectedCurrent");
        QTest::newRow("insert before current") << 1 << true << 0 << 2;
        QTest::newRow("insert after current") << 1 << true << 2 << 1;
        QTest::newRow("insert into typed text") << -1 << true << 0 << -1;
        QTest::newRow("remove before current") << 2 << false << 0 << 1;
        QTest::newRow("remove after current") << 0 << false << 1 << 0;
        QTest::newRow("remove current") << 1 << false << 1 << -1;
        QTest::newRow("remove from typed text") << -1 << false << 0 << -1;
    }

    void listChangesKeepTheEditTextAndFollowTheCurrentEntry() {
        QFETCH(int, current);
        QFETCH(bool, insert);
        QFETCH(int, position);
        QFETCH(int, expectedCurrent);
        HistoryBox history;
        app::ComboBoxAdapter& combo = history.combo;
        if (current >= 0) {
            combo.setCurrentPosition(current);
        } else {
            history.box->setCurrentIndex(1);
            QTest::keyClicks(history.box->lineEdit(), QStringLiteral("x"));
        }
        const std::string shown = combo.editText();
        if (insert) {
            combo.insert(position, "/new");
            QCOMPARE(combo.itemText(position), std::string("/new"));
        } else {
            combo.remove(position);
            QCOMPARE(combo.count(), 2);
        }
        QCOMPARE(combo.currentPosition(), expectedCurrent);
        QCOMPARE(combo.editText(), shown);
    }

    void emptyListsKeepTheirEditText() {
        QComboBox box;
        app::ComboBoxAdapter combo(&box);
        QTest::keyClicks(box.lineEdit(), QStringLiteral("/typed"));
        combo.insert(0, "/first");
        QCOMPARE(combo.editText(), std::string("/typed"));
        QCOMPARE(combo.currentPosition(), -1);
        combo.setCurrentPosition(0);
        combo.remove(0);
        QCOMPARE(combo.count(), 0);
        QCOMPARE(combo.editText(), std::string("/first"));
        QCOMPARE(combo.currentPosition(), -1);
    }

    void listViewPositionsAreOneBased() {
        QTreeWidget tree;
        app::ImageList images(QSize(16, 16));
        QPixmap red(16, 16);
        red.fill(Qt::red);
        images.add(QIcon(red));
        app::ListViewAdapter list(&tree, app::ListViewAdapter::CheckBoxes::Without);
        list.setSmallIcons(&images);

        list.append("/b");
        list.insert(1, "/a");
        list.insert(3, "/c");
        list.setSmallIcon(3, 1);
        QCOMPARE(list.count(), 3);
        QCOMPARE(list.text(1), std::string("/a"));
        QCOMPARE(list.text(3), std::string("/c"));
        QCOMPARE(list.smallIcon(3), 1);
        QVERIFY(!tree.topLevelItem(2)->icon(0).isNull());

        QCOMPARE(list.selectedPosition(), 0);
        list.select(2);
        QCOMPARE(list.selectedPosition(), 2);
        list.select(3);
        QCOMPARE(list.selectedPosition(), 3);
        QCOMPARE(tree.selectedItems().size(), 1);
        list.remove(3);
        QCOMPARE(list.selectedPosition(), 0);

        // Without check boxes nothing is ever checked.
        list.setChecked(1, true);
        QVERIFY(!list.checked(1));

        QVERIFY_THROWS_EXCEPTION(std::out_of_range, list.text(0));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, list.remove(3));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, list.insert(4, "/x"));
    }

    void checkBoxesStartClearAndFollowTheUser() {
        QTreeWidget tree;
        app::ListViewAdapter list(&tree, app::ListViewAdapter::CheckBoxes::With);
        list.append("a.doc");
        QVERIFY(!list.checked(1));
        list.setChecked(1, true);
        QVERIFY(list.checked(1));
        tree.topLevelItem(0)->setCheckState(0, Qt::Unchecked);
        QVERIFY(!list.checked(1));
    }

    void progressBarKeepsToItsRange() {
        QProgressBar bar;
        app::ProgressBarAdapter progress(&bar);
        QCOMPARE(progress.maximum(), 100);
        QCOMPARE(progress.value(), 0);
        QVERIFY(!bar.isTextVisible());
        progress.setMaximum(3);
        progress.setValue(3);
        QCOMPARE(progress.value(), 3);
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, progress.setValue(4));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, progress.setMaximum(2));
        progress.setValue(0);
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, progress.setMaximum(0));
        QCOMPARE(progress.maximum(), 3);
    }

    void formShowsTheHourglassOverTheWindow() {
        QWidget window;
        app::FormAdapter form(&window);
        QCOMPARE(form.mousePointer(), core::vbDefault);
        form.setMousePointer(core::vbHourglass);
        QCOMPARE(form.mousePointer(), core::vbHourglass);
        QCOMPARE(window.cursor().shape(), Qt::WaitCursor);
        form.setMousePointer(core::vbDefault);
        QCOMPARE(form.mousePointer(), core::vbDefault);
        QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(platform::gui::WidgetOf(form.hWnd()), &window);
    }
};

QTEST_MAIN(AdaptersTest)
#include "adapters_test.moc"
