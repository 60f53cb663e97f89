// SPDX-License-Identifier: MIT
#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <cstring>
#include <filesystem>
#include <memory>

#include "dialogs/setting.h"
#include "support/modal.h"
#include "support/recorders.h"
#include "support/tempfolder.h"

using dialogs::Setting;

namespace {

template <typename T = QAbstractButton>
T* child(const QWidget& dialog, const char* name) {
    T* found = dialog.findChild<T*>(QLatin1String(name));
    if (found == nullptr) {
        qFatal("no control %s", name);
    }
    return found;
}

// set.txt as the test left it; a null array when there is no such file.
QByteArray stored(const testsupport::TempFolder& folder) {
    return std::filesystem::exists(folder / "set.txt")
               ? QByteArray::fromStdString(folder.read("set.txt"))
               : QByteArray();
}

}  // namespace

class SettingTest : public QObject {
    Q_OBJECT

 private Q_SLOTS:
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    // Pixel positions at the offscreen screen's 96 dots per inch: twips / 15, rounded.
    void layout() {
        testsupport::TempFolder folder;
        Setting dialog{state::StateFiles(folder.path())};
        QCOMPARE(dialog.logicalDpiX(), 96);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Setting"));
        QCOMPARE(dialog.geometry(), QRect(184, 250, 249, 104));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QVERIFY(!(dialog.windowFlags() &
                  (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(dialog.font().pointSizeF(), 8.4);
        const struct {
            const char* name;
            const char* caption;
            QRect geometry;
        } controls[] = {
            {"OKButton", "OK", QRect(24, 72, 81, 25)},
            {"CancelButton", "Cancel", QRect(136, 72, 81, 25)},
            {"Check1", "Automatically save the current file", QRect(24, 16, 193, 25)},
            {"Check2", "Automatically save the output directory", QRect(24, 40, 209, 17)},
        };
        for (const auto& control : controls) {
            QCOMPARE(child(dialog, control.name)->text(), QLatin1String(control.caption));
            QCOMPARE(child(dialog, control.name)->geometry(), control.geometry);
        }
        // The first caption ends in a line break, which must not add a second line.
        QCOMPARE(child(dialog, "Check1")->sizeHint().height(),
                 child(dialog, "Check2")->sizeHint().height());

        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QWidget* focus = QApplication::focusWidget();
        QStringList order;
        for (int press = 0; press < 4; ++press, focus = focus->nextInFocusChain()) {
            while (!(focus->focusPolicy() & Qt::TabFocus)) {
                focus = focus->nextInFocusChain();
            }
            order << focus->objectName();
        }
        QCOMPARE(order.join(QLatin1Char(' ')),
                 QStringLiteral("OKButton CancelButton Check1 Check2"));
    }

    void okWritesWhatTheFileShowed_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<bool>("ticked1");
        QTest::addColumn<bool>("ticked2");
        QTest::addColumn<QByteArray>("after");
        const auto row = [](const char* name, QByteArray before, bool ticked1, bool ticked2,
                            const char* after) {
            QTest::newRow(name) << before << ticked1 << ticked2 << QByteArray(after);
        };
        row("1 and 0", "1\r\n0\r\n", true, false, "1\r\n0\r\n");
        row("0 and 1, LF ends", "0\n1\n", false, true, "0\r\n1\r\n");
        row("word true", "true\r\n1\r\n", false, true, "0\r\n1\r\n");
        row("1 and a space, 01", "1 \r\n01\r\n", false, false, "0\r\n0\r\n");
        row("empty file", "", false, false, "0\r\n0\r\n");
        row("missing file", QByteArray(), false, false, "0\r\n0\r\n");
        row("one line", "1\r\n", true, false, "1\r\n0\r\n");
        row("empty first line", "\r\n1", false, true, "0\r\n1\r\n");
        row("extra lines dropped", "1\r\n1\r\n1\r\nmore\r\n", true, true, "1\r\n1\r\n");
    }
    void okWritesWhatTheFileShowed() {
        QFETCH(QByteArray, before);
        QFETCH(bool, ticked1);
        QFETCH(bool, ticked2);
        QFETCH(QByteArray, after);
        testsupport::TempFolder folder;
        if (!before.isNull()) {
            folder.write("set.txt", before.toStdString());
        }
        Setting dialog{state::StateFiles(folder.path())};
        dialog.show();
        QCOMPARE(child(dialog, "Check1")->isChecked(), ticked1);
        QCOMPARE(child(dialog, "Check2")->isChecked(), ticked2);
        QTest::mouseClick(child(dialog, "OKButton"), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(stored(folder), after);
        // Replaced atomically: no temporary file is left beside it.
        QCOMPARE(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
    }

    void closingOtherwiseKeepsTheFile_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<bool>("byCancel");
        QTest::newRow("Cancel, odd file") << QByteArray("1 \ntrue\r\n1\r\nmore") << true;
        QTest::newRow("Cancel, no file") << QByteArray() << true;
        QTest::newRow("window closed") << QByteArray("1\r\n0\r\n") << false;
    }
    void closingOtherwiseKeepsTheFile() {
        QFETCH(QByteArray, before);
        QFETCH(bool, byCancel);
        testsupport::TempFolder folder;
        if (!before.isNull()) {
            folder.write("set.txt", before.toStdString());
        }
        const state::StateFiles files(folder.path());
        auto dialog = std::make_unique<Setting>(files);
        dialog->show();
        const bool shown1 = child(*dialog, "Check1")->isChecked();
        QTest::mouseClick(child(*dialog, "Check1"), Qt::LeftButton);
        QTest::mouseClick(child(*dialog, "Check2"), Qt::LeftButton);
        if (byCancel) {
            QTest::mouseClick(child(*dialog, "CancelButton"), Qt::LeftButton);
        } else {
            dialog->close();
        }
        QVERIFY(!dialog->isVisible());
        QCOMPARE(stored(folder), before);
        // The next opening shows the stored state again.
        dialog = std::make_unique<Setting>(files);
        QCOMPARE(child(*dialog, "Check1")->isChecked(), shown1);
    }

    void enterAndEscapeDoNothing() {
        testsupport::TempFolder folder;
        folder.write("set.txt", "0\r\n0\r\n");
        Setting dialog{state::StateFiles(folder.path())};
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QTest::mouseClick(child(dialog, "Check1"), Qt::LeftButton);
        for (const char* name : {"OKButton", "CancelButton", "Check1"}) {
            for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
                child(dialog, name)->setFocus();
                QTest::keyClick(child(dialog, name), key);
                QVERIFY2(dialog.isVisible(), name);
            }
        }
        QCOMPARE(folder.read("set.txt"), std::string("0\r\n0\r\n"));
    }

    void failedWriteIsReportedAndTheDialogCloses() {
        testsupport::TempFolder folder;
        const std::string missing = folder / "no such folder";
        testsupport::MessageRecorder messages;
        Setting dialog{state::StateFiles(missing)};
        dialog.show();
        QTest::mouseClick(child(dialog, "OKButton"), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(messages.messages.size(), 1u);
        QCOMPARE(messages.messages[0].style, platform::vbCritical);
        QCOMPARE(messages.messages[0].title, std::string("Pavendel"));
        const std::string& prompt = messages.messages[0].prompt;
        QVERIFY2(prompt.find(missing + "/set.txt") != std::string::npos, prompt.c_str());
        QVERIFY2(prompt.find(std::strerror(ENOENT)) != std::string::npos, prompt.c_str());
    }
};

QTEST_MAIN(SettingTest)
#include "setting_test.moc"
