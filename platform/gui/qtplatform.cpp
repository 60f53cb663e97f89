// SPDX-License-Identifier: MIT
#include "platform/gui/qtplatform.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>
#include <QWidget>

#include "platform/automation.h"
#include "platform/msgbox.h"
#include "platform/shell.h"

namespace platform::gui {

Hwnd HwndOf(QWidget* widget) {
    return reinterpret_cast<Hwnd>(widget);
}

QWidget* WidgetOf(Hwnd handle) {
    return reinterpret_cast<QWidget*>(handle);
}

QString ToQString(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string FromQString(const QString& text) {
    return text.toUtf8().toStdString();
}

namespace {

int showMessageBox(const std::string& prompt, int style, const std::string& title) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    if ((style & 0x70) == vbCritical) {
        icon = QMessageBox::Critical;
    } else if ((style & 0x70) == vbInformation) {
        icon = QMessageBox::Information;
    }
    QMessageBox box(icon, ToQString(title), ToQString(prompt), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
    return vbOK;
}

// The desktop decides how the opened program's window is shown, so the show command is not
// passed on. A text with a scheme ("https:", "mailto:") is an address; anything else a path.
std::intptr_t openWithDesktop(Hwnd, const std::string& operation, const std::string& file,
                              const std::string&, const std::string&, int) {
    if (operation != "open" || file.empty()) {
        return 2;
    }
    const QString text = ToQString(file);
    QUrl url;
    if (text.startsWith(QLatin1Char('/'))) {
        if (!QFileInfo::exists(text)) {
            return 2;
        }
        url = QUrl::fromLocalFile(text);
    } else {
        url = QUrl(text, QUrl::StrictMode);
        if (!url.isValid() || url.scheme().isEmpty()) {
            url = QUrl::fromLocalFile(QFileInfo(text).absoluteFilePath());
        }
    }
    return QDesktopServices::openUrl(url) ? 42 : 31;
}

// While a document converts the window keeps painting, but takes no input: clicks and keys
// wait in the queue until the command has finished, and so do socket notifiers such as a
// termination request.
void repaintWhileWaiting() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                    QEventLoop::ExcludeSocketNotifiers);
}

}  // namespace

void InstallQtBackends() {
    SetMessageBoxBackend(showMessageBox);
    SetShellBackend(openWithDesktop);
    SetAutomationWaitHook(repaintWhileWaiting);
}

}  // namespace platform::gui
