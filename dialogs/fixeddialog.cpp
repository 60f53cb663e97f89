// SPDX-License-Identifier: MIT
#include "dialogs/fixeddialog.h"

#include <QGuiApplication>
#include <QScreen>

#include "dialogs/programicon.h"
#include "dialogs/twips.h"

namespace dialogs {

void SetUpFixedDialog(QDialog& dialog, const QString& caption, int left, int top, int width,
                      int height) {
    dialog.setWindowTitle(caption);
    dialog.setWindowIcon(ProgramIcon());
    QFont dialogFont(QStringLiteral("Arial"));
    dialogFont.setPointSizeF(8.4);
    dialog.setFont(dialogFont);

    QRect client = TwipsRect(dialog, left, top, width, height);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        client.translate(screen->geometry().topLeft());
    }
    dialog.setFixedSize(client.size());
    // setGeometry places the client area, not the frame, so the window manager's title bar and
    // borders go around the given rectangle.
    dialog.setGeometry(client);
}

}  // namespace dialogs
