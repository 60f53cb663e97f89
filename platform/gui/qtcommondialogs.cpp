// SPDX-License-Identifier: MIT
#include "platform/gui/qtcommondialogs.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QGuiApplication>
#include <QPageSetupDialog>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QWidget>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>

#include "platform/commdlg.h"
#include "platform/gui/qtplatform.h"
#include "platform/msgbox.h"

namespace platform::gui {

std::optional<std::string> ExactChosenPath(const QString& chosen, bool mayBeNew) {
    std::string path = FromQString(chosen);
    if (!chosen.contains(QChar::ReplacementCharacter)) {
        return path;
    }
    // A name may hold U+FFFD for real; then the path names what was chosen.
    std::string mustExist = path;
    if (mayBeNew) {
        mustExist = path.substr(0, std::max<std::size_t>(path.rfind('/'), 1));
    }
    struct stat info {};
    if (::lstat(mustExist.c_str(), &info) == 0) {
        return path;
    }
    MsgBox("\"" + path +
               "\" cannot be used: its name, or the name of a folder above it, is not valid "
               "UTF-8 text, and the dialog cannot hand it back exactly. Rename it, or choose "
               "another.",
           vbCritical, "Pavendel");
    return std::nullopt;
}

namespace {

// The description and pattern pieces as Qt name filters, "description (*.a *.b)". The dialog is
// told to show the description alone, so the user sees the pieces as written.
QStringList nameFilters(const char* list) {
    QStringList pieces;
    for (const char* piece = list; piece != nullptr && *piece != '\0';
         piece += std::strlen(piece) + 1) {
        pieces.append(ToQString(piece));
    }
    QStringList filters;
    for (qsizetype i = 0; i + 1 < pieces.size(); i += 2) {
        QStringList patterns = pieces[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            pattern = pattern.trimmed();
        }
        filters.append(pieces[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')'));
    }
    return filters;
}

// The initial name in the file buffer, without the spaces that pad it.
QString initialFileName(const OPENFILENAME& record) {
    std::string name(record.lpstrFile,
                     ::strnlen(record.lpstrFile, CharBufferBytes(record.nMaxFile)));
    name.erase(name.find_last_not_of(' ') + 1);
    return ToQString(name);
}

std::optional<std::string> runFileDialog(const OPENFILENAME& record, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(WidgetOf(record.hwndOwner));
    if (record.lpstrTitle != nullptr) {
        dialog.setWindowTitle(ToQString(record.lpstrTitle));
    }
    dialog.setAcceptMode(mode);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    const QStringList filters = nameFilters(record.lpstrFilter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const qsizetype index = record.nFilterIndex > 0 ? record.nFilterIndex - 1 : 0;
        dialog.selectNameFilter(filters.value(index, filters.first()));
    }
    if (mode == QFileDialog::AcceptOpen) {
        dialog.setFileMode((record.Flags & OFN_FILEMUSTEXIST) != 0 ? QFileDialog::ExistingFile
                                                                   : QFileDialog::AnyFile);
    } else {
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite,
                         (record.Flags & OFN_OVERWRITEPROMPT) == 0);
    }
    if (record.lpstrDefExt != nullptr && *record.lpstrDefExt != '\0') {
        dialog.setDefaultSuffix(ToQString(record.lpstrDefExt));
    }
    if (record.lpstrInitialDir != nullptr && *record.lpstrInitialDir != '\0') {
        dialog.setDirectory(ToQString(record.lpstrInitialDir));
    }
    if (const QString name = initialFileName(record); !name.isEmpty()) {
        dialog.selectFile(name);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return ExactChosenPath(dialog.selectedFiles().constFirst(), mode == QFileDialog::AcceptSave);
}

QColor toQColor(COLORREF color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

COLORREF toColorRef(const QColor& color) {
    return static_cast<COLORREF>(color.red()) | static_cast<COLORREF>(color.green()) << 8 |
           static_cast<COLORREF>(color.blue()) << 16;
}

class QtCommonDialogs final : public CommonDialogBackend {
 public:
    std::optional<std::string> getOpenFileName(const OPENFILENAME& record) override {
        return runFileDialog(record, QFileDialog::AcceptOpen);
    }

    std::optional<std::string> getSaveFileName(const OPENFILENAME& record) override {
        return runFileDialog(record, QFileDialog::AcceptSave);
    }

    // The tree starts at the given root, or at the home folder, the desktop's own folder here.
    std::optional<std::string> browseForFolder(const BROWSEINFO& info) override {
        QFileDialog dialog(WidgetOf(info.hwndOwner));
        if (info.lpszTitle != nullptr) {
            dialog.setWindowTitle(ToQString(info.lpszTitle));
        }
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        std::string root(CharBufferBytes(MAX_PATH), '\0');
        dialog.setDirectory(SHGetPathFromIDList(info.pidlRoot, root.data())
                                ? ToQString(root.substr(0, root.find('\0')))
                                : QDir::homePath());
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return {};
        }
        return ExactChosenPath(dialog.selectedFiles().constFirst(), false);
    }

    // Qt's colour dialog always shows its colour editor: CC_FULLOPEN has nothing to unfold.
    BOOL chooseColor(CHOOSECOLOR& record) override {
        const int custom = std::min(QColorDialog::customCount(), 16);
        for (int i = 0; i < custom; ++i) {
            QColorDialog::setCustomColor(i, toQColor(record.lpCustColors[i]));
        }
        QColorDialog dialog(WidgetOf(record.hwndOwner));
        dialog.setCurrentColor((record.Flags & CC_RGBINIT) != 0 ? toQColor(record.rgbResult)
                                                                : QColor(Qt::black));
        if (dialog.exec() != QDialog::Accepted) {
            return 0;
        }
        record.rgbResult = toColorRef(dialog.selectedColor());
        for (int i = 0; i < custom; ++i) {
            record.lpCustColors[i] = toColorRef(QColorDialog::customColor(i));
        }
        return 1;
    }

    // Sizes cross between points and the LOGFONT's pixel heights at the screen's resolution.
    // The printer context is not consulted: the dialog offers every font of the desktop.
    BOOL chooseFont(CHOOSEFONT& record) override {
        LOGFONT& logFont = *record.lpLogFont;
        const bool effects = (record.Flags & CF_EFFECTS) != 0;
        const int dpi = screenDpi(QGuiApplication::primaryScreen());
        QFont initial;
        if ((record.Flags & CF_INITTOLOGFONTSTRUCT) != 0) {
            if (const std::string face = FaceName(logFont); !face.empty()) {
                initial.setFamilies({ToQString(face)});
            }
            if (logFont.lfHeight != 0 && dpi > 0) {
                initial.setPointSize(std::max(1, MulDiv(std::abs(logFont.lfHeight), 72, dpi)));
            }
            if (logFont.lfWeight > 0) {
                initial.setWeight(static_cast<QFont::Weight>(std::min(logFont.lfWeight, 1000)));
            }
            initial.setItalic(logFont.lfItalic != 0);
            if (effects) {
                initial.setUnderline(logFont.lfUnderline != 0);
                initial.setStrikeOut(logFont.lfStrikeOut != 0);
            }
        }
        QFontDialog dialog(initial, WidgetOf(record.hwndOwner));
        if (!effects) {
            // Underline and strike-out sit in one group of check boxes; hide that group.
            for (QCheckBox* box : dialog.findChildren<QCheckBox*>()) {
                box->parentWidget()->hide();
            }
        }
        if (dialog.exec() != QDialog::Accepted) {
            return 0;
        }
        const QFont chosen = dialog.selectedFont();
        const int tenths = chosen.pointSizeF() > 0
                               ? static_cast<int>(std::lround(chosen.pointSizeF() * 10))
                               : MulDiv(chosen.pixelSize(), 720, dpi);
        SetFaceName(logFont, FromQString(chosen.family()));
        logFont.lfHeight = -MulDiv(tenths, dpi, 720);
        // Qt's weights use the same 100 to 900 scale.
        logFont.lfWeight = chosen.weight();
        logFont.lfItalic = chosen.italic() ? 1 : 0;
        if (effects) {
            logFont.lfUnderline = chosen.underline() ? 1 : 0;
            logFont.lfStrikeOut = chosen.strikeOut() ? 1 : 0;
        }
        record.iPointSize = tenths;
        const bool bold = chosen.weight() >= QFont::DemiBold;
        record.nFontType =
            static_cast<WORD>(SCREEN_FONTTYPE | (bold ? BOLD_FONTTYPE : REGULAR_FONTTYPE) |
                              (chosen.italic() ? ITALIC_FONTTYPE : 0));
        return 1;
    }

    BOOL printDlg(PRINTDLG& record) override {
        QPrinter printer;
        QPrintDialog dialog(&printer, WidgetOf(record.hwndOwner));
        dialog.setOption(QAbstractPrintDialog::PrintToFile,
                         (record.Flags & PD_HIDEPRINTTOFILE) == 0);
        dialog.setOption(QAbstractPrintDialog::PrintSelection,
                         (record.Flags & PD_NOSELECTION) == 0);
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, (record.Flags & PD_NOPAGENUMS) == 0);
        return dialog.exec() == QDialog::Accepted ? 1 : 0;
    }

