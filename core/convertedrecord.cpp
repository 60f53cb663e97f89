// SPDX-License-Identifier: MIT
#include "core/convertedrecord.h"

#include <charconv>
#include <chrono>
#include <filesystem>
#include <vector>

#include "platform/paths.h"
#include "platform/sharedfolder.h"

namespace core {

std::string EscapeSeparators(const std::string& field) {
    std::string text;
    text.reserve(field.size());
    for (const char c : field) {
        switch (c) {
            case '\t':
                text += "\\t";
                break;
            case '\n':
                text += "\\n";
                break;
            case '\r':
                text += "\\r";
                break;
            case '\\':
                text += "\\\\";
                break;
            default:
                text += c;
        }
    }
    return text;
}

namespace {

// The field as it was before escaping; nothing for a field no run wrote (a stray backslash).
std::optional<std::string> unescaped(std::string_view field) {
    std::string text;
    text.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            text += field[i];
            continue;
        }
        if (++i == field.size()) {
            return std::nullopt;
        }
        switch (field[i]) {
            case 't':
                text += '\t';
                break;
            case 'n':
                text += '\n';
                break;
            case 'r':
                text += '\r';
                break;
            case '\\':
                text += '\\';
                break;
            default:
                return std::nullopt;
        }
    }
    return text;
}

template <typename Number>
std::optional<Number> number(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<SourceStamp> StampOf(const std::string& absolutePath) {
    std::error_code error;
    const std::filesystem::path path = platform::ToFsPath(absolutePath);
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        return std::nullopt;
    }
    const std::filesystem::file_time_type modified = std::filesystem::last_write_time(path, error);
    if (error) {
        return std::nullopt;
    }
    const auto since1970 = std::chrono::file_clock::to_sys(modified).time_since_epoch();
    // The same file, however the path to it was spelled ("./Archive/", "Archive"), has one key.
    return SourceStamp{
        platform::FromFsPath(path.lexically_normal()), size,
        static_cast<std::int64_t>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(since1970).count())};
}

ConvertedRecord::ConvertedRecord(const platform::Folder& folder) {
    const std::string text = platform::ReadLocked(folder, kConvertedRecordName);
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            // A last line without its newline was cut short: it counts for nothing.
            break;
        }
        const std::string_view line(text.data() + start, end - start);
        start = end + 1;
        std::vector<std::string_view> fields;
        for (std::size_t from = 0;;) {
            const std::size_t tab = line.find('\t', from);
            fields.push_back(line.substr(from, tab == std::string_view::npos ? tab : tab - from));
            if (tab == std::string_view::npos) {
                break;
            }
            from = tab + 1;
        }
        if (fields.size() != 4) {
            continue;
        }
        const std::optional<std::string> source = unescaped(fields[0]);
        const auto size = number<std::uintmax_t>(fields[1]);
        const auto modified = number<std::int64_t>(fields[2]);
        std::optional<std::string> output = unescaped(fields[3]);
        if (!source || !size || !modified || !output || output->empty()) {
            continue;
        }
        m_entries.insert_or_assign(*source, Entry{*size, *modified, std::move(*output)});
    }
}

std::optional<std::string> ConvertedRecord::outputOf(const SourceStamp& source,
                                                     const platform::Folder& folder) const {
    const auto found = m_entries.find(source.path);
    if (found == m_entries.end() || found->second.size != source.size ||
        found->second.modified != source.modified || !folder.hasEntry(found->second.output)) {
        return std::nullopt;
    }
    return found->second.output;
}

void ConvertedRecord::Add(const platform::Folder& folder, const SourceStamp& source,
                          const std::string& outputName) {
    platform::AppendLocked(folder, kConvertedRecordName,
                           EscapeSeparators(source.path) + '\t' + std::to_string(source.size) +
                               '\t' + std::to_string(source.modified) + '\t' +
                               EscapeSeparators(outputName) + '\n');
}

}  // namespace core
