// SPDX-License-Identifier: MIT
// Documents made to misuse a converter, written into a folder by the tests themselves: pages and
// packages that point the engine at a listener on this machine and at local files holding a
// marker, a document whose macro writes a file when the document loads, and a package that
// unpacks to gigabytes.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace hostile {

// A zip package's parts in the order they are written, with names holding folders
// ("word/document.xml"). A part named "mimetype" is stored uncompressed, as OpenDocument wants.
using Parts = std::vector<std::pair<std::string, std::string>>;
void writeZip(const std::string& path, const Parts& parts);

// A small PNG picture (4 by 4 red pixels) that carries the text in a comment chunk.
std::string pngWithText(const std::string& text);

// The text as it appears inside an RTF picture: its bytes in lower-case hexadecimal.
std::string hexOf(const std::string& text);

// A minimal Word package (OOXML) with the given body and the relationships of its main part.
Parts wordPackage(const std::string& body, const std::string& relationships);

// A picture of a Word body that shows the picture at the relationship (an r:link, as Word writes
// for a picture that is linked rather than stored in the package).
std::string linkedPictureParagraph(const std::string& relationshipId, int number);

// An OpenDocument text whose Basic macro writes "ran" into the file at markerPath; the macro is
// bound to the events of loading the document and of its view being made, so that it runs
// wherever the engine lets document macros run at all.
Parts macroDocument(const std::string& markerPath);

// A .docx whose main part is valid XML that unpacks to the given number of bytes (empty
// paragraphs), written without ever holding them: the compressed form of one megabyte of
// paragraphs is repeated. Below 4 GiB, so that the package needs no 64-bit extensions.
void writeUnpackingBomb(const std::string& path, std::uint64_t unpackedBytes);

}  // namespace hostile
