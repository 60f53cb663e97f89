// SPDX-License-Identifier: MIT
#include "office/server/filekind.h"

#include <gsf/gsf.h>
#include <gtest/gtest.h>

#include <random>

#include "platform/error.h"
#include "support/officefiles.h"
#include "support/tempfolder.h"

namespace {

using office::FileKind;
using testsupport::compoundFile;
using testsupport::wordStream;

struct ContentCase {
    const char* name;
    std::string bytes;
    FileKind kind;
};

void PrintTo(const ContentCase& row, std::ostream* out) {
    *out << row.name;
}

class SniffContent : public testing::TestWithParam<ContentCase> {};

TEST_P(SniffContent, JudgesByTheBytesNotTheName) {
    testsupport::TempFolder folder;
    EXPECT_EQ(office::sniffFile(folder.write("file.doc", GetParam().bytes)).kind, GetParam().kind);
}

std::string randomBytes() {
    std::mt19937 generator(20240611);
    std::string bytes(5000, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(generator());
    }
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Files, SniffContent,
    testing::Values(
        ContentCase{"Empty", "", FileKind::Empty},
        ContentCase{"Docx", std::string("PK\3\4\x14\0\6\0", 8) + "[Content_Types].xml",
                    FileKind::Zip},
        ContentCase{"Rtf", "{\\rtf1\\ansi Hello}", FileKind::Rtf},
        ContentCase{"Utf8Text", "Grüße aus Köln\r\nZweite Zeile\r\n", FileKind::Text},
        ContentCase{"Latin1Text",
                    "Gr\xFC\xDF"
                    "e aus K\xF6ln\n",
                    FileKind::Text},
        ContentCase{"Utf16Text", std::string("\xFF\xFEH\0i\0", 6), FileKind::Text},
        ContentCase{"Html", "<!DOCTYPE html>\n<html><body><p>Hi</p></body></html>", FileKind::Html},
        ContentCase{"Xhtml", "<?xml version=\"1.0\"?><html><body/></html>", FileKind::Html},
        ContentCase{"WordXml", "<?xml version=\"1.0\"?><w:wordDocument/>", FileKind::Xml},
        ContentCase{"TextStartingWithAngle", "<not markup> just a note", FileKind::Text},
        ContentCase{"Png", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16), FileKind::Picture},
        ContentCase{"Jpeg", std::string("\xFF\xD8\xFF\xE0\0\x10JFIF", 10), FileKind::Picture},
        ContentCase{"Pdf", "%PDF-1.7\n%\xE2\xE3", FileKind::Picture},
        // Word files of before Word 6, which the engine reads with filters of their own.
        ContentCase{"WordForDos", std::string("\x31\xBE\0\0\0\xAB\0\0\0\0\0\0", 12) + randomBytes(),
                    FileKind::OldWord},
        ContentCase{"WordForDosWithObjects", std::string("\x32\xBE\0\0\0\xAB", 6) + randomBytes(),
                    FileKind::OldWord},
        ContentCase{"WordForDos6", "PO^Q`" + randomBytes(), FileKind::OldWord},
        ContentCase{"WinWord1", std::string("\x9B\xA5\x21\0", 4) + randomBytes(),
                    FileKind::OldWord},
        ContentCase{"WinWord2", std::string("\xDB\xA5\x2D\0\0\0", 6) + randomBytes(),
                    FileKind::OldWord},
        ContentCase{"MacWord5", std::string("\xFE\x37\0\x23", 4) + randomBytes(),
                    FileKind::OldWord},
        ContentCase{"NotQuiteWinWord2", std::string("\xDB\xA5\x2D\x7F", 4) + randomBytes(),
                    FileKind::Binary},
        ContentCase{"RandomBytes", randomBytes(), FileKind::Binary},
        ContentCase{"NulInText", std::string("abc\0def", 7), FileKind::Binary}),
    [](const testing::TestParamInfo<ContentCase>& row) { return row.param.name; });

