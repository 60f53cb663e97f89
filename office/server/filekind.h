// SPDX-License-Identifier: MIT
// What a file handed to Documents.Open holds, judged from its bytes rather than its name, so that
// a file the engine would only read as plain text (random bytes, a picture) is refused with a
// reason, and a password-protected document is refused before the engine ever sees it.
#pragma once

#include <string>

namespace office {

enum class FileKind {
    Empty,      // no bytes at all: Word opens it as an empty document
    Compound,   // an OLE2 compound file (.doc, .dot, and others the engine may know)
    OldWord,    // Word of before Word 6 in a file of its own: Word for DOS (and Write), Word for
                // Windows 1.x and 2.0, Word for the Macintosh
    Encrypted,  // password-protected: an encrypted .doc or an encrypted OOXML package
    Zip,        // an OOXML package (.docx, .docm, .dotx) or another zip
    Rtf,        // Rich Text Format
    Html,       // an HTML page
    Xml,        // other XML (Word 2003 XML among them)
    Text,       // plain text in any common encoding
    Picture,    // a picture or another well-known binary format that is no document
    Binary,     // bytes that are neither text nor a format the engine reads as a document
};

struct FileSniff {
    FileKind kind = FileKind::Binary;
    // For Picture: what it is, worded to follow "it is" ("a PNG picture", "a PDF document").
    std::string what;
    // Whether it holds comments, as hasComments says; filled in by checkSource.
    bool comments = false;
};

// Throws platform::SystemError when the file cannot be read.
FileSniff sniffFile(const std::string& path);

// Whether a document of the given kind holds comments: a Word 97 or later file whose table of
// comment references is not empty, or an OOXML package with a comments part. False when unsure
// (other kinds, older Word files, damaged files).
bool hasComments(const std::string& path, FileKind kind);

}  // namespace office