    std::string defaultPrinterName() override {
        return FromQString(QPrinterInfo::defaultPrinterName());
    }

    // One context per printer for the life of the program, as the printer owns it.
    HDC defaultPrinterDC() override {
        const QString name = QPrinterInfo::defaultPrinterName();
        if (name.isEmpty()) {
            return 0;
        }
        for (const auto& [handle, context] : m_contexts) {
            if (context.printer == name) {
                return handle;
            }
        }
        return addContext({nullptr, name});
    }

    BOOL openPrinter(const std::string& name, HANDLE& printer, const PRINTER_DEFAULTS*) override {
        const QString printerName = ToQString(name);
        if (QPrinterInfo::printerInfo(printerName).isNull()) {
            return 0;
        }
        printer = m_nextHandle++;
        m_printers[printer] = printerName;
        return 1;
    }

    // Qt offers no printer property sheet of its own; its page set-up dialog for that printer
    // (paper, orientation, margins) stands in.
    BOOL printerProperties(Hwnd owner, HANDLE printer) override {
        const auto found = m_printers.find(printer);
        if (found == m_printers.end()) {
            return 0;
        }
        QPrinter device(QPrinterInfo::printerInfo(found->second));
        QPageSetupDialog dialog(&device, WidgetOf(owner));
        return dialog.exec() == QDialog::Accepted ? 1 : 0;
    }

