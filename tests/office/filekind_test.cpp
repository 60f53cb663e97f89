// SPDX-License-Identifier: MIT
#include "office/filekind.h"

#include <gsf/gsf.h>
#include <gtest/gtest.h>

#include <random>

#include "platform/error.h"
#include "support/tempfolder.h"

namespace {

using office::FileKind;

// A compound file holding the named streams, written with the same library the server reads
// them with.
std::string compoundFile(const testsupport::TempFolder& folder, const std::string& name,
                         const std::vector<std::pair<std::string, std::string>>& streams) {
    const std::string path = folder / name;
    GsfOutput* output = gsf_output_stdio_new(path.c_str(), nullptr);
    GsfOutfile* compound = gsf_outfile_msole_new(output);
    for (const auto& [stream, bytes] : streams) {
        GsfOutput* child = gsf_outfile_new_child(compound, stream.c_str(), FALSE);
        gsf_output_write(child, bytes.size(), reinterpret_cast<const guint8*>(bytes.data()));
        gsf_output_close(child);
        g_object_unref(child);
    }
    gsf_output_close(GSF_OUTPUT(compound));
    g_object_unref(compound);
    g_object_unref(output);
    return path;
}

// The start of a Word 97 file information block with the given flags word at offset 10.
std::string wordStream(unsigned flags) {
    std::string fib(4096, '\0');
    fib[0] = '\xEC';
    fib[1] = '\xA5';
    fib[10] = static_cast<char>(flags & 0xFF);
    fib[11] = static_cast<char>(flags >> 8);
    return fib;
}

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
    using Streams = std::vector<std::pair<std::string, std::string>>;
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

TEST(SniffFile, ThrowsWhenTheFileCannotBeRead) {
    testsupport::TempFolder folder;
    EXPECT_THROW(office::sniffFile(folder / "missing.doc"), platform::SystemError);
}

}  // namespace
