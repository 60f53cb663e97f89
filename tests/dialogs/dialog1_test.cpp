// SPDX-License-Identifier: MIT
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "dialogs/dialog1.h"
#include "dialogs/programicon.h"
#include "dialogs/recorders.h"
#include "platform/gui/qtplatform.h"

using dialogs::Dialog1;

class Dialog1Test : public QObject {
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

    void window() {
        Dialog1 box;
        QCOMPARE(box.windowTitle(), QStringLiteral("About us"));
        QCOMPARE(box.geometry(), QRect(184, 240, 327, 274));
        QCOMPARE(box.minimumSize(), box.maximumSize());
        QCOMPARE(box.parentWidget(), nullptr);
        QCOMPARE(box.windowType(), Qt::Dialog);
        QVERIFY(
            !(box.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QVERIFY(!box.windowIcon().isNull());
    }

    // A null text stands for a notice whose wording is ours and may change.
    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<qreal>("points");
        const QString box;
        const QString frame = QStringLiteral("Frame1");
        QTest::newRow("OK") << "OKButton" << box << "OK" << QRect(8, 240, 81, 25) << 8.4;
        QTest::newRow("name") << "Label1" << box << "Pavendel" << QRect(56, 16, 137, 17) << 8.4;
        QTest::newRow("version") << "Label4" << box << "Version:2009.9.9" << QRect(56, 32, 97, 17)
                                 << 8.4;
        QTest::newRow("legal notice")
            << "Label5" << box << QString() << QRect(8, 152, 313, 73) << 8.4;
        QTest::newRow("frame") << "Frame1" << box << "" << QRect(16, 64, 297, 73) << 8.4;
        QTest::newRow("support caption")
            << "Label3" << frame << "Technical Support:" << QRect(8, 16, 113, 17) << 8.4;
        QTest::newRow("support link")
            << "Label2" << frame << "support@example.org" << QRect(120, 16, 153, 17) << 9.0;
        QTest::newRow("website caption")
            << "Label7" << frame << " Website:" << QRect(8, 32, 57, 17) << 8.4;
        QTest::newRow("home page link")
            << "Label8" << frame << "pavendel.example.org/" << QRect(120, 32, 129, 17) << 9.0;
        QTest::newRow("owner notice")
            << "Label6" << frame << QString() << QRect(8, 48, 209, 17) << 9.0;
    }
    void controls() {
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(QString, text);
        QFETCH(QRect, geometry);
        QFETCH(qreal, points);
        Dialog1 box;
        QWidget* control = box.findChild<QWidget*>(name);
        QVERIFY(control != nullptr);
        QCOMPARE(control->parentWidget()->objectName(), parent);
        QCOMPARE(control->geometry(), geometry);
        QCOMPARE(control->font().family(), QStringLiteral("Arial"));
        QCOMPARE(control->font().pointSizeF(), points);
        QString shown;
        if (auto* label = qobject_cast<QLabel*>(control)) {
            shown = label->text();
        } else if (auto* button = qobject_cast<QPushButton*>(control)) {
            shown = button->text();
        } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
            shown = group->title();
        }
        if (text.isNull()) {
            QVERIFY(!shown.trimmed().isEmpty());
        } else {
            QCOMPARE(shown, text);
        }
    }

    // Nothing a label shows may be cut off at its edge.
    void textsFitTheirLabels() {
        Dialog1 box;
        const QList<QLabel*> labels = box.findChildren<QLabel*>();
        QCOMPARE(labels.size(), 8);
        for (const QLabel* label : labels) {
            const QRect needed = label->fontMetrics().boundingRect(
                QRect(QPoint(0, 0), label->size()), label->wordWrap() ? int(Qt::TextWordWrap) : 0,
                label->text());
            QVERIFY2(needed.width() <= label->width() && needed.height() <= label->height(),
                     qPrintable(label->objectName()));
        }
    }

    void links_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("showCommand");
        QTest::newRow("support") << "Label2"
                                 << "mailto:support@example.org" << platform::SW_SHOWMAXIMIZED;
        QTest::newRow("home page") << "Label8"
                                   << "https://pavendel.example.org/" << platform::SW_SHOW;
    }
    void links() {
        QFETCH(QString, name);
        QFETCH(QString, file);
        QFETCH(int, showCommand);
        testsupport::ShellRecorder shell;
        Dialog1 box;
        box.show();
        auto* link = box.findChild<QLabel*>(name);
        QVERIFY(link != nullptr);

        QCOMPARE(link->palette().color(QPalette::WindowText),
                 QApplication::palette().color(QPalette::Highlight));
        const QCursor hand = link->cursor();
        QCOMPARE(hand.shape(), Qt::BitmapCursor);
        QCOMPARE(hand.hotSpot(), QPoint(12, 1));
        const QImage picture = hand.pixmap().toImage();
        QCOMPARE(picture.size(), QSize(32, 32));
        // The hot spot is the fingertip: drawn, not a transparent pixel.
        QCOMPARE(qAlpha(picture.pixel(12, 1)), 255);

        QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(shell.calls().size(), 1u);
        const testsupport::ShellCall& call = shell.calls().front();
        QCOMPARE(call.owner, platform::gui::HwndOf(&box));
        QCOMPARE(call.operation, std::string("open"));
        QCOMPARE(platform::gui::ToQString(call.file), file);
        QCOMPARE(call.parameters, std::string());
        QCOMPARE(call.directory, std::string());
        QCOMPARE(call.showCommand, showCommand);
        QVERIFY(box.isVisible());
    }

    // A press that leaves the link before the release is no click.
    void pressDraggedOffALinkOpensNothing() {
        testsupport::ShellRecorder shell;
        Dialog1 box;
        box.show();
        auto* link = box.findChild<QLabel*>(QStringLiteral("Label8"));
        QTest::mousePress(link, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(link->width() + 20, 5));
        QVERIFY(shell.calls().empty());
    }

    void iconIsDrawnAtTheTopLeft() {
        Dialog1 box;
        const QImage shown =
            box.grab(QRect(0, 0, 48, 48)).toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage icon =
            dialogs::ProgramPixmap(48).toImage().convertToFormat(QImage::Format_ARGB32);
        int opaque = 0;
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 48; ++x) {
                if (qAlpha(icon.pixel(x, y)) == 255) {
                    ++opaque;
                    QCOMPARE(shown.pixel(x, y), icon.pixel(x, y));
                }
            }
        }
        QVERIFY(opaque > 48 * 48 / 2);
    }

    void okCloses() {
        Dialog1 box;
        box.show();
        QTest::mouseClick(box.findChild<QPushButton*>(QStringLiteral("OKButton")), Qt::LeftButton);
        QVERIFY(!box.isVisible());
        QCOMPARE(box.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(Dialog1Test)
#include "dialog1_test.moc"
