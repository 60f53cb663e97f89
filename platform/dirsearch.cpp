// SPDX-License-Identifier: MIT
#include "platform/dirsearch.h"

#include <algorithm>
#include <utility>

#include "platform/error.h"
#include "platform/paths.h"

namespace platform {

namespace {

// Decodes UTF-8 into code points so that ? stands for one character, not one byte. A byte that
// does not start a valid sequence stands for itself, so that any name can be matched.
std::u32string decode(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int length = lead < 0x80           ? 1
                     : (lead >> 5) == 0x6  ? 2
                     : (lead >> 4) == 0xE  ? 3
                     : (lead >> 3) == 0x1E ? 4
                                           : 0;
        bool valid = length > 0 && i + static_cast<std::size_t>(length) <= text.size();
        char32_t point = length == 1   ? lead
                         : length == 2 ? (lead & 0x1F)
                         : length == 3 ? (lead & 0x0F)
                                       : (lead & 0x07);
        for (int k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            valid = (next & 0xC0) == 0x80;
            point = (point << 6) | (next & 0x3F);
        }
        if (!valid) {
            out.push_back(0xDC00u + lead);
            i += 1;
        } else {
            out.push_back(point);
            i += static_cast<std::size_t>(length);
        }
    }
    return out;
}

char32_t fold(char32_t c) {
    return (c >= U'A' && c <= U'Z') ? c - U'A' + U'a' : c;
}

// Classic wildcard match with backtracking over the last *; letter case is ignored.
bool globMatch(const std::u32string& pattern, const std::u32string& name) {
    std::size_t p = 0, n = 0, starP = std::u32string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == U'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == U'?' || fold(pattern[p]) == fold(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::u32string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*') {
        ++p;
    }
    return p == pattern.size();
}

bool hasWildcards(std::string_view text) {
    return text.find_first_of("*?") != std::string_view::npos;
}

// The extension after the last full stop, or npos when the text has none.
std::size_t extensionStart(const std::u32string& text) {
    std::size_t dot = text.rfind(U'.');
    return dot == std::u32string::npos ? dot : dot + 1;
}

}  // namespace

bool MatchesNamePattern(std::string_view patternText, std::string_view nameText) {
    const std::u32string pattern = decode(patternText);
    const std::u32string name = decode(nameText);
    if (globMatch(pattern, name)) {
        return true;
    }
    // "name.*" also matches a name without any extension, and "*.*" matches everything.
    if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, U".*") == 0 &&
        name.find(U'.') == std::u32string::npos &&
        globMatch(pattern.substr(0, pattern.size() - 2), name)) {
        return true;
    }
    // The short-name rule: a three-character extension in the pattern also matches a longer
    // extension that begins with it, as the 8.3 name of "report.docx" ends in ".DOC".
    const std::size_t patternExt = extensionStart(pattern);
    const std::size_t nameExt = extensionStart(name);
    if (patternExt != std::u32string::npos && pattern.size() - patternExt == 3 &&
        nameExt != std::u32string::npos && name.size() - nameExt > 3) {
        return globMatch(pattern, name.substr(0, nameExt + 3));
    }
    return false;
}

DirSearch::DirSearch(std::string_view pattern, int attributes, NameMatch match)
    : m_attributes(attributes) {
    const std::string text(pattern);
    if (text.find('\0') != std::string::npos) {
        throw SystemError("search", text, kInvalidName);
    }
    const std::string::size_type slash = text.find_last_of(kPathSeparators);
    if (slash == std::string::npos) {
        m_folder = std::string(".") + kPathSeparator;
        m_namePattern = text;
    } else {
        m_folder = text.substr(0, slash + 1);
        m_namePattern = text.substr(slash + 1);
    }
    if (m_namePattern.empty()) {
        m_namePattern.assign(1, '*');
    }
    m_literal = match == NameMatch::Exact || !hasWildcards(m_namePattern);
    if (m_literal) {
        return;
    }
    openFolder();
}

bool ListedBefore(const std::string& a, const std::string& b) {
    // Bytes compare as unsigned values with a-z folded to A-Z; names equal but for letter case
    // then by their own bytes, so that the order is total.
    const auto upper = [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 'a' && byte <= 'z' ? static_cast<unsigned char>(byte - ('a' - 'A')) : byte;
    };
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (upper(a[i]) != upper(b[i])) {
            return upper(a[i]) < upper(b[i]);
        }
    }
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

std::optional<std::string> DirSearch::next() {
    if (m_literal) {
        return nextUnordered();
    }
    if (!m_sorted) {
        std::vector<std::string> names;
        while (std::optional<std::string> name = nextUnordered()) {
            names.push_back(std::move(*name));
        }
        std::sort(names.begin(), names.end(), ListedBefore);
        m_sorted = std::move(names);
    }
    if (m_nextSorted >= m_sorted->size()) {
        return std::nullopt;
    }
    return (*m_sorted)[m_nextSorted++];
}

std::optional<std::string> DirSearch::nextUnordered() {
    if (m_literal) {
        if (m_literalDone) {
            return std::nullopt;
        }
        m_literalDone = true;
        if (nameLength(m_namePattern) > 255) {
            throw SystemError("search", m_folder + m_namePattern, kNameTooLong);
        }
        if (qualifies(m_namePattern)) {
            return m_namePattern;
        }
        return std::nullopt;
    }
    while (std::optional<std::string> name = readName()) {
        if (MatchesNamePattern(m_namePattern, *name) && qualifies(*name)) {
            return name;
        }
    }
    return std::nullopt;
}

std::string AnyMatch(std::string_view pattern, int attributes) {
    DirSearch search(pattern, attributes);
    return search.nextUnordered().value_or(std::string());
}

}  // namespace platform
