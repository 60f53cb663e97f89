// SPDX-License-Identifier: MIT
// Line-oriented text files. Files are written with CR LF line ends, every line terminated, so
// that files written on Windows and here read back the same; either CR LF or LF is accepted when
// reading, and a last line without a terminator is still read.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

// Splits file contents into lines as described above.
std::vector<std::string> SplitLines(const std::string& contents);

// The lines of a file, or nothing when it cannot be opened or read.
std::optional<std::vector<std::string>> ReadLines(const std::string& path);

// A file's bytes as the program's UTF-8 text, and back. On Windows a file that is not valid UTF-8
// is in the ANSI code page, as older programs wrote their lists, and a text is written in the
// ANSI code page when every character fits it, so that those programs read it too, and as UTF-8
// only when one does not. Elsewhere the bytes are the text (textfile_posix.cpp,
// textfile_win32.cpp).
std::string TextFromFile(std::string bytes);
std::string TextForFile(std::string text);

// Replaces the file with the given lines, whole or not at all (platform::replaceFile): on failure
// the old file is untouched, no temporary file is left and SystemError is thrown.
void WriteLines(const std::string& path, const std::vector<std::string>& lines);

}  // namespace platform
