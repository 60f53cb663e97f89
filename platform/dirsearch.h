// SPDX-License-Identifier: MIT
// Directory search with the matching rules of the desktop the program was written for:
// a pattern (a folder part and a name part with the wildcards * and ?) plus an attribute mask.
#pragma once

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

// Yields, one at a time and in name order, the names (without folder) of the entries that the
// pattern matches. Name order is the order in which the desktop's usual file system returns a
// folder's entries: bytes compared as unsigned values after folding a-z to A-Z, ties broken by
// the exact bytes ("Alpha.doc", "alpha2.doc", "a_b.doc", "beta.doc"). The rules:
// - the name part is matched without regard to letter case; * matches any run of characters
//   and ? any one character; an empty name part matches every entry;
// - a name part whose extension has exactly three characters also matches a name whose
//   extension begins with them, as the short 8.3 names do ("*.doc" lists "a.docx");
// - normal files are always yielded; folders, and the folder's own "." and "..", only when the
//   mask has kAttrDirectory; hidden entries (on POSIX systems a name starting with "."; on
//   Windows those the system marks hidden or system, unless the mask has that bit) and entries
//   that are neither files nor folders (devices, sockets, pipes) are never yielded;
// - a name part without wildcards names one entry exactly, and so does every name part with
//   NameMatch::Exact: a file called "a?.doc" is then that file, never "ab.doc";
// - the folder part is always taken as it stands: * and ? in it are characters of a folder's
//   name, which file systems here allow.
// A folder that does not exist yields nothing. Other failures (no permission to read the folder,
// a name that is too long) throw SystemError, from the constructor or from next().
// Whether a comes before b in the name order DirSearch yields.
bool ListedBefore(const std::string& a, const std::string& b);

enum class NameMatch { Pattern, Exact };

class DirSearch {
 public:
    DirSearch(std::string_view pattern, int attributes, NameMatch match = NameMatch::Pattern);
    ~DirSearch() = default;
    DirSearch(const DirSearch&) = delete;
    DirSearch& operator=(const DirSearch&) = delete;

    // The next matching name, or nothing when the search is exhausted.
    std::optional<std::string> next();

 private:
    friend std::string AnyMatch(std::string_view pattern, int attributes);

    // The folder as the system reads it (dirsearch_posix.cpp, dirsearch_win32.cpp), closed by
    // its deleter.
    struct Folder;
    struct CloseFolder {
        void operator()(Folder* folder) const;
    };
    // Opens m_folder for reading its names; a folder that does not exist gives none.
    void openFolder();
    // The next name in the open folder, in the order the file system keeps them.
    std::optional<std::string> readName();
    // Whether the entry of that name in m_folder is one the attribute mask lets through.
    bool qualifies(const std::string& name) const;
    // The system's error codes for a name with a NUL and for a name that is too long.
    static const int kInvalidName;
    static const int kNameTooLong;
    // The length of one name in the unit in which the system allows 255: bytes on POSIX
    // systems, UTF-16 code units (characters) on Windows.
    static std::size_t nameLength(std::string_view name);
    // The next qualifying entry in the order the file system keeps them.
    std::optional<std::string> nextUnordered();

    std::string m_folder;  // with a trailing separator
    std::string m_namePattern;
    int m_attributes;
    bool m_literal = false;
    bool m_literalDone = false;
    std::unique_ptr<Folder, CloseFolder> m_open;
    // The matches in name order, read at the first call of next(); m_nextSorted counts off
    // those already yielded.
    std::optional<std::vector<std::string>> m_sorted;
    std::size_t m_nextSorted = 0;
};

// A name the search yields, or the empty string: for callers that only ask whether anything
// matches, so it stops at the first match the file system gives and sorts nothing.
std::string AnyMatch(std::string_view pattern, int attributes);

// Windows-style wildcard match of one name against one name pattern, the short-name rule
// included. Exposed for tests.
bool MatchesNamePattern(std::string_view pattern, std::string_view name);

}  // namespace platform
