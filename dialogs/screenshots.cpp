// SPDX-License-Identifier: MIT
// Renders the About box and the settings dialog into PNG files for the documentation:
//   pavendel_about_screenshots <folder>
// writes <folder>/about-box.png and <folder>/settings-dialog.png. It runs on any Qt platform,
// offscreen included; a plain caption bar stands in for the window manager's frame.
#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>
#include <cstdio>

#include "dialogs/dialog1.h"
#include "dialogs/setting.h"
#include "platform/gui/qtplatform.h"

namespace {

bool saveWithCaption(QWidget& window, const QString& path) {
    const QPixmap client = window.grab();
    const int border = 4;
    const int caption = 26;
    QPixmap framed(client.width() + 2 * border, client.height() + caption + border);
    framed.fill(window.palette().color(QPalette::Dark));
    QPainter painter(&framed);
    const QRect bar(border, border, client.width(), caption - border);
    painter.fillRect(bar, window.palette().color(QPalette::Highlight));
    window.windowIcon().paint(&painter, QRect(bar.left() + 4, bar.top() + 3, 16, 16));
    painter.setPen(window.palette().color(QPalette::HighlightedText));
    QFont title = window.font();
    title.setBold(true);
    painter.setFont(title);
    painter.drawText(bar.adjusted(26, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                     window.windowTitle());
    painter.drawPixmap(border, caption, client);
    painter.end();
    return framed.save(path);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(platform::gui::ToQString(argv[1]));

    dialogs::Dialog1 about;
    about.show();

    QTemporaryDir stateFolder;
    QFile settings(stateFolder.filePath(QStringLiteral("set.txt")));
    if (!stateFolder.isValid() || !settings.open(QIODevice::WriteOnly) ||
        settings.write("1\r\n0\r\n") != 6) {
        std::fprintf(stderr, "cannot prepare the settings file\n");
        return 1;
    }
    settings.close();
    dialogs::Setting setting{state::StateFiles(platform::gui::FromQString(stateFolder.path()))};
    setting.show();

    const bool saved =
        saveWithCaption(about, folder.filePath(QStringLiteral("about-box.png"))) &&
        saveWithCaption(setting, folder.filePath(QStringLiteral("settings-dialog.png")));
    if (!saved) {
        std::fprintf(stderr, "cannot write the pictures to %s\n", argv[1]);
        return 1;
    }
    return 0;
}
