// SPDX-License-Identifier: MIT
// Texts handed to the system are in its code page, which is UTF-8 here; like a C string they
// end at their first NUL character.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The text as the system receives it: everything before the first NUL.
std::string ToSystemText(std::string_view text);

// File names here are bytes, and not every name is valid UTF-8 (Latin-1 names from an old
// archive are not). Paths keep their bytes everywhere; these tell where a text stops being
// UTF-8 so that only what is shown to the user is rendered differently.

// The length of the longest prefix of the text that is valid UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF).
std::size_t ValidUtf8Prefix(std::string_view text);
inline bool IsValidUtf8(std::string_view text) {
    return ValidUtf8Prefix(text) == text.size();
}

// The length of the text in UTF-16 code units, the unit in which Windows counts the characters
// of a name or path (MAX_PATH, a dialog's buffer): one for a character up to U+FFFF, two for one
// beyond it. A byte that is not part of a valid UTF-8 sequence counts as one, as it becomes one
// replacement character on the way to the system.
std::size_t Utf16Length(std::string_view text);

// The text with every control character a terminal acts on written as \x and two hex digits:
// C0 controls but tab and, where keepLineBreaks, the line feed; DEL; and C1 controls (0x9B
// starts a sequence as ESC [ does), whether written as characters (U+0080 to U+009F) or as bytes
// outside UTF-8, as an old name may hold them. Every other character, and every other byte of a
// text that is not UTF-8, stays as it is.
std::string EscapeTerminalControls(std::string_view text, bool keepLineBreaks = false);

}  // namespace platform
