// SPDX-License-Identifier: MIT
// Renders the main window, with a few entries in its lists, into a PNG file:
//   pavendel-render-window docs/main-window.png
// It runs on the offscreen platform unless another one is asked for, and reads and writes no
// state files of the user.
#include <QApplication>
#include <QPixmap>
#include <QTemporaryDir>
#include <cstdio>

#include "app/form1.h"

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: pavendel-render-window OUTPUT.png\n");
        return 2;
    }

    QTemporaryDir stateFolder;
    if (!stateFolder.isValid()) {
        std::fprintf(stderr, "pavendel-render-window: cannot create a temporary folder\n");
        return 1;
    }
    app::form1 window(state::StateFiles(stateFolder.path().toStdString()));
    core::MainControls controls = window.controls();

    const struct {
        const char* path;
        int icon;
    } sources[] = {
        {"/home/anna/Documents/Reports", app::form1::kImageFolder},
        {"/home/anna/Documents/Letters/Offer 2024.docx", app::form1::kImageDocument},
        {"/home/anna/Desktop/Minutes of the board.doc", app::form1::kImageDocument},
        {"/media/usb/Archive", app::form1::kImageMissing},
    };
    for (const auto& source : sources) {
        controls.ListView1.append(source.path);
        controls.ListView1.setSmallIcon(controls.ListView1.count(), source.icon);
    }
    controls.ListView1.select(1);

    const char* const documents[] = {"Annual report.docx", "Budget 2024.doc",
                                     "Quarterly summary.docx", "Staff survey.doc"};
    for (const char* document : documents) {
        controls.ListView2.append(document);
        controls.ListView2.setChecked(controls.ListView2.count(), true);
    }
    controls.ListView2.setChecked(3, false);

    controls.Combo2.insert(0, "/home/anna/Documents/Converted");
    controls.Combo2.insert(1, "/home/anna/Desktop/RTF");
    controls.Combo2.setCurrentPosition(0);
    controls.ProgressBar1.setMaximum(4);
    controls.ProgressBar1.setValue(1);

    window.show();
    QApplication::processEvents();
    const QPixmap picture = window.grab();
    if (!picture.save(arguments.at(1), "PNG")) {
        std::fprintf(stderr, "pavendel-render-window: cannot write %s\n",
                     arguments.at(1).toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
