// SPDX-License-Identifier: MIT
#include "office/server/sourcecheck.h"

#include <fcntl.h>
#include <gsf/gsf.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

#include "automation/automation.h"
#include "office/server/sandbox.h"
#include "office/server/testfault.h"
#include "platform/error.h"
#include "platform/process.h"

namespace fs = std::filesystem;

namespace office {

using automation::AutomationError;

namespace {

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// More than Word writes into a document (it refuses files over 2 GB): a package that unpacks to
// more is made to exhaust the engine's memory and time, not to be read.
constexpr long long kLargestUnpacked = 2LL << 30;

struct GObjectUnref {
    void operator()(void* object) const { g_object_unref(object); }
};

// What the parts below a folder of a zip package add up to once unpacked, as the package's
// directory gives their sizes. The engine reads no part past the size given there (a package that
// says less than its part holds fails to load), so these sizes bound what it unpacks.
long long unpackedSize(GsfInfile* folder) {
    long long total = 0;
    const int children = gsf_infile_num_children(folder);
    for (int i = 0; i < children && total <= kLargestUnpacked; ++i) {
        const std::unique_ptr<GsfInput, GObjectUnref> child(gsf_infile_child_by_index(folder, i));
        if (!child) {
            continue;
        }
        if (GSF_IS_INFILE(child.get()) && gsf_infile_num_children(GSF_INFILE(child.get())) >= 0) {
            total += unpackedSize(GSF_INFILE(child.get()));
        } else {
            total += gsf_input_size(child.get());
        }
    }
    return total;
}

// The unpacked size of a zip package; 0 when it cannot be read as one (the engine then says
// what is wrong with it).
long long unpackedSize(const std::string& path) {
    GError* error = nullptr;
    const std::unique_ptr<GsfInput, GObjectUnref> input(gsf_input_stdio_new(path.c_str(), &error));
    g_clear_error(&error);
    if (!input) {
        return 0;
    }
    const std::unique_ptr<GsfInfile, GObjectUnref> zip(gsf_infile_zip_new(input.get(), &error));
    g_clear_error(&error);
    return zip ? unpackedSize(zip.get()) : 0;
}

}  // namespace

SourceLook lookAt(const std::string& path) {
    SourceLook looked;
    try {
        looked.sniff = sniffFile(path);
    } catch (const platform::SystemError& error) {
        looked.unreadable = error.reason();
        return looked;
    }
    if (looked.sniff.kind == FileKind::Zip) {
        looked.unpacked = unpackedSize(path);
    }
    looked.sniff.comments = hasComments(path, looked.sniff.kind);
    return looked;
}

std::string encodeLook(const SourceLook& looked) {
    return nlohmann::json{{"kind", static_cast<int>(looked.sniff.kind)},
                          {"what", looked.sniff.what},
                          {"comments", looked.sniff.comments},
                          {"unpacked", looked.unpacked},
                          {"unreadable", looked.unreadable}}
        .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::optional<SourceLook> decodeLook(const std::string& text) {
    const nlohmann::json reply = nlohmann::json::parse(text, nullptr, false);
    if (!reply.is_object()) {
        return std::nullopt;
    }
    const auto kind = reply.find("kind");
    if (kind == reply.end() || !kind->is_number_integer() || kind->get<int>() < 0 ||
        kind->get<int>() > static_cast<int>(FileKind::Binary)) {
        return std::nullopt;
    }
    SourceLook looked;
    try {
        looked.sniff.kind = static_cast<FileKind>(kind->get<int>());
        looked.sniff.what = reply.value("what", "");
        looked.sniff.comments = reply.value("comments", false);
        looked.unpacked = reply.value("unpacked", 0LL);
        looked.unreadable = reply.value("unreadable", "");
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
    return looked;
}

SourceLook lookConfined(const std::string& path) {
    // The system's files and this one file to read, nothing to write.
    EngineLimits limits = engineLimits("", {}, {path});
    if (limits.addressSpace != 0) {
        limits.addressSpace = 1ULL << 30;  // the parsers read directories and headers only
    }
    int answer[2];
    if (::pipe2(answer, O_CLOEXEC) != 0) {
        throw AutomationError(
            "The document could not be checked: " + std::string(std::strerror(errno)) + ".");
    }
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(answer[0]);
        // The document is opened before the limits (a private view may not show it); the
        // parsers read it through this descriptor.
        const int document = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (!platform::DieWithParent(parent)) {
            ::_exit(1);
        }
        applyEngineLimits(limits);
        if (faultRequested("check-crash", fs::path(path).filename().string())) {
            ::abort();
        }
        SourceLook looked;
        if (document < 0) {
            looked.unreadable = std::strerror(errno);
        } else {
            looked = lookAt("/proc/self/fd/" + std::to_string(document));
        }
        const std::string line = encodeLook(looked) + "\n";
        const bool sent =
            ::write(answer[1], line.data(), line.size()) == static_cast<ssize_t>(line.size());
        ::_exit(sent ? 0 : 1);
    }
    ::close(answer[1]);
    if (child < 0) {
        ::close(answer[0]);
        throw AutomationError(
            "The document could not be checked: " + std::string(std::strerror(errno)) + ".");
    }
    std::string text;
    char chunk[4096];
    for (ssize_t n; (n = ::read(answer[0], chunk, sizeof chunk)) != 0;) {
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            break;
        }
        text.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(answer[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    const std::optional<SourceLook> looked = decodeLook(text);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !looked) {
        SourceLook failed;
        failed.unreadable = "reading it stopped the program that checks documents";
        return failed;
    }
    return *looked;
}

void checkSourceFile(const std::string& path) {
    const fs::path source(path);
    const std::string name = source.filename().string();
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            throw AutomationError("The document " + quoted(name) + " could not be found (" + path +
                                  ").");
        }
        throw AutomationError("The document " + quoted(name) +
                              " could not be read: " + std::strerror(errno) + ".");
    }
    if (S_ISDIR(info.st_mode)) {
        throw AutomationError(quoted(path) + " is a folder, not a document.");
    }
    if (!S_ISREG(info.st_mode)) {
        throw AutomationError(quoted(path) + " is not a document file.");
    }
    // Refused before its private copy is made, which would take as much room again (a sparse
    // file's holes included).
    if (info.st_size > kLargestUnpacked) {
        char size[32];
        std::snprintf(size, sizeof size, "%.1f", static_cast<double>(info.st_size) / (1 << 30));
        throw AutomationError("The document " + quoted(name) + " cannot be opened: it takes " +
                              size + " GB, more than a Word document holds (2 GB).");
    }
}

FileSniff checkLook(const std::string& name, const SourceLook& looked) {
    if (!looked.unreadable.empty()) {
        throw AutomationError("The document " + quoted(name) +
                              " could not be read: " + looked.unreadable + ".");
    }
    const FileSniff& sniff = looked.sniff;
    switch (sniff.kind) {
        case FileKind::Encrypted:
            throw AutomationError("The document " + quoted(name) +
                                  " is protected with a password, so it cannot be opened.");
        case FileKind::Picture:
            throw AutomationError("The file " + quoted(name) + " is " + sniff.what +
                                  ", not a Word document.");
        case FileKind::Binary:
            throw AutomationError("The file " + quoted(name) +
                                  " is not a Word document: it holds neither text nor a document "
                                  "format that can be read.");
        case FileKind::Zip:
            if (const long long unpacked = looked.unpacked; unpacked > kLargestUnpacked) {
                char size[32];
                std::snprintf(size, sizeof size, "%.1f", static_cast<double>(unpacked) / (1 << 30));
                throw AutomationError("The document " + quoted(name) +
                                      " cannot be opened: unpacked, it would take " + size +
                                      " GB, more than a Word document holds.");
            }
            break;
        default:
            break;
    }
    return sniff;
}

FileSniff checkSource(const std::string& path) {
    checkSourceFile(path);
    return checkLook(fs::path(path).filename().string(), lookConfined(path));
}

}  // namespace office
