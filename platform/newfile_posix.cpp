// SPDX-License-Identifier: MIT
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
#include <filesystem>
#include <functional>

#include "platform/error.h"
#include "platform/newfile_names.h"

namespace fs = std::filesystem;

namespace platform {

namespace {

std::string temporaryPattern(const std::string& folder) {
    return folder + "/" + kTemporaryPrefix + std::to_string(::getpid()) + "-XXXXXX";
}

pid_t temporaryWriter(const std::string& name) {
    return static_cast<pid_t>(TemporaryWriter(name));
}

// Removes what saves of this user that were killed half-way left in the folder: our temporary
// files whose writer has ended, and only those, so that another save under way (a second window)
// keeps its own.
void sweepLeftovers(const std::string& folder) {
    DIR* directory = ::opendir(folder.c_str());
    if (directory == nullptr) {
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
        if (::fstatat(::dirfd(directory), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && info.st_uid == ::getuid() &&
            now - info.st_mtime >= kLeftoverAge) {
            ::unlinkat(::dirfd(directory), name.c_str(), 0);
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
bool saveUnnamed(const std::string& source, const std::string& folder, const std::string& target) {
    const int out = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
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
    const int linked =
        ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW);
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

// A complete, durable hidden file beside the target, filled by `fill`, for the methods that give
// it its name afterwards. Throws SaveFailed and leaves nothing behind.
std::string writeTemporary(const std::string& folder, const std::function<void(int)>& fill) {
    std::string temporary = temporaryPattern(folder);
    const int out = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (out < 0) {
        throw SaveFailed(errno, "create");
    }
    bool unclosed = true;
    try {
        // mkstemp makes the file private; the file gets the permissions any new file would. A
        // file system that keeps no permissions refuses, which does not spoil the file.
        (void)::fchmod(out, newFileMode());
        fill(out);
        unclosed = false;
        closeWritten(out);
    } catch (const SaveFailed&) {
        if (unclosed) {
            ::close(out);
        }
        ::unlink(temporary.c_str());
        throw;
    }
    return temporary;
}

std::string folderOf(const fs::path& target) {
    return target.has_parent_path() ? target.parent_path().string() : std::string(".");
}

// True: in place; false: not offered here. Throws SaveFailed (EEXIST when the name is taken).
bool renameNoReplace(const std::string& temporary, const std::string& target) {
    if (::syscall(SYS_renameat2, AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(),
                  RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (notOffered(errno)) {
        return false;
    }
    throw SaveFailed(errno);
}

bool linkThenUnlink(const std::string& temporary, const std::string& target) {
    if (::link(temporary.c_str(), target.c_str()) == 0) {
        ::unlink(temporary.c_str());
        return true;
    }
    if (notOffered(errno)) {
        return false;
    }
    throw SaveFailed(errno);
}

void createExclusively(const std::string& source, const std::string& target) {
    const int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, newFileMode());
    if (out < 0) {
        throw SaveFailed(errno);
    }
    try {
        copyInto(out, source);
        closeWritten(out);
    } catch (const SaveFailed&) {
        // Only what this call created goes: the name was free when it was opened.
        ::unlink(target.c_str());
        throw;
    }
}

}  // namespace

void writeNewFile(const std::string& source, const std::string& target, NewFileMethod first) {
    const fs::path targetPath(target);
    const std::string name = targetPath.filename().string();
    const auto failed = [&target](const std::string& reason) {
        return SystemError("save", target, reason);
    };
    if (name.empty()) {
        throw failed("the target path names no file");
    }
    const std::string folder = folderOf(targetPath);
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        throw failed("the folder \"" + folder + "\" does not exist");
    }
    const auto taken = [&] {
        return fs::is_directory(targetPath, error)
                   ? failed("a folder of that name is in the way")
                   : failed("a file of that name is already there, and it is left as it is");
    };
    if (fs::is_directory(targetPath, error)) {
        throw taken();
    }
    sweepLeftovers(folder);
    // A file of that name is found by each method itself, at the moment it gives the file its
    // name, so that one made a moment earlier is never replaced either.
    try {
        if (first <= NewFileMethod::UnnamedFile && saveUnnamed(source, folder, target)) {
            return;
        }
        if (first <= NewFileMethod::LinkThenUnlink) {
            const std::string temporary =
                writeTemporary(folder, [&source](int out) { copyInto(out, source); });
            try {
                if ((first <= NewFileMethod::RenameNoReplace &&
                     renameNoReplace(temporary, target)) ||
                    linkThenUnlink(temporary, target)) {
                    return;
                }
            } catch (const SaveFailed&) {
                ::unlink(temporary.c_str());
                throw;
            }
            ::unlink(temporary.c_str());
        }
        createExclusively(source, target);
    } catch (const SaveFailed& save) {
        if (save.error() == EEXIST) {
            throw taken();
        }
        throw SystemError("save", target, save.error());
    }
}

void replaceFile(const std::string& target, const std::string& contents) {
    const std::string folder = folderOf(fs::path(target));
    sweepLeftovers(folder);
    std::string temporary;
    try {
        temporary = writeTemporary(folder, [&contents](int out) {
            writeAll(out, contents.data(), contents.size());
            makeDurable(out);
        });
    } catch (const SaveFailed& save) {
        throw SystemError(save.operation(), target, save.error());
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw SystemError("replace", target, error);
    }
}

}  // namespace platform
