// SPDX-License-Identifier: MIT
// Directory search with the matching rules of the desktop the program was written for:
// a pattern (a folder part and a name part with the wildcards * and ?) plus an attribute mask.
#pragma once

#include <dirent.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Attribute bits, as the program's callers pass and test them.
inline constexpr int kAttrNormal = 0;
inline constexpr int kAttrReadOnly = 1;
inline constexpr int kAttrHidden = 2;
inline constexpr int kAttrSystem = 4;
inline constexpr int kAttrDirectory = 16;

// Yields, one at a time and in the order the file system keeps them, the names (without folder)
// of the entries that the pattern matches:
// - the name part is matched without regard to letter case; * matches any run of characters
//   and ? any one character; an empty name part matches every entry;
// - a name part whose extension has exactly three characters also matches a name whose
//   extension begins with them, as the short 8.3 names do ("*.doc" lists "a.docx");
// - normal files are always yielded; folders, and the folder's own "." and "..", only when the
//   mask has kAttrDirectory; hidden entries (a name starting with ".") and entries that are
//   neither files nor folders (devices, sockets, pipes) are never yielded;
// - a name part without wildcards names one entry exactly.
// A folder that does not exist yields nothing. Other failures (no permission to read the folder,
// a name that is too long, wildcards in the folder part) throw SystemError, from the
// constructor or from next().
class DirSearch {
 public:
    DirSearch(std::string_view pattern, int attributes);
    ~DirSearch();
    DirSearch(const DirSearch&) = delete;
    DirSearch& operator=(const DirSearch&) = delete;

    // The next matching name, or nothing when the search is exhausted.
    std::optional<std::string> next();

 private:
    bool qualifies(const std::string& name) const;

    std::string m_folder;  // with a trailing separator
    std::string m_namePattern;
    int m_attributes;
    bool m_literal = false;
    bool m_literalDone = false;
    DIR* m_dir = nullptr;
};

// The first name the search yields, or the empty string.
std::string FirstMatch(std::string_view pattern, int attributes);

// Windows-style wildcard match of one name against one name pattern, the short-name rule
// included. Exposed for tests.
bool MatchesNamePattern(std::string_view pattern, std::string_view name);

}  // namespace platform