TEST(SniffFile, NamesWhatAPictureIs) {
    testsupport::TempFolder folder;
    EXPECT_EQ(office::sniffFile(folder.write("p.doc", "GIF87a....")).what, "a GIF picture");
}

TEST(SniffFile, TellsPasswordProtectedCompoundFilesFromPlainOnes) {
    testsupport::TempFolder folder;
    const auto kindOf = [&](const std::string& name, const auto& streams) {
        return office::sniffFile(compoundFile(folder, name, streams)).kind;
    };
    using testsupport::Streams;
    EXPECT_EQ(kindOf("plain.doc", Streams{{"WordDocument", wordStream(0x0200)}}),
              FileKind::Compound);
    EXPECT_EQ(kindOf("encrypted.doc", Streams{{"WordDocument", wordStream(0x0300)}}),
              FileKind::Encrypted);
    EXPECT_EQ(kindOf("agile.docx", Streams{{"EncryptionInfo", std::string(200, '\1')},
                                           {"EncryptedPackage", std::string(5000, '\2')}}),
              FileKind::Encrypted);
    EXPECT_EQ(kindOf("sheet.xls", Streams{{"Workbook", std::string(5000, '\0')}}),
              FileKind::Compound);
    // A damaged compound file is left for the engine to judge.
    std::string damaged = folder.read("plain.doc");
    damaged.resize(600);
    EXPECT_EQ(office::sniffFile(folder.write("damaged.doc", damaged)).kind, FileKind::Compound);
}

TEST(HasComments, ReadsTheCommentTableOfWordFilesAndThePartsOfPackages) {
    testsupport::TempFolder folder;
    using testsupport::Streams;
    const auto compound = [&](const std::string& name, const std::string& word) {
        return office::hasComments(compoundFile(folder, name, Streams{{"WordDocument", word}}),
                                   FileKind::Compound);
    };
    EXPECT_TRUE(compound("commented.doc", wordStream(0x0200, 24)));
    EXPECT_FALSE(compound("plain.doc", wordStream(0x0200, 0)));
    // Word 6 and 95 lay the block out differently: not read, so not judged.
    std::string word95 = wordStream(0x0200, 24);
    word95[2] = 0x68;
    word95[3] = 0;
    EXPECT_FALSE(compound("word95.doc", word95));
    // Field counts that point past what the stream holds.
    std::string truncated = wordStream(0x0200, 24);
    truncated[32] = '\xFF';
    truncated[33] = '\x7F';
    EXPECT_FALSE(compound("runaway.doc", truncated));
    EXPECT_FALSE(compound("short.doc", wordStream(0x0200, 24).substr(0, 100)));

    const std::string types =
        "<?xml version=\"1.0\"?><Types><Override PartName=\"/word/document.xml\" "
        "ContentType=\"application/"
        "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>";
    const std::string comments =
        "<Override PartName=\"/word/notes.xml\" ContentType=\"application/"
        "vnd.openxmlformats-officedocument.wordprocessingml.comments+xml\"/>";
    const auto package = [&](const std::string& name, const std::string& listed) {
        return office::hasComments(
            testsupport::zipFile(folder, name, Streams{{"[Content_Types].xml", listed}}),
            FileKind::Zip);
    };
    EXPECT_TRUE(package("commented.docx", types + comments + "</Types>"));
    EXPECT_FALSE(package("plain.docx", types + "</Types>"));
    EXPECT_FALSE(
        office::hasComments(folder.write("broken.docx", "PK\3\4 and then nothing"), FileKind::Zip));
    // Other kinds are never looked into.
    EXPECT_FALSE(office::hasComments(
        compoundFile(folder, "other.doc", Streams{{"WordDocument", wordStream(0, 24)}}),
        FileKind::Rtf));
}

TEST(SniffFile, ThrowsWhenTheFileCannotBeRead) {
    testsupport::TempFolder folder;
    EXPECT_THROW(office::sniffFile(folder / "missing.doc"), platform::SystemError);
}

}  // namespace