    BOOL closePrinter(HANDLE printer) override { return m_printers.erase(printer) > 0 ? 1 : 0; }

    // The desktop is the window of no widget: dialogs it owns open on their own, and its device
    // context is the primary screen's.
    Hwnd getDesktopWindow() override { return kNoWindow; }

    HDC getDC(Hwnd window) override {
        QWidget* widget = WidgetOf(window);
        QScreen* screen = widget != nullptr ? widget->screen() : QGuiApplication::primaryScreen();
        return screen != nullptr ? addContext({screen, QString()}) : 0;
    }

    int releaseDC(Hwnd, HDC dc) override {
        const auto found = m_contexts.find(dc);
        if (found == m_contexts.end() || !found->second.printer.isEmpty()) {
            return 0;
        }
        m_contexts.erase(found);
        return 1;
    }

    int getDeviceCaps(HDC dc, int index) override {
        const auto found = m_contexts.find(dc);
        if (found == m_contexts.end() || (index != LOGPIXELSX && index != LOGPIXELSY)) {
            return 0;
        }
        const DeviceContext& context = found->second;
        if (!context.printer.isEmpty()) {
            QPrinter device(QPrinterInfo::printerInfo(context.printer), QPrinter::HighResolution);
            return device.resolution();
        }
        if (context.screen.isNull()) {
            return 0;
        }
        return index == LOGPIXELSX ? qRound(context.screen->logicalDotsPerInchX())
                                   : screenDpi(context.screen);
    }

 private:
    struct DeviceContext {
        QPointer<QScreen> screen;
        QString printer;
    };

    static int screenDpi(const QScreen* screen) {
        return screen != nullptr ? qRound(screen->logicalDotsPerInchY()) : 96;
    }

    HDC addContext(DeviceContext context) {
        const HDC handle = m_nextHandle++;
        m_contexts.emplace(handle, std::move(context));
        return handle;
    }

    std::uintptr_t m_nextHandle = 0x100;
    std::map<HDC, DeviceContext> m_contexts;
    std::map<HANDLE, QString> m_printers;
};

}  // namespace

void InstallQtCommonDialogs() {
    static QtCommonDialogs backend;
    SetCommonDialogBackend(&backend);
}

}  // namespace platform::gui
