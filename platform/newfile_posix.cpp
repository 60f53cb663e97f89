// SPDX-License-Identifier: MIT
// Every step is taken relative to the target's folder, held open (folder.h), and never through a
// link: the temporary file, the new file's name, the leftovers swept.
#include "platform/newfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <random>

#include "platform/error.h"
#include "platform/folder.h"
#include "platform/newfile_names.h"
#include "platform/paths.h"

namespace platform {

namespace {

// ".pavendel-<pid>-" and six random letters and digits.
std::string temporaryName() {
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string name = kTemporaryPrefix + std::to_string(::getpid()) + "-";
    for (std::size_t i = 0; i < kTemporaryRandomPart; ++i) {
        name.push_back(kLetters[pick(random)]);
    }
    return name;
}

pid_t temporaryWriter(const std::string& name) {
    return static_cast<pid_t>(TemporaryWriter(name));
}

// Removes what saves of this user that were killed half-way left in the folder: our temporary
// files whose writer has ended, and only those, so that another save under way (a second window)
// keeps its own.
void sweepLeftovers(int folder) {
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) {
        return;
    }
    DIR* directory = ::fdopendir(listing);
    if (directory == nullptr) {
        ::close(listing);
        return;
    }
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(directory)) {
        const std::string name = entry->d_name;
        const pid_t writer = temporaryWriter(name);
        if (writer <= 0 || (::kill(writer, 0) == 0 || errno != ESRCH)) {
            continue;
        }
        struct stat info {};
        if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && info.st_uid == ::getuid() &&
            now - info.st_mtime >= kLeftoverAge) {
            ::unlinkat(folder, name.c_str(), 0);
        }
    }
    ::closedir(directory);
}

// What a file system that does not offer a method answers; anything else is a real failure.
bool notOffered(int error) {
    return error == EOPNOTSUPP || error == ENOTSUP || error == EINVAL || error == ENOSYS ||
           error == EPERM || error == EISDIR || error == EMLINK || error == EXDEV;
}

// A failed step of a write: the system's error, and what was being done ("create" the temporary
// file, "write" it, "replace" the target with it).
class SaveFailed {
 public:
    explicit SaveFailed(int error, const char* operation = "write")
        : m_error(error), m_operation(operation) {}
    int error() const { return m_error; }
    const char* operation() const { return m_operation; }

 private:
    int m_error;
    const char* m_operation;
};

void writeAll(int out, const char* data, std::size_t size) {
    for (std::size_t written = 0; written < size;) {
        const ssize_t w = ::write(out, data + written, size - written);
        if (w < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw SaveFailed(errno);
        }
        written += static_cast<std::size_t>(w);
    }
}

// Flushes the written file to disk. A file system that cannot (EINVAL) has nothing to flush.
void makeDurable(int out) {
    if (::fsync(out) != 0 && errno != EINVAL) {
        throw SaveFailed(errno);
    }
}

// Copies the source into the open file and makes it durable; throws SaveFailed.
void copyInto(int out, const std::string& source) {
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        throw SaveFailed(errno);
    }
    char buffer[65536];
    try {
        for (;;) {
            const ssize_t n = ::read(in, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                throw SaveFailed(errno);
            }
            if (n == 0) {
                break;
            }
            writeAll(out, buffer, static_cast<std::size_t>(n));
        }
    } catch (const SaveFailed&) {
        ::close(in);
        throw;
    }
    ::close(in);
    makeDurable(out);
}

// Closes the descriptor; a failing close of a written file is a failed save.
void closeWritten(int fd) {
    if (::close(fd) != 0 && errno != EINTR) {
        throw SaveFailed(errno);
    }
}

mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Returns false when the folder's file system does not offer unnamed files or /proc is missing.
bool saveUnnamed(const std::string& source, int folder, const std::string& name) {
    const int out = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (out < 0) {
        if (notOffered(errno) || errno == ENOENT) {
            return false;
        }
        throw SaveFailed(errno);
    }
    try {
        copyInto(out, source);
    } catch (const SaveFailed&) {
        ::close(out);
        throw;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(out);
    const int linked = ::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW);
    const int error = errno;
    ::close(out);
    if (linked == 0) {
        return true;
    }
    if (notOffered(error) || error == ENOENT) {
        return false;
    }
    throw SaveFailed(error);
}

