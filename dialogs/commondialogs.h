// SPDX-License-Identifier: MIT
// The program's one wrapper over the desktop's common dialogs. A caller makes an object for one
// dialog, hands it the owner form with Init, sets the input properties, calls a Show operation
// and, when that returns true, reads the result properties:
//
//   CCommonDialogs dialogs;
//   dialogs.Init(form);
//   dialogs.SetTitle("Select Word File");
//   if (dialogs.ShowOpen()) { use(dialogs.FileName()); }
//
// Show operations return false both when the user cancels and when the dialog fails, and then
// leave the result properties as they were. Setters store their argument unchanged, NUL
// characters included; the getters of Title, Path, FileTitle and FileName return the text up to
// its first NUL.
//
// Without Init the dialogs have no owner window and open on their own.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "platform/commdlg.h"
#include "platform/window.h"

class CCommonDialogs {
 public:
    bool FontUnderline() const { return m_fontUnderline; }
    void SetFontUnderline(bool value) { m_fontUnderline = value; }
    bool FontItalic() const { return m_fontItalic; }
    void SetFontItalic(bool value) { m_fontItalic = value; }
    bool FontBold() const { return m_fontBold; }
    void SetFontBold(bool value) { m_fontBold = value; }
    // Points.
    std::int16_t FontSize() const { return m_fontSize; }
    void SetFontSize(std::int16_t value) { m_fontSize = value; }
    std::string FontName() const { return m_fontName; }
    void SetFontName(std::string value) { m_fontName = std::move(value); }
    platform::COLORREF Color() const { return m_color; }
    void SetColor(platform::COLORREF value) { m_color = value; }
    // Default extension of the open dialog.
    std::string DefExt() const { return m_defExt; }
    void SetDefExt(std::string value) { m_defExt = std::move(value); }
    // Caption of the open dialog; prompt of the folder browser.
    std::string Title() const;
    void SetTitle(std::string value) { m_title = std::move(value); }

    // Keeps a reference to the form, without owning it, until Init is called again; its window
    // handle is read afresh by each Show operation.
    void Init(platform::WindowOwner& OwnerForm) { m_ownerForm = &OwnerForm; }

    // Folder of the chosen file, the chosen folder, or the start folder of the save dialog.
    std::string Path() const;
    void SetPath(std::string value) { m_path = std::move(value); }
    // Name without folder of the file chosen in the last confirmed open or save dialog.
    std::string FileTitle() const;
    void SetFileTitle(std::string value) { m_fileTitle = std::move(value); }
    // Filter list of the save dialog: "description|pattern|description|pattern...".
    std::string Filter() const { return m_filter; }
    void SetFilter(std::string value) { m_filter = std::move(value); }
    // Full path of the chosen file; the initial name of the open dialog.
    std::string FileName() const;
    void SetFileName(std::string value) { m_fileName = std::move(value); }

    // The print dialog; nothing chosen in it is read back.
    bool ShowPrinter();
    // The folder browser; sets Path and empties FileName and FileTitle. Path is empty when the
    // chosen item has no path of its own in the file system.
    bool ShowFolder();
    // The colour picker, starting from Color, with its custom colours unfolded when FullOpen.
    bool ShowColor(bool FullOpen);
    // The font picker, starting from the font properties; sets FontName, FontBold, FontItalic and
    // FontSize. Never fails with an error: a step that fails is left out.
    bool ShowFont();
    // The open-file dialog for one existing Word file, starting with FileName; sets FileName,
    // FileTitle and Path. Throws std::invalid_argument, showing nothing, when FileName is longer
    // than 260 characters (UTF-16 code units, however many bytes their UTF-8 takes).
    bool ShowOpen();
    // The property sheet of the default printer; false, showing nothing, when there is none.
    // Never fails with an error.
    bool ShowPrinterProperties();
    // The save dialog, filtered by Filter, starting in Path: the program folder when Path is
    // blank or names no folder that can be listed, which then stays in Path. Sets FileName,
    // FileTitle and Path.
    bool ShowSave();

 private:
    platform::Hwnd ownerWindow() const;

    std::string m_fileTitle;
    std::string m_path;
    std::string m_filter;
    std::string m_fileName;
    platform::COLORREF m_color = 0;
    std::string m_title;
    platform::WindowOwner* m_ownerForm = nullptr;
    std::string m_defExt;
    std::string m_fontName;
    std::int16_t m_fontSize = 0;
    bool m_fontBold = false;
    bool m_fontItalic = false;
    bool m_fontUnderline = false;
};
