// SPDX-License-Identifier: MIT
#include "platform/commdlg.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <string>

#include "platform/testing/scripteddialogs.h"

using namespace platform;

namespace {

struct MulDivCase {
    int number, numerator, denominator, expected;
};

void PrintTo(const MulDivCase& c, std::ostream* out) {
    *out << c.number << " * " << c.numerator << " / " << c.denominator;
}

class MulDivTest : public ::testing::TestWithParam<MulDivCase> {};

TEST_P(MulDivTest, RoundsToTheNearestIntegerWithHalvesAwayFromZero) {
    const MulDivCase& c = GetParam();
    EXPECT_EQ(MulDiv(c.number, c.numerator, c.denominator), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, MulDivTest,
                         ::testing::Values(MulDivCase{12, 96, 72, 16}, MulDivCase{0, 96, 72, 0},
                                           MulDivCase{10, 96, 72, 13}, MulDivCase{11, 96, 72, 15},
                                           MulDivCase{1, 1, 2, 1}, MulDivCase{-1, 1, 2, -1},
                                           MulDivCase{5, 1, -2, -3}, MulDivCase{-5, -1, -2, -3},
                                           MulDivCase{INT_MAX, INT_MAX, INT_MAX, INT_MAX},
                                           MulDivCase{INT_MAX, 2, 1, -1}, MulDivCase{7, 3, 0, -1}));

// A whole buffer for the given count of characters: the text, then NUL bytes.
std::string buffer(std::string text, std::size_t chars) {
    text.resize(CharBufferBytes(chars), '\0');
    return text;
}

// A caller's file buffers: padded as the program pads them, so that what the call leaves
// behind the NUL can be seen.
struct Buffers {
    std::string file = buffer(std::string(20, ' '), 21);
    std::string title = buffer(std::string(8, ' '), 9);
    OPENFILENAME record;
    Buffers() {
        record.lStructSize = OPENFILENAME_SIZE_VERSION_400;
        record.lpstrFile = file.data();
        record.nMaxFile = 21;
        record.lpstrFileTitle = title.data();
        record.nMaxFileTitle = 9;
    }
};

TEST(GetOpenFileNameA, WritesThePathAndNameWithTheirNulsAndLeavesTheRestOfTheBuffers) {
    ScriptedDialogs dialogs;
    dialogs.confirmOpen("/docs/a.b.doc");
    Buffers buffers;
    ASSERT_EQ(GetOpenFileNameA(&buffers.record), 1);
    EXPECT_EQ(buffers.file, buffer(std::string("/docs/a.b.doc\0", 14) + std::string(6, ' '), 21));
    EXPECT_EQ(buffers.title, buffer(std::string("a.b.doc\0", 8), 9));
    EXPECT_EQ(buffers.record.nFileOffset, 6);
    EXPECT_EQ(buffers.record.nFileExtension, 10);
}

TEST(GetOpenFileNameA, RefusesAChoiceThatDoesNotFitItsBuffersAndWritesNothing) {
    struct Case {
        const char* path;
        bool fits;
    };
    // The file buffer holds 20 characters and a NUL, the title buffer 8 and a NUL; characters,
    // not bytes: "д" takes two bytes, "📄" two characters.
    for (const Case& c :
         {Case{"/123456789012/ab.doc", true}, Case{"/1234567890123/ab.doc", false},
          Case{"/12/abcdefgh", true}, Case{"/12/abcdefghi", false},
          Case{"/12/\xD0\xB4\xD0\xB4\xD0\xB4\xD0\xB4\xD0\xB4\xD0\xB4\xD0\xB4\xD0\xB4", true},
          Case{"/12/\xD0\xB4\xD0\xB4\xD0\xB4\xD0\xB4\xD0\xB4\xD0\xB4\xD0\xB4\xD0\xB4\xD0\xB4",
               false},
          Case{"/12/abcdef\xF0\x9F\x93\x84", true}, Case{"/12/abcdefg\xF0\x9F\x93\x84", false}}) {
        ScriptedDialogs dialogs;
        dialogs.confirmOpen(c.path);
        Buffers buffers;
        EXPECT_EQ(GetOpenFileNameA(&buffers.record), c.fits ? 1 : 0) << c.path;
        if (!c.fits) {
            EXPECT_EQ(buffers.file, Buffers().file) << c.path;
            EXPECT_EQ(buffers.title, Buffers().title) << c.path;
        }
    }
}

TEST(GetSaveFileNameA, ShowsNoDialogForARecordOfAnotherSize) {
    ScriptedDialogs dialogs;
    for (DWORD size : {DWORD{0}, DWORD{75}, OPENFILENAME_SIZE_VERSION_400, kOpenFileNameFullSize}) {
        Buffers buffers;
        buffers.record.lStructSize = size;
        GetSaveFileNameA(&buffers.record);
    }
    EXPECT_EQ(dialogs.saveCalls().size(), 2u);
    EXPECT_EQ(dialogs.saveCalls().at(0).record.lStructSize, 76u);
    EXPECT_EQ(dialogs.saveCalls().at(1).record.lStructSize, 88u);
}

TEST(SHBrowseForFolder, HandsBackAnItemWhosePathFitsMaxPathOrNothing) {
    struct Case {
        std::string chosen;
        BOOL found;
        std::string path;
        std::string displayName;
    };
    const std::string longest = "/" + std::string(MAX_PATH - 2, 'x');
    for (const Case& c :
         {Case{"/home/ana/Briefe", 1, "/home/ana/Briefe", "Briefe"}, Case{"/", 1, "/", "/"},
          Case{longest, 1, longest, longest.substr(1)},
          Case{longest + "x", 0, "", longest.substr(1) + "x"}, Case{"", 0, "", ""}}) {
        ScriptedDialogs dialogs;
        dialogs.confirmFolder(c.chosen);
        std::string displayName(CharBufferBytes(MAX_PATH), '?');
        BROWSEINFO info;
        info.pszDisplayName = displayName.data();
        const ItemIdList item = SHBrowseForFolder(&info);
        ASSERT_NE(item, nullptr);
        std::string path(CharBufferBytes(MAX_PATH), '?');
        EXPECT_EQ(SHGetPathFromIDList(item.get(), path.data()), c.found);
        EXPECT_EQ(path.substr(0, path.find('\0')), c.path);
        EXPECT_EQ(displayName.substr(0, displayName.find('\0')), c.displayName);
    }
    ScriptedDialogs cancelled;
    cancelled.cancelNext();
    BROWSEINFO info;
    EXPECT_EQ(SHBrowseForFolder(&info), nullptr);
}

TEST(CommonDialogCalls, RefuseRecordsOfTheWrongSizeOrWithoutTheirTables) {
    ScriptedDialogs dialogs;
    COLORREF custom[16] = {};
    LOGFONT font;
    CHOOSECOLOR color;
    color.lStructSize = kChooseColorSize;
    EXPECT_EQ(ChooseColorA(&color), 0);  // no custom colour table
    color.lpCustColors = custom;
    color.lStructSize = 40;
    EXPECT_EQ(ChooseColorA(&color), 0);
    CHOOSEFONT choose;
    choose.lStructSize = kChooseFontSize;
    EXPECT_EQ(ChooseFontA(&choose), 0);  // no LOGFONT
    choose.lpLogFont = &font;
    choose.lStructSize = 92;
    EXPECT_EQ(ChooseFontA(&choose), 0);
    PRINTDLG print;
    print.lStructSize = 120;
    EXPECT_EQ(PrintDlgA(&print), 0);
    EXPECT_EQ(dialogs.dialogCount(), 0u);
}

TEST(SetFaceName, KeepsThirtyOneBytesEndingAtAWholeCharacter) {
    struct Case {
        std::string name, expected;
    };
    const std::string thirty(30, 'a');
    for (const Case& c : {Case{"DejaVu Sans", "DejaVu Sans"}, Case{thirty + "bc", thirty + "b"},
                          Case{thirty + "\xC3\xA9", thirty},
                          Case{std::string("Sans\0Serif", 10), "Sans"}, Case{"", ""}}) {
        LOGFONT font;
        SetFaceName(font, std::string(40, 'z'));
        SetFaceName(font, c.name);
        EXPECT_EQ(FaceName(font), c.expected);
        for (std::size_t i = c.expected.size(); i < font.lfFaceName.size(); ++i) {
            EXPECT_EQ(font.lfFaceName[i], '\0') << c.name << " byte " << i;
        }
    }
}

TEST(ScriptedDialogs, CancelsADialogWhoseAnswerIsMissingOrMeantForAnother) {
    ScriptedDialogs dialogs;
    dialogs.confirmFolder("/x");
    Buffers buffers;
    EXPECT_EQ(GetOpenFileNameA(&buffers.record), 0);
    EXPECT_EQ(GetOpenFileNameA(&buffers.record), 0);
    EXPECT_EQ(dialogs.problems().size(), 2u);
    EXPECT_EQ(dialogs.pendingAnswers(), 0u);
}

TEST(ScriptedDialogs, PutsBackTheBackendItReplaced) {
    ScriptedDialogs outer;
    outer.confirmOpen("/o.doc");
    {
        ScriptedDialogs inner;
        inner.cancelNext();
        Buffers buffers;
        EXPECT_EQ(GetOpenFileNameA(&buffers.record), 0);
    }
    Buffers buffers;
    EXPECT_EQ(GetOpenFileNameA(&buffers.record), 1);
    EXPECT_EQ(outer.openCalls().size(), 1u);
}

}  // namespace