// A complete, durable hidden file in the folder, filled by `fill`, for the methods that give it
// its name afterwards; its name. Throws SaveFailed and leaves nothing behind.
std::string writeTemporary(int folder, const std::function<void(int)>& fill) {
    std::string temporary;
    int out = -1;
    for (int attempt = 0; out < 0; ++attempt) {
        temporary = temporaryName();
        out = ::openat(folder, temporary.c_str(),
                       O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (out < 0 && (errno != EEXIST || attempt >= 100)) {
            throw SaveFailed(errno, "create");
        }
    }
    bool unclosed = true;
    try {
        // Made private; the file gets the permissions any new file would. A file system that
        // keeps no permissions refuses, which does not spoil the file.
        (void)::fchmod(out, newFileMode());
        fill(out);
        unclosed = false;
        closeWritten(out);
    } catch (const SaveFailed&) {
        if (unclosed) {
            ::close(out);
        }
        ::unlinkat(folder, temporary.c_str(), 0);
        throw;
    }
    return temporary;
}

// True: in place; false: not offered here. Throws SaveFailed (EEXIST when the name is taken).
bool renameNoReplace(int folder, const std::string& temporary, const std::string& name) {
    if (::syscall(SYS_renameat2, folder, temporary.c_str(), folder, name.c_str(),
                  RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (notOffered(errno)) {
        return false;
    }
    throw SaveFailed(errno);
}

bool linkThenUnlink(int folder, const std::string& temporary, const std::string& name) {
    if (::linkat(folder, temporary.c_str(), folder, name.c_str(), 0) == 0) {
        ::unlinkat(folder, temporary.c_str(), 0);
        return true;
    }
    if (notOffered(errno)) {
        return false;
    }
    throw SaveFailed(errno);
}

void createExclusively(const std::string& source, int folder, const std::string& name) {
    // O_EXCL never opens what is there, a link included.
    const int out = ::openat(folder, name.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, newFileMode());
    if (out < 0) {
        throw SaveFailed(errno);
    }
    try {
        copyInto(out, source);
        closeWritten(out);
    } catch (const SaveFailed&) {
        // Only what this call created goes: the name was free when it was opened.
        ::unlinkat(folder, name.c_str(), 0);
        throw;
    }
}

// writeNewFile into the folder, naming the target as `shown` in its errors.
void saveNew(const std::string& source, const Folder& folder, const std::string& name,
             const std::string& shown, NewFileMethod first) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
        throw SystemError("save", shown, "the target path names no file");
    }
    const int at = folder.descriptor();
    const auto taken = [&] {
        return NameTaken(shown,
                         folder.hasFolder(name)
                             ? "a folder of that name is in the way"
                             : "a file of that name is already there, and it is left as it is");
    };
    if (folder.hasEntry(name)) {
        throw taken();
    }
    sweepLeftovers(at);
    // A file of that name is found by each method itself, at the moment it gives the file its
    // name, so that one made a moment earlier is never replaced either.
    try {
        if (first <= NewFileMethod::UnnamedFile && saveUnnamed(source, at, name)) {
            return;
        }
        if (first <= NewFileMethod::LinkThenUnlink) {
            const std::string temporary =
                writeTemporary(at, [&source](int out) { copyInto(out, source); });
            try {
                if ((first <= NewFileMethod::RenameNoReplace &&
                     renameNoReplace(at, temporary, name)) ||
                    linkThenUnlink(at, temporary, name)) {
                    return;
                }
            } catch (const SaveFailed&) {
                ::unlinkat(at, temporary.c_str(), 0);
                throw;
            }
            ::unlinkat(at, temporary.c_str(), 0);
        }
        createExclusively(source, at, name);
    } catch (const SaveFailed& save) {
        if (save.error() == EEXIST) {
            throw taken();
        }
        throw SystemError("save", shown, save.error());
    }
}

}  // namespace

void writeNewFile(const std::string& source, const Folder& folder, const std::string& name,
                  NewFileMethod first) {
    saveNew(source, folder, name, inFolder(folder.path(), name), first);
}

void writeNewFile(const std::string& source, const std::string& target, NewFileMethod first) {
    const std::string name = NamePartOf(target);
    if (name.empty()) {
        throw SystemError("save", target, "the target path names no file");
    }
    const std::string folderPath = FolderPartOf(target);
    std::shared_ptr<const Folder> folder;
    try {
        folder = FolderAt(folderPath);
    } catch (const SystemError&) {
        throw SystemError("save", target, "the folder \"" + folderPath + "\" does not exist");
    }
    saveNew(source, *folder, name, target, first);
}

void replaceFile(const std::string& target, const std::string& contents) {
    std::unique_ptr<Folder> folder;
    try {
        folder = std::make_unique<Folder>(FolderPartOf(target));
    } catch (const SystemError& error) {
        throw SystemError("create", target, error.error());
    }
    const int at = folder->descriptor();
    sweepLeftovers(at);
    std::string temporary;
    try {
        temporary = writeTemporary(at, [&contents](int out) {
            writeAll(out, contents.data(), contents.size());
            makeDurable(out);
        });
    } catch (const SaveFailed& save) {
        throw SystemError(save.operation(), target, save.error());
    }
    if (::renameat(at, temporary.c_str(), at, NamePartOf(target).c_str()) != 0) {
        const int error = errno;
        ::unlinkat(at, temporary.c_str(), 0);
        throw SystemError("replace", target, error);
    }
}

}  // namespace platform
