// SPDX-License-Identifier: MIT
// What every engine tier checks before it lets the engine see a file: that it is there, a regular
// file, and no encrypted document, picture, random bytes or package that unpacks to more than a
// Word document holds.
#pragma once

#include <optional>
#include <string>

#include "office/server/filekind.h"

namespace office {

// What reading a document tells: its kind, what a zip package unpacks to, whether it has
// comments; or why it could not be read.
struct SourceLook {
    FileSniff sniff;
    long long unpacked = 0;
    std::string unreadable;  // the reason, when it could not be read
};

// Reads the document in this process: only for a process held like an engine process (the
// parsers see a document before the engine does, and may have flaws of their own).
SourceLook lookAt(const std::string& path);
// Reads it in a child process held like an engine process, with only this file to read, and
// gives what the child found (unreadable, when the child did not answer).
SourceLook lookConfined(const std::string& path);
// A look as one line of text, and back; nothing for a text that is no look.
std::string encodeLook(const SourceLook& looked);
std::optional<SourceLook> decodeLook(const std::string& text);

// The checks that need no reading: the file is there, a regular file, and not larger than a Word
// document can be. Throws automation::AutomationError with the description for the user.
void checkSourceFile(const std::string& path);
// Refuses what the look found to be no document for the engine (an encrypted one, a picture,
// random bytes, a package that unpacks to gigabytes), naming the document by name; otherwise
// says what the file holds.
FileSniff checkLook(const std::string& name, const SourceLook& looked);

// All of it: checkSourceFile, then checkLook on a confined look.
FileSniff checkSource(const std::string& path);

}  // namespace office
