// SPDX-License-Identifier: MIT
#include "dialogs/commondialogs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "platform/paths.h"
#include "platform/testing/scripteddialogs.h"
#include "support/tempfolder.h"

using namespace platform;

namespace {

class Form : public WindowOwner {
 public:
    Hwnd hWnd() const override {
        if (broken) {
            throw std::runtime_error("the form has no window");
        }
        return 0x1234;
    }
    bool broken = false;
};

std::string bytes(const char* text, std::size_t size) {
    return std::string(text, size);
}

// A path written with "/", in the system's separators: /docs/a.doc is \docs\a.doc on Windows.
std::string native(std::string path) {
    std::replace(path.begin(), path.end(), '/', kPathSeparator);
    return path;
}

// A whole buffer for the given count of characters: the text, then NUL bytes.
std::string buffer(std::string text, std::size_t chars) {
    text.resize(CharBufferBytes(chars), '\0');
    return text;
}

class CommonDialogsTest : public ::testing::Test {
 protected:
    CommonDialogsTest() { dialogs.Init(form); }

    ScriptedDialogs desktop;
    Form form;
    CCommonDialogs dialogs;
};

TEST(CCommonDialogs, StartsEmptyAndCutsOnlyTheFourPathTextsAtANul) {
    CCommonDialogs dialogs;
    EXPECT_EQ(dialogs.Color(), 0u);
    EXPECT_EQ(dialogs.FontSize(), 0);
    EXPECT_FALSE(dialogs.FontBold() || dialogs.FontItalic() || dialogs.FontUnderline());

    const std::string text = bytes("before\0after", 12);
    struct Property {
        void (CCommonDialogs::*set)(std::string);
        std::string (CCommonDialogs::*get)() const;
        bool cut;
    };
    for (const Property& p :
         {Property{&CCommonDialogs::SetTitle, &CCommonDialogs::Title, true},
          Property{&CCommonDialogs::SetPath, &CCommonDialogs::Path, true},
          Property{&CCommonDialogs::SetFileTitle, &CCommonDialogs::FileTitle, true},
          Property{&CCommonDialogs::SetFileName, &CCommonDialogs::FileName, true},
          Property{&CCommonDialogs::SetFilter, &CCommonDialogs::Filter, false},
          Property{&CCommonDialogs::SetDefExt, &CCommonDialogs::DefExt, false},
          Property{&CCommonDialogs::SetFontName, &CCommonDialogs::FontName, false}}) {
        EXPECT_EQ((dialogs.*p.get)(), "");
        (dialogs.*p.set)(text);
        EXPECT_EQ((dialogs.*p.get)(), p.cut ? "before" : text);
    }
}

TEST_F(CommonDialogsTest, ShowOpenHandsTheWordFilterAndAPaddedFileBuffer) {
    dialogs.SetTitle("Select Word File");
    dialogs.SetFilter("Text|*.txt");
    dialogs.SetFileName(bytes("/docs/old.doc\0junk", 18));
    desktop.cancelNext();
    EXPECT_FALSE(dialogs.ShowOpen());

    ASSERT_EQ(desktop.openCalls().size(), 1u);
    const FileDialogCall& call = desktop.openCalls()[0];
    EXPECT_EQ(call.record.lStructSize, 76u);
    EXPECT_EQ(call.record.hwndOwner, 0x1234u);
    EXPECT_EQ(call.record.hInstance, ProgramInstance());
    EXPECT_EQ(call.filter, bytes("Word File(*.doc;*.docx)\0*.doc;*.docx\0", 38));
    EXPECT_EQ(call.record.nFilterIndex, 0u);
    EXPECT_FALSE(call.customFilter);
    EXPECT_EQ(call.file, buffer("/docs/old.doc" + std::string(247, ' '), 261));
    EXPECT_EQ(call.record.nMaxFile, 261u);
    EXPECT_EQ(call.fileTitle, buffer(std::string(260, ' '), 261));
    EXPECT_EQ(call.record.nMaxFileTitle, 261u);
    EXPECT_EQ(call.initialDir, std::nullopt);
    EXPECT_EQ(call.title, "Select Word File");
    EXPECT_EQ(call.record.Flags, 0x201004u);
    EXPECT_EQ(call.defExt, std::nullopt);
}

TEST_F(CommonDialogsTest, ShowOpenOnANewObjectLeavesCaptionAndExtensionToTheDialog) {
    CCommonDialogs fresh;
    desktop.cancelNext();
    desktop.cancelNext();
    fresh.ShowOpen();
    fresh.SetDefExt("doc");
    fresh.ShowOpen();
    ASSERT_EQ(desktop.openCalls().size(), 2u);
    EXPECT_EQ(desktop.openCalls()[0].record.hwndOwner, kNoWindow);
    EXPECT_EQ(desktop.openCalls()[0].file, buffer(std::string(260, ' '), 261));
    EXPECT_EQ(desktop.openCalls()[0].title, std::nullopt);
    EXPECT_EQ(desktop.openCalls()[0].defExt, std::nullopt);
    EXPECT_EQ(desktop.openCalls()[1].defExt, "doc");
}

// Each dialog's limit counts characters as Windows does, whatever the letters' UTF-8 takes: one to
// three bytes for one character, four bytes for two (beyond U+FFFF).
struct Letter {
    const char* name;
    std::string text;
    std::size_t chars;
};

class LongNamesTest : public CommonDialogsTest, public ::testing::WithParamInterface<Letter> {
 protected:
    // A path of exactly `chars` characters: a separator, the letter over and over, "x" where a
    // letter of two characters would not fit, and an extension.
    static std::string pathOf(std::size_t chars, const std::string& extension = ".doc") {
        std::string path(1, kPathSeparator);
        const std::size_t letters = (chars - 1 - extension.size()) / GetParam().chars;
        for (std::size_t i = 0; i < letters; ++i) {
            path += GetParam().text;
        }
        path.append(chars - 1 - extension.size() - letters * GetParam().chars, 'x');
        return path + extension;
    }
};

TEST_P(LongNamesTest, EachDialogTakesNamesUpToItsLimitInCharacters) {
    dialogs.SetFileName(pathOf(260));
    desktop.cancelNext();
    EXPECT_FALSE(dialogs.ShowOpen());
    EXPECT_EQ(desktop.openCalls().at(0).file, buffer(pathOf(260), 261));
    dialogs.SetFileName(pathOf(261));
    EXPECT_THROW(dialogs.ShowOpen(), std::invalid_argument);
    dialogs.SetFileName("");

    struct Limit {
        void (ScriptedDialogs::*confirm)(std::string);
        bool (CCommonDialogs::*show)();
        std::string (CCommonDialogs::*result)() const;
        std::size_t longest;
        std::string extension;
    };
    for (const Limit& c : {Limit{&ScriptedDialogs::confirmOpen, &CCommonDialogs::ShowOpen,
                                 &CCommonDialogs::FileName, 260, ".doc"},
                           Limit{&ScriptedDialogs::confirmSave, &CCommonDialogs::ShowSave,
                                 &CCommonDialogs::FileName, 254, ".rtf"},
                           Limit{&ScriptedDialogs::confirmFolder, &CCommonDialogs::ShowFolder,
                                 &CCommonDialogs::Path, 259, ""}}) {
        (desktop.*c.confirm)(pathOf(c.longest, c.extension));
        EXPECT_TRUE((dialogs.*c.show)());
        EXPECT_EQ((dialogs.*c.result)(), pathOf(c.longest, c.extension));
        // One more is refused: open and save choose nothing, the folder browser an empty Path.
        (desktop.*c.confirm)(pathOf(c.longest + 1, c.extension));
        (dialogs.*c.show)();
        EXPECT_EQ((dialogs.*c.result)(), c.extension.empty() ? "" : pathOf(c.longest, c.extension));
    }
}

INSTANTIATE_TEST_SUITE_P(Letters, LongNamesTest,
                         ::testing::Values(Letter{"Latin", "d", 1},
                                           Letter{"Cyrillic", "\xD0\xB4", 1},
                                           Letter{"Chinese", "\xE4\xB8\xAD", 1},
                                           Letter{"BeyondU16", "\xF0\x9F\x93\x84", 2}),
                         [](const ::testing::TestParamInfo<Letter>& row) {
                             return row.param.name;
                         });

TEST_F(CommonDialogsTest, ShowOpenReadsTheChosenFileItsNameAndFolder) {
    struct Case {
        std::string chosen, path, fileTitle;
    };
    for (Case c : {Case{"/docs/a.doc", "/docs", "a.doc"}, Case{"/a.doc", "", "a.doc"},
                   Case{"/Mein Ordner/Grüße.docx", "/Mein Ordner", "Grüße.docx"}}) {
        c.chosen = native(c.chosen);
        c.path = native(c.path);
        desktop.confirmOpen(c.chosen);
        EXPECT_TRUE(dialogs.ShowOpen());
        EXPECT_EQ(dialogs.FileName(), c.chosen);
        EXPECT_EQ(dialogs.FileTitle(), c.fileTitle);
        EXPECT_EQ(dialogs.Path(), c.path);
    }
    // The chosen file is the next dialog's initial name.
    desktop.cancelNext();
    dialogs.ShowOpen();
    EXPECT_EQ(desktop.openCalls().back().file->substr(0, 27), native("/Mein Ordner/Grüße.docx  "));
}

TEST_F(CommonDialogsTest, CancelAndFailureChangeNoResult) {
    struct Case {
        const char* name;
        bool (*show)(CCommonDialogs&);
    };
    const std::string folder = platform::programFolder() + kPathSeparator;
    for (const Case& c : {Case{"open", [](CCommonDialogs& d) { return d.ShowOpen(); }},
                          Case{"save", [](CCommonDialogs& d) { return d.ShowSave(); }},
                          Case{"folder", [](CCommonDialogs& d) { return d.ShowFolder(); }}}) {
        for (bool fail : {false, true}) {
            dialogs.SetFileName("/in/a.doc");
            dialogs.SetFileTitle("a.doc");
            dialogs.SetPath(folder);
            fail ? desktop.failNext() : desktop.cancelNext();
            EXPECT_FALSE(c.show(dialogs)) << c.name;
            EXPECT_EQ(dialogs.FileName(), "/in/a.doc") << c.name;
            EXPECT_EQ(dialogs.FileTitle(), "a.doc") << c.name;
            EXPECT_EQ(dialogs.Path(), folder) << c.name;
        }
    }
    EXPECT_EQ(desktop.dialogCount(), 6u);
    EXPECT_TRUE(desktop.problems().empty());
}

TEST_F(CommonDialogsTest, ShowSaveSettlesItsStartFolderInPath) {
    testsupport::TempFolder temp;
    const std::string out = temp.mkdir("Out Folder");
    const std::string empty = temp.mkdir("empty");
    const std::string file = temp.write("note.txt");
    const std::string program = platform::programFolder();
    const std::string sep(1, kPathSeparator);
    const std::string root = testsupport::kRoot;
    struct Case {
        std::string path, settled;
    };
    for (const Case& c :
         {Case{"", program}, Case{"   ", program}, Case{out, out + sep}, Case{out + sep, out + sep},
          Case{empty, empty + sep}, Case{temp / "missing", program}, Case{file, program},
          Case{root + bytes("\0tail", 5), root}}) {
        dialogs.SetPath(c.path);
        desktop.cancelNext();
        EXPECT_FALSE(dialogs.ShowSave());
        EXPECT_EQ(desktop.saveCalls().back().initialDir, c.settled) << c.path;
        EXPECT_EQ(dialogs.Path(), c.settled) << c.path;
    }
}

TEST_F(CommonDialogsTest, ShowSaveSplitsFilterIntoNulSeparatedPieces) {
    struct Case {
        std::string filter, list;
    };
    for (const Case& c : {Case{"", bytes("*.*\0*.*\0", 9)}, Case{"  ", bytes("*.*\0*.*\0", 9)},
                          Case{"Word|*.doc|Text|*.txt", bytes("Word\0*.doc\0Text\0*.txt\0", 23)},
                          Case{"Text", bytes("Text\0", 6)}, Case{"a||b", bytes("a\0", 3)}}) {
        dialogs.SetFilter(c.filter);
        desktop.cancelNext();
        dialogs.ShowSave();
        EXPECT_EQ(desktop.saveCalls().back().filter, c.list) << c.filter;
    }
    EXPECT_EQ(desktop.saveCalls()[2].filterPieces(),
              (std::vector<std::string>{"Word", "*.doc", "Text", "*.txt"}));
}

TEST_F(CommonDialogsTest, ShowSaveHandsFixedBuffersCaptionAndFlags) {
    dialogs.SetTitle("Not used");
    dialogs.SetDefExt("doc");
    dialogs.SetFileName("/not/used.doc");
    desktop.cancelNext();
    dialogs.ShowSave();
    ASSERT_EQ(desktop.saveCalls().size(), 1u);
    const FileDialogCall& call = desktop.saveCalls()[0];
    EXPECT_EQ(call.record.lStructSize, 76u);
    EXPECT_EQ(call.record.hwndOwner, 0x1234u);
    EXPECT_EQ(call.record.hInstance, ProgramInstance());
    EXPECT_EQ(call.record.nFilterIndex, 1u);
    EXPECT_EQ(call.file, buffer("", 255));
    EXPECT_EQ(call.record.nMaxFile, 255u);
    EXPECT_EQ(call.fileTitle, buffer("", 256));
    EXPECT_EQ(call.record.nMaxFileTitle, 256u);
    EXPECT_EQ(call.title, "Save");
    EXPECT_EQ(call.record.Flags, 0x200004u);
    EXPECT_EQ(call.defExt, "");
}

TEST_F(CommonDialogsTest, ShowSaveReadsTheChosenFile) {
    desktop.confirmSave(native("/out/report.rtf"));
    EXPECT_TRUE(dialogs.ShowSave());
    EXPECT_EQ(dialogs.FileName(), native("/out/report.rtf"));
    EXPECT_EQ(dialogs.FileTitle(), "report.rtf");
    EXPECT_EQ(dialogs.Path(), native("/out"));
}

TEST_F(CommonDialogsTest, ShowFolderSetsPathAndEmptiesTheFileResults) {
    dialogs.SetTitle("Add all word files in folder");
    dialogs.SetFileName("/in/a.doc");
    dialogs.SetFileTitle("a.doc");
    desktop.confirmFolder("/home/ana/Briefe");
    EXPECT_TRUE(dialogs.ShowFolder());
    EXPECT_EQ(dialogs.Path(), "/home/ana/Briefe");
    EXPECT_EQ(dialogs.FileName(), "");
    EXPECT_EQ(dialogs.FileTitle(), "");

    ASSERT_EQ(desktop.folderCalls().size(), 1u);
    const FolderDialogCall& call = desktop.folderCalls()[0];
    EXPECT_EQ(call.record.hwndOwner, 0x1234u);
    EXPECT_FALSE(call.root);
    EXPECT_FALSE(call.displayNameBuffer);
    EXPECT_EQ(call.title, "Add all word files in folder");
    EXPECT_EQ(call.record.ulFlags, 3u);

    // An item without a path of its own, or one too long to hand back, leaves Path empty.
    for (const std::string& chosen : {std::string(), "/" + std::string(300, 'f')}) {
        desktop.confirmFolder(chosen);
        EXPECT_TRUE(dialogs.ShowFolder());
        EXPECT_EQ(dialogs.Path(), "");
    }
}

TEST_F(CommonDialogsTest, AnOwnerWithoutAWindowFailsTheDialogsThatReportErrors) {
    testsupport::TempFolder temp;
    form.broken = true;
    dialogs.SetPath(temp.path());
    EXPECT_THROW(dialogs.ShowOpen(), std::runtime_error);
    EXPECT_THROW(dialogs.ShowSave(), std::runtime_error);
    EXPECT_EQ(dialogs.Path(), temp.path() + kPathSeparator);
    EXPECT_THROW(dialogs.ShowFolder(), std::runtime_error);
    EXPECT_THROW(dialogs.ShowColor(false), std::runtime_error);
    EXPECT_THROW(dialogs.ShowPrinter(), std::runtime_error);
    EXPECT_EQ(desktop.dialogCount(), 0u);

    // The font dialog opens without its owner; the property sheet is left out.
    desktop.setDefaultPrinter("Laser");
    desktop.cancelNext();
    EXPECT_FALSE(dialogs.ShowFont());
    ASSERT_EQ(desktop.fontCalls().size(), 1u);
    EXPECT_EQ(desktop.fontCalls()[0].record.hwndOwner, kNoWindow);
    EXPECT_FALSE(dialogs.ShowPrinterProperties());
    EXPECT_TRUE(desktop.printerPropertiesCalls().empty());
    EXPECT_EQ(desktop.closedPrinters().size(), 1u);
}

TEST_F(CommonDialogsTest, ShowColorStartsFromColorWithFreshBlackCustomColours) {
    dialogs.SetColor(0x00336699);
    std::array<COLORREF, 16> userCustom{};
    userCustom.fill(0x00FFFFFF);
    desktop.confirmColor(0x00102030, userCustom);
    EXPECT_TRUE(dialogs.ShowColor(false));
    EXPECT_EQ(dialogs.Color(), 0x00102030u);
    desktop.cancelNext();
    EXPECT_FALSE(dialogs.ShowColor(true));
    EXPECT_EQ(dialogs.Color(), 0x00102030u);

    ASSERT_EQ(desktop.colorCalls().size(), 2u);
    for (const ColorDialogCall& call : desktop.colorCalls()) {
        EXPECT_EQ(call.record.lStructSize, 36u);
        EXPECT_EQ(call.record.hwndOwner, 0x1234u);
        EXPECT_EQ(call.record.hInstance, 0u);
        EXPECT_EQ(call.customColors, (std::array<COLORREF, 16>{}));
    }
    EXPECT_EQ(desktop.colorCalls()[0].record.rgbResult, 0x00336699u);
    EXPECT_EQ(desktop.colorCalls()[0].record.Flags, 1u);
    EXPECT_EQ(desktop.colorCalls()[1].record.rgbResult, 0x00102030u);
    EXPECT_EQ(desktop.colorCalls()[1].record.Flags, 3u);
}

TEST_F(CommonDialogsTest, ShowFontHandsALogFontInScreenPixels) {
    struct Case {
        int dpi;
        std::int16_t points;
        LONG height;
    };
    for (const Case& c : {Case{96, 12, -16}, Case{96, 0, 0}, Case{96, 10, -13}, Case{120, 12, -20},
                          Case{96, -8, 11}}) {
        desktop.setScreenDpi(c.dpi);
        dialogs.SetFontSize(c.points);
        desktop.cancelNext();
        dialogs.ShowFont();
        EXPECT_EQ(desktop.fontCalls().back().logFont.lfHeight, c.height) << c.points;
    }
    EXPECT_EQ(desktop.dcWindows(), std::vector<Hwnd>(5, ScriptedDialogs::kDesktop));
    EXPECT_EQ(desktop.openDCs(), 0);
}

TEST_F(CommonDialogsTest, ShowFontHandsTheFontPropertiesAndNoPrinterWithoutOne) {
    CCommonDialogs fresh;
    desktop.cancelNext();
    fresh.ShowFont();
    dialogs.SetFontName("Liberation Serif");
    dialogs.SetFontBold(true);
    dialogs.SetFontItalic(true);
    dialogs.SetFontUnderline(true);
    dialogs.SetColor(0x000000FF);
    desktop.setDefaultPrinter("Laser");
    desktop.cancelNext();
    dialogs.ShowFont();

    ASSERT_EQ(desktop.fontCalls().size(), 2u);
    const FontDialogCall& plain = desktop.fontCalls()[0];
    EXPECT_EQ(plain.record.lStructSize, 60u);
    EXPECT_EQ(plain.record.Flags, 0x10043u);
    EXPECT_EQ(plain.record.hDC, 0u);
    EXPECT_EQ(plain.logFont.lfWeight, 0);
    EXPECT_EQ(plain.logFont.lfItalic, 0);
    EXPECT_EQ(plain.logFont.lfUnderline, 0);
    EXPECT_EQ(plain.logFont.lfFaceName, (std::array<char, LF_FACESIZE>{}));

    const FontDialogCall& styled = desktop.fontCalls()[1];
    EXPECT_EQ(styled.record.hwndOwner, 0x1234u);
    EXPECT_EQ(styled.record.hDC, ScriptedDialogs::kPrinterDC);
    EXPECT_EQ(styled.record.rgbColors, 0x000000FFu);
    EXPECT_EQ(styled.logFont.lfWeight, 700);
    EXPECT_EQ(styled.logFont.lfItalic, 1);
    EXPECT_EQ(styled.logFont.lfUnderline, 1);
    EXPECT_EQ(FaceName(styled.logFont), "Liberation Serif");
}

TEST_F(CommonDialogsTest, ShowFontReadsFaceTypeBitsAndWholePoints) {
    struct Case {
        WORD type;
        LONG weight;
        bool bold, italic;
    };
    dialogs.SetFontUnderline(true);
    dialogs.SetColor(0x00ABCDEF);
    for (const Case& c :
         {Case{REGULAR_FONTTYPE, FW_BOLD, false, false},
          Case{BOLD_FONTTYPE, FW_NORMAL, true, false},
          Case{ITALIC_FONTTYPE | REGULAR_FONTTYPE, FW_NORMAL, false, true},
          Case{BOLD_FONTTYPE | ITALIC_FONTTYPE | SCREEN_FONTTYPE, FW_BOLD, true, true}}) {
        desktop.confirmFont({"DejaVu Sans", 105, c.type, c.weight, 0});
        EXPECT_TRUE(dialogs.ShowFont());
        EXPECT_EQ(dialogs.FontName(), "DejaVu Sans");
        EXPECT_EQ(dialogs.FontSize(), 10);
        EXPECT_EQ(dialogs.FontBold(), c.bold) << c.type;
        EXPECT_EQ(dialogs.FontItalic(), c.italic) << c.type;
    }
    EXPECT_TRUE(dialogs.FontUnderline());
    EXPECT_EQ(dialogs.Color(), 0x00ABCDEFu);

    // A size beyond the property's range, and a cancel, leave the font as it was.
    desktop.confirmFont({"Huge", 400000, REGULAR_FONTTYPE});
    EXPECT_TRUE(dialogs.ShowFont());
    EXPECT_EQ(dialogs.FontName(), "Huge");
    EXPECT_EQ(dialogs.FontSize(), 10);
    desktop.cancelNext();
    EXPECT_FALSE(dialogs.ShowFont());
    EXPECT_EQ(dialogs.FontName(), "Huge");
    EXPECT_FALSE(dialogs.FontBold());
}

TEST_F(CommonDialogsTest, ShowPrinterReportsTheAnswerAndChangesNothing) {
    dialogs.SetFileName("/in/a.doc");
    desktop.confirmPrint();
    desktop.cancelNext();
    EXPECT_TRUE(dialogs.ShowPrinter());
    EXPECT_FALSE(dialogs.ShowPrinter());
    EXPECT_EQ(dialogs.FileName(), "/in/a.doc");
    ASSERT_EQ(desktop.printCalls().size(), 2u);
    EXPECT_EQ(desktop.printCalls()[0].lStructSize, 66u);
    EXPECT_EQ(desktop.printCalls()[0].hwndOwner, 0x1234u);
    EXPECT_EQ(desktop.printCalls()[0].Flags, 0x10000Cu);
}

TEST_F(CommonDialogsTest, ShowPrinterPropertiesOpensTheDefaultPrinterWhenThereIsOne) {
    EXPECT_FALSE(dialogs.ShowPrinterProperties());
    EXPECT_TRUE(desktop.printerOpenCalls().empty());
    EXPECT_EQ(desktop.dialogCount(), 0u);

    desktop.setDefaultPrinter("Büro Laser");
    desktop.confirmPrinterProperties();
    desktop.cancelNext();
    EXPECT_TRUE(dialogs.ShowPrinterProperties());
    EXPECT_FALSE(dialogs.ShowPrinterProperties());
    ASSERT_EQ(desktop.printerOpenCalls().size(), 2u);
    const PrinterOpenCall& open = desktop.printerOpenCalls()[0];
    EXPECT_EQ(open.name, "Büro Laser");
    ASSERT_TRUE(open.defaults.has_value());
    EXPECT_EQ(open.defaults->DesiredAccess, 0xF0008u);
    EXPECT_EQ(open.dataType, std::nullopt);
    EXPECT_EQ(open.defaults->pDevMode, nullptr);
    ASSERT_EQ(desktop.printerPropertiesCalls().size(), 2u);
    EXPECT_EQ(desktop.printerPropertiesCalls()[0].first, 0x1234u);
    EXPECT_EQ(desktop.closedPrinters(),
              (std::vector<HANDLE>{desktop.printerPropertiesCalls()[0].second,
                                   desktop.printerPropertiesCalls()[1].second}));

    desktop.setOpenPrinterFails(true);
    EXPECT_FALSE(dialogs.ShowPrinterProperties());
    EXPECT_EQ(desktop.printerPropertiesCalls().size(), 2u);
    EXPECT_EQ(desktop.closedPrinters().size(), 2u);
}

}  // namespace
