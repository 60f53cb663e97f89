// SPDX-License-Identifier: MIT
#include "platform/textfile.h"

#include <fstream>
#include <sstream>
#include <string_view>
#include <utility>

#include "platform/newfile.h"
#include "platform/paths.h"

namespace platform {

namespace {

// Editors such as Notepad put it at the start of a file they save as UTF-8.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

std::vector<std::string> SplitLines(const std::string& contents) {
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start < contents.size()) {
        std::string::size_type end = contents.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(contents.substr(start));
            break;
        }
        std::string line = contents.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::optional<std::vector<std::string>> ReadLines(const std::string& path) {
    std::ifstream file(ToFsPath(path), std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream contents;
    contents << file.rdbuf();
    if (file.bad()) {
        return std::nullopt;
    }
    std::string bytes = contents.str();
    if (bytes.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0) {
        bytes.erase(0, kByteOrderMark.size());
    }
    std::vector<std::string> lines = SplitLines(bytes);
    for (std::string& line : lines) {
        line = LineFromFile(std::move(line));
    }
    return lines;
}

void WriteLines(const std::string& path, const std::vector<std::string>& lines) {
    std::string data;
    for (const std::string& line : lines) {
        data += line;
        data += "\r\n";
    }
    replaceFile(path, TextForFile(std::move(data)));
}

}  // namespace platform
