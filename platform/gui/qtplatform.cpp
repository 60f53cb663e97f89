// SPDX-License-Identifier: MIT
#include "platform/gui/qtplatform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>
#include <QWidget>
#include <iostream>
#include <vector>

#include <sys/stat.h>

#include "platform/msgbox.h"
#include "platform/shell.h"
#include "platform/systemtext.h"

namespace platform::gui {

Hwnd HwndOf(QWidget* widget) {
    return reinterpret_cast<Hwnd>(widget);
}

QWidget* WidgetOf(Hwnd handle) {
    return reinterpret_cast<QWidget*>(handle);
}

QString ToQString(const std::string& text) {
    // Runs of valid UTF-8 are decoded as such; a byte that is not shows as the Latin-1 letter it
    // stands for, which is what such names usually are ("caf\xE9.doc" reads as "café.doc").
    if (IsValidUtf8(text)) {
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    QString shown;
    std::string_view rest(text);
    while (!rest.empty()) {
        const std::size_t valid = ValidUtf8Prefix(rest);
        shown += QString::fromUtf8(rest.data(), static_cast<qsizetype>(valid));
        if (valid < rest.size()) {
            shown += QChar(static_cast<char16_t>(static_cast<unsigned char>(rest[valid])));
            rest.remove_prefix(valid + 1);
        } else {
            rest = {};
        }
    }
    return shown;
}

std::string FromQString(const QString& text) {
    return text.toUtf8().toStdString();
}

namespace {

// The boxes whose exec() is under way, innermost last, and whether boxes have been ended. Only
// the user-interface thread shows boxes.
std::vector<QMessageBox*>& openBoxes() {
    static std::vector<QMessageBox*> boxes;
    return boxes;
}

bool g_boxesEnded = false;

// A box that is in exec() for the object's lifetime.
class OpenBox {
 public:
    explicit OpenBox(QMessageBox& box) : m_box(box) { openBoxes().push_back(&box); }
    ~OpenBox() { std::erase(openBoxes(), &m_box); }
    OpenBox(const OpenBox&) = delete;
    OpenBox& operator=(const OpenBox&) = delete;

 private:
    QMessageBox& m_box;
};

int showMessageBox(const std::string& prompt, int style, const std::string& title) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (style & 0x70) {
        case vbCritical:
            icon = QMessageBox::Critical;
            break;
        case vbQuestion:
            icon = QMessageBox::Question;
            break;
        case vbExclamation:
            icon = QMessageBox::Warning;
            break;
        case vbInformation:
            icon = QMessageBox::Information;
            break;
        default:
            break;
    }
    const bool yesNo = (style & 0x0F) == vbYesNo;
    const int escapeAnswer = yesNo ? vbNo : vbOK;
    if (g_boxesEnded) {
        std::cerr << title << ": " << prompt << '\n';
        return escapeAnswer;
    }
    QMessageBox box(icon, ToQString(title), ToQString(prompt),
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                    QApplication::activeWindow());
    // Prompts quote file names, which may look like markup ("<b>x</b>.doc"): shown as written.
    box.setTextFormat(Qt::PlainText);
    if (yesNo) {
        // Esc and the title bar's close button answer No.
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
    }
    const OpenBox open(box);
    const int pressed = box.exec();
    // A box closed by EndMessageBoxes() answers as Esc would, whatever it was showing.
    if (g_boxesEnded) {
        return escapeAnswer;
    }
    return !yesNo ? vbOK : pressed == QMessageBox::Yes ? vbYes : vbNo;
}

// The desktop decides how the opened program's window is shown, so the show command is not
// passed on. A text with a scheme ("https:", "mailto:") is an address; anything else a path.
std::intptr_t openWithDesktop(Hwnd, const std::string& operation, const std::string& file,
                              const std::string&, const std::string&, int) {
    if (operation != "open" || file.empty()) {
        return 2;
    }
    QUrl url;
    if (file.front() == '/') {
        // The address is made from the path's bytes, so that a folder whose name is not UTF-8
        // opens too.
        struct stat info {};
        if (::stat(file.c_str(), &info) != 0) {
            return 2;
        }
        url = QUrl::fromEncoded(
            QByteArrayLiteral("file://") + QByteArray::fromStdString(file).toPercentEncoding("/"),
            QUrl::StrictMode);
    } else {
        const QString text = ToQString(file);
        url = QUrl(text, QUrl::StrictMode);
        if (!url.isValid() || url.scheme().isEmpty()) {
            url = QUrl::fromLocalFile(QFileInfo(text).absoluteFilePath());
        }
    }
    return QDesktopServices::openUrl(url) ? 42 : 31;
}

}  // namespace

void InstallQtBackends() {
    g_boxesEnded = false;
    SetMessageBoxBackend(showMessageBox);
    SetShellBackend(openWithDesktop);
}

void EndMessageBoxes() {
    g_boxesEnded = true;
    // Innermost first, as the user would close them. Each exec() returns once the event loops
    // above it have returned; hiding a box ends its loop whether or not it takes the close.
    const std::vector<QMessageBox*> boxes = openBoxes();
    for (auto it = boxes.rbegin(); it != boxes.rend(); ++it) {
        (*it)->close();
        (*it)->hide();
    }
}

}  // namespace platform::gui
