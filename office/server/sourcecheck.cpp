// SPDX-License-Identifier: MIT
#include "office/server/sourcecheck.h"

#include <gsf/gsf.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "automation/automation.h"
#include "platform/error.h"

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

FileSniff checkSource(const std::string& path) {
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

    FileSniff sniff;
    try {
        sniff = sniffFile(path);
    } catch (const platform::SystemError& error) {
        throw AutomationError("The document " + quoted(name) +
                              " could not be read: " + error.reason() + ".");
    }
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
            if (const long long unpacked = unpackedSize(path); unpacked > kLargestUnpacked) {
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

}  // namespace office
