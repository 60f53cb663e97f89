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

// The lines of a file, or nothing when it cannot be opened or read. A UTF-8 byte-order mark at
// the start of the file is dropped; each line is then read by itself (LineFromFile).
std::optional<std::vector<std::string>> ReadLines(const std::string& path);

// One line of a file as the program's UTF-8 text, and a whole text as the file's bytes.
// Elsewhere than on Windows the bytes are the text (textfile_posix.cpp). On Windows
// (textfile_win32.cpp) the lists are paths, written either by this program or by older programs
// in the ANSI code page:
// - a line that is not valid UTF-8 is in the ANSI code page;
// - a line that is valid UTF-8 and reads as another text in the ANSI code page (short Chinese
//   names in code page 936 often do) is the text under which a file or folder exists: the UTF-8
//   one when it exists or neither does, the ANSI one when only it exists;
// - a text is written in the ANSI code page when every character fits it and every line reads
//   back unchanged without asking which files exist, so that older programs read it too, and
//   as UTF-8 (without a byte-order mark) otherwise.
std::string LineFromFile(std::string bytes);
std::string TextForFile(std::string text);

// Replaces the file with the given lines, whole or not at all (platform::replaceFile): on failure
// the old file is untouched, no temporary file is left and SystemError is thrown.
void WriteLines(const std::string& path, const std::vector<std::string>& lines);

}  // namespace platform
