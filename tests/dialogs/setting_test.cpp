// SPDX-License-Identifier: MIT
#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <cstring>
#include <filesystem>

#include "dialogs/recorders.h"
#include "dialogs/setting.h"
#include "dialogs/twips.h"
#include "support/tempfolder.h"

using dialogs::Setting;

namespace {

QByteArray readBytes(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes set.txt unless `contents` is null, which stands for a missing file.
void store(const testsupport::TempFolder& folder, const QByteArray& contents) {
    if (!contents.isNull()) {
        folder.write("set.txt", contents.toStdString());
    }
}

template <typename T>
T* child(const QWidget& dialog, const char* name) {
    T* found = dialog.findChild<T*>(QLatin1String(name));
    if (found == nullptr) {
        qFatal("no control %s", name);
    }
    return found;
}

}  // namespace

class SettingTest : public QObject {
    Q_OBJECT

 private Q_SLOTS:
    void initTestCase() {
        // The expected pixel positions below are for the offscreen screen's 96 dots per inch.
        QCOMPARE(QWidget().logicalDpiX(), 96);
    }
    void cleanup() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void twipsToPixels_data() {
        QTest::addColumn<int>("twips");
        QTest::addColumn<int>("dpi");
        QTest::addColumn<int>("pixels");
        QTest::newRow("one inch") << 1440 << 96 << 96;
        QTest::newRow("exact") << 2760 << 96 << 184;
        QTest::newRow("rounds down") << 3756 << 96 << 250;
        QTest::newRow("rounds up") << 3732 << 96 << 249;
        QTest::newRow("half rounds up") << 1320 << 96 << 88;
        QTest::newRow("below half a pixel") << 7 << 96 << 0;
        QTest::newRow("120 dpi") << 370 << 120 << 31;
        QTest::newRow("144 dpi") << 1215 << 144 << 122;
    }
    void twipsToPixels() {
        QFETCH(int, twips);
        QFETCH(int, dpi);
        QFETCH(int, pixels);
        QCOMPARE(dialogs::TwipsToPixels(twips, dpi), pixels);
    }

    void window() {
        testsupport::TempFolder folder;
        Setting dialog{state::StateFiles(folder.path())};
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Setting"));
        QCOMPARE(dialog.geometry(), QRect(184, 250, 249, 104));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QCOMPARE(dialog.parentWidget(), nullptr);
        QCOMPARE(dialog.windowType(), Qt::Dialog);
        QVERIFY(!(dialog.windowFlags() &
                  (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QVERIFY(!dialog.windowIcon().isNull());
        QCOMPARE(dialog.font().family(), QStringLiteral("Arial"));
        QCOMPARE(dialog.font().pointSizeF(), 8.4);
    }

    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("OK") << "OKButton"
                            << "OK" << QRect(24, 72, 81, 25);
        QTest::newRow("Cancel") << "CancelButton"
                                << "Cancel" << QRect(136, 72, 81, 25);
        QTest::newRow("first box")
            << "Check1"
            << "Automatically save the current file" << QRect(24, 16, 193, 25);
        QTest::newRow("second box")
            << "Check2"
            << "Automatically save the output directory" << QRect(24, 40, 209, 17);
    }
    void controls() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QRect, geometry);
        testsupport::TempFolder folder;
        Setting dialog{state::StateFiles(folder.path())};
        auto* control = dialog.findChild<QAbstractButton*>(name);
        QVERIFY(control != nullptr);
        QCOMPARE(control->text(), caption);
        QCOMPARE(control->geometry(), geometry);
    }

    // The first caption ends in a line break; shown, it must take one line like the second.
    void firstCaptionShowsOnOneLine() {
        testsupport::TempFolder folder;
        Setting dialog{state::StateFiles(folder.path())};
        QCOMPARE(child<QCheckBox>(dialog, "Check1")->sizeHint().height(),
                 child<QCheckBox>(dialog, "Check2")->sizeHint().height());
    }

    void tabOrderAndFocus() {
        testsupport::TempFolder folder;
        Setting dialog{state::StateFiles(folder.path())};
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* ok = child<QPushButton>(dialog, "OKButton");
        QCOMPARE(QApplication::focusWidget(), ok);
        QStringList order;
        for (QWidget* w = ok->nextInFocusChain(); w != ok; w = w->nextInFocusChain()) {
            if (w->focusPolicy() & Qt::TabFocus) {
                order << w->objectName();
            }
        }
        QCOMPARE(order, QStringList({QStringLiteral("CancelButton"), QStringLiteral("Check1"),
                                     QStringLiteral("Check2")}));
    }

