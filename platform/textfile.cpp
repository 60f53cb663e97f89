// SPDX-License-Identifier: MIT
#include "platform/textfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "platform/error.h"

namespace platform {

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
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream contents;
    contents << file.rdbuf();
    if (file.bad()) {
        return std::nullopt;
    }
    return SplitLines(contents.str());
}

namespace {

void writeAll(int fd, const std::string& data, const std::string& path) {
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, p, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw SystemError("write", path, errno);
        }
        p += written;
        left -= static_cast<std::size_t>(written);
    }
}

}  // namespace

void WriteLines(const std::string& path, const std::vector<std::string>& lines) {
    std::string data;
    for (const std::string& line : lines) {
        data += line;
        data += "\r\n";
    }
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        throw SystemError("create", path, errno);
    }
    try {
        // mkstemp creates the file readable by its owner only; give it the usual permissions.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
        writeAll(fd, data, path);
        if (::fsync(fd) != 0) {
            throw SystemError("write", path, errno);
        }
    } catch (...) {
        ::close(fd);
        ::unlink(temp.c_str());
        throw;
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        throw SystemError("write", path, error);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        throw SystemError("replace", path, error);
    }
}

}  // namespace platform
