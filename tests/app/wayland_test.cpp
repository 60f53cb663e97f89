// SPDX-License-Identifier: MIT
// The program under a Wayland compositor, natively: run by run_under_weston.sh inside a headless
// weston, with Qt's Wayland platform. The main window and a modal dialog must appear (be exposed
// by the compositor), with the window's lists working as anywhere else.
#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <memory>

#include "app/form1.h"
#include "dialogs/dialog1.h"
#include "support/tempfolder.h"

class WaylandTest : public QObject {
    Q_OBJECT

 private Q_SLOTS:
    void runsOnTheCompositorItself() {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("wayland"));
    }

    void theWindowAndADialogAppear() {
        testsupport::TempFolder dir;
        dir.write("state/set.txt", "1\r\n1\r\n");
        dir.write("docs/a.doc");
        app::form1 window(state::StateFiles(dir / "state"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window, 10000));
        window.AddPaths({dir / "docs"});
        QCOMPARE(window.controls().ListView2.count(), 1);

        // The About box is modal: it is looked at, then closed, from within its own loop.
        bool dialogExposed = false;
        QTimer::singleShot(0, [&dialogExposed] {
            QWidget* dialog = QApplication::activeModalWidget();
            dialogExposed = dialog != nullptr && QTest::qWaitForWindowExposed(dialog, 10000) &&
                            dialog->windowHandle() != nullptr &&
                            dialog->windowHandle()->isExposed();
            if (dialog != nullptr) {
                dialog->close();
            }
        });
        dialogs::ShowAbout();
        QVERIFY(dialogExposed);
    }
};

QTEST_MAIN(WaylandTest)
#include "wayland_test.moc"
