// SPDX-License-Identifier: MIT
// The program's strings are UTF-8; the system's wide-character functions take UTF-16. These
// convert between the two at the calls, so that names outside the ANSI code page work.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// UTF-8 as UTF-16; a byte that is not valid UTF-8 becomes U+FFFD.
std::wstring Widen(std::string_view text);
// UTF-16 as UTF-8; a lone surrogate becomes U+FFFD.
std::string Narrow(std::wstring_view text);

// A path as the wide-character file calls take it. Those calls refuse a path longer than the
// classic limit (MAX_PATH, 12 fewer for a folder) unless it carries the "\\?\" prefix, which
// in turn takes the path verbatim. So an absolute path ("C:\..." or "\\server\share\...") that
// long is first normalised as the system would ("/" as "\", "." and ".." resolved) and then
// prefixed ("\\?\C:\...", "\\?\UNC\server\share\..."); every other path is only widened.
std::wstring WidePath(std::string_view path);

// The system's description of a Win32 error code, without the closing full stop and line end
// ("Access is denied").
std::string SystemErrorText(unsigned long code);
// The system's own words for the code; nothing when it has none.
std::optional<std::string> SystemMessage(unsigned long code);

}  // namespace platform
