// SPDX-License-Identifier: MIT
// Fuzz target for the check of what a document file holds: the input is the file's bytes. It is
// written to one temporary file (per process, reused) and judged by office::sniffFile and
// office::hasComments as Documents.Open judges a file before the engine sees it; hasComments
// also reads it as a compound file and as a zip whatever the sniff said, since the file can
// change between the two calls.
//
// What must never happen: a crash, an exception (the file is readable, so not even the
// SystemError sniffFile throws for a file it cannot read), a hang or unbounded memory; and the
// sniff must keep its word: Empty for no bytes and only then, a description with every Picture.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "office/server/filekind.h"

namespace {

[[noreturn]] void fault(const char* what) {
    std::fprintf(stderr, "filekind fuzz: %s\n", what);
    std::abort();
}

// The temporary file, removed when the process ends normally.
class InputFile {
 public:
    InputFile() {
        m_path = (std::filesystem::temp_directory_path() / "pavendel-fuzz-XXXXXX").string();
        const int fd = ::mkstemp(m_path.data());
        if (fd < 0) {
            fault("cannot create the temporary file");
        }
        ::close(fd);
    }
    ~InputFile() { ::unlink(m_path.c_str()); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    const std::string& path() const { return m_path; }

    void write(const std::uint8_t* data, std::size_t size) const {
        const int fd = ::open(m_path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0) {
            fault("cannot open the temporary file");
        }
        std::size_t written = 0;
        while (written < size) {
            const ssize_t n = ::write(fd, data + written, size - written);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                fault("cannot write the temporary file");
            }
            written += static_cast<std::size_t>(n);
        }
        ::close(fd);
    }

 private:
    std::string m_path;
};

}  // namespace

// libgsf (1.14.50) loses the entries that a damaged compound file links to as siblings of its
// root entry: its directory reader builds them without a parent and drops them, a few hundred
// bytes per such file. That leak is not ours to fix. GLib is built without frame pointers, so the
// allocation stacks end in GLib and cannot be told apart by their caller; as sanitizers.supp does
// for the test suites, leaks allocated through GLib are not reported (GObjects live in GSlice's
// slabs and would not show as leaks anyway). Leaks of this program's own allocations still are.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libglib-2.0.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const InputFile file;
    file.write(data, size);

    const office::FileSniff sniff = office::sniffFile(file.path());
    if ((sniff.kind == office::FileKind::Empty) != (size == 0)) {
        fault("Empty is for a file without bytes, and only for one");
    }
    if (sniff.kind == office::FileKind::Picture && sniff.what.empty()) {
        fault("a Picture without a description");
    }
    office::hasComments(file.path(), sniff.kind);
    office::hasComments(file.path(), office::FileKind::Compound);
    office::hasComments(file.path(), office::FileKind::Zip);
    return 0;
}