    void okWritesWhatTheFileShowed_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("check1");
        QTest::addColumn<bool>("check2");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("1 and 0") << QByteArray("1\r\n0\r\n") << true << false
                                 << QByteArray("1\r\n0\r\n");
        QTest::newRow("0 and 1, LF ends")
            << QByteArray("0\n1\n") << false << true << QByteArray("0\r\n1\r\n");
        QTest::newRow("word true")
            << QByteArray("true\r\n1\r\n") << false << true << QByteArray("0\r\n1\r\n");
        QTest::newRow("1 and a space")
            << QByteArray("1 \r\n1 \r\n") << false << false << QByteArray("0\r\n0\r\n");
        QTest::newRow("01") << QByteArray("01\r\n1\r\n") << false << true
                            << QByteArray("0\r\n1\r\n");
        QTest::newRow("empty file") << QByteArray("") << false << false << QByteArray("0\r\n0\r\n");
        QTest::newRow("missing file") << QByteArray() << false << false << QByteArray("0\r\n0\r\n");
        QTest::newRow("first line only")
            << QByteArray("1\r\n") << true << false << QByteArray("1\r\n0\r\n");
        QTest::newRow("empty first line")
            << QByteArray("\r\n1\r\n") << false << true << QByteArray("0\r\n1\r\n");
        QTest::newRow("last line unterminated")
            << QByteArray("1\r\n1") << true << true << QByteArray("1\r\n1\r\n");
        QTest::newRow("extra lines dropped")
            << QByteArray("1\r\n1\r\n1\r\nmore\r\n") << true << true << QByteArray("1\r\n1\r\n");
    }
    void okWritesWhatTheFileShowed() {
        QFETCH(QByteArray, stored);
        QFETCH(bool, check1);
        QFETCH(bool, check2);
        QFETCH(QByteArray, written);
        testsupport::TempFolder folder;
        store(folder, stored);
        Setting dialog{state::StateFiles(folder.path())};
        dialog.show();
        QCOMPARE(child<QCheckBox>(dialog, "Check1")->isChecked(), check1);
        QCOMPARE(child<QCheckBox>(dialog, "Check2")->isChecked(), check2);

        QTest::mouseClick(child<QPushButton>(dialog, "OKButton"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(readBytes(folder / "set.txt"), written);
        // Replaced atomically: no temporary file is left beside it.
        QCOMPARE(std::distance(std::filesystem::directory_iterator(folder.path()),
                               std::filesystem::directory_iterator()),
                 1);
    }

    void okWritesTheBoxesAsTicked() {
        testsupport::TempFolder folder;
        folder.write("set.txt", "1\r\n0\r\n");
        Setting dialog{state::StateFiles(folder.path())};
        dialog.show();
        QTest::mouseClick(child<QCheckBox>(dialog, "Check1"), Qt::LeftButton);
        QTest::mouseClick(child<QCheckBox>(dialog, "Check2"), Qt::LeftButton);
        QCOMPARE(folder.read("set.txt"), std::string("1\r\n0\r\n"));  // nothing stored yet
        QTest::mouseClick(child<QPushButton>(dialog, "OKButton"), Qt::LeftButton);
        QCOMPARE(folder.read("set.txt"), std::string("0\r\n1\r\n"));
    }

    void closingWithoutOkLeavesTheFile_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("byCancel");
        QTest::newRow("Cancel, odd file") << QByteArray("1 \ntrue\r\n1\r\nmore") << true;
        QTest::newRow("Cancel, missing file") << QByteArray() << true;
        QTest::newRow("window closed") << QByteArray("1\r\n0\r\n") << false;
    }
    void closingWithoutOkLeavesTheFile() {
        QFETCH(QByteArray, stored);
        QFETCH(bool, byCancel);
        testsupport::TempFolder folder;
        store(folder, stored);
        const state::StateFiles files(folder.path());
        bool shown1 = false;
        bool shown2 = false;
        {
            Setting dialog(files);
            dialog.show();
            auto* check1 = child<QCheckBox>(dialog, "Check1");
            auto* check2 = child<QCheckBox>(dialog, "Check2");
            shown1 = check1->isChecked();
            shown2 = check2->isChecked();
            QTest::mouseClick(check1, Qt::LeftButton);
            QTest::mouseClick(check2, Qt::LeftButton);
            if (byCancel) {
                QTest::mouseClick(child<QPushButton>(dialog, "CancelButton"), Qt::LeftButton);
            } else {
                QVERIFY(dialog.close());
            }
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            QVERIFY(!dialog.isVisible());
        }
        QCOMPARE(readBytes(folder / "set.txt"), stored);
        QCOMPARE(std::filesystem::exists(folder / "set.txt"), !stored.isNull());

        Setting reopened(files);
        QCOMPARE(child<QCheckBox>(reopened, "Check1")->isChecked(), shown1);
        QCOMPARE(child<QCheckBox>(reopened, "Check2")->isChecked(), shown2);
    }

    void enterAndEscapeDoNothing_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Escape") << int(Qt::Key_Escape);
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("Enter") << int(Qt::Key_Enter);
    }
    void enterAndEscapeDoNothing() {
        QFETCH(int, key);
        testsupport::TempFolder folder;
        folder.write("set.txt", "0\r\n0\r\n");
        Setting dialog{state::StateFiles(folder.path())};
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* check1 = child<QCheckBox>(dialog, "Check1");
        QTest::mouseClick(check1, Qt::LeftButton);
        for (QWidget* target : {static_cast<QWidget*>(child<QPushButton>(dialog, "OKButton")),
                                static_cast<QWidget*>(child<QPushButton>(dialog, "CancelButton")),
                                static_cast<QWidget*>(check1)}) {
            target->setFocus();
            QTest::keyClick(target, Qt::Key(key));
            QVERIFY2(dialog.isVisible(), qPrintable(target->objectName()));
        }
        QCOMPARE(folder.read("set.txt"), std::string("0\r\n0\r\n"));
    }

    void failedWriteIsReportedAndTheDialogCloses() {
        testsupport::TempFolder folder;
        const std::string missing = folder / "no such folder";
        testsupport::MessageBoxRecorder messages;
        Setting dialog{state::StateFiles(missing)};
        dialog.show();
        QTest::mouseClick(child<QPushButton>(dialog, "OKButton"), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(messages.calls().size(), 1u);
        const testsupport::MessageBoxCall& call = messages.calls().front();
        QCOMPARE(call.style, platform::vbCritical);
        QCOMPARE(call.title, std::string("Pavendel"));
        QVERIFY2(call.prompt.find(missing + "/set.txt") != std::string::npos, call.prompt.c_str());
        QVERIFY2(call.prompt.find(std::strerror(ENOENT)) != std::string::npos, call.prompt.c_str());
    }
};

QTEST_MAIN(SettingTest)
#include "setting_test.moc"
