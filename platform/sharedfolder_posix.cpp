// SPDX-License-Identifier: MIT
#include "platform/sharedfolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/error.h"
#include "platform/paths.h"

namespace platform {

namespace {

// A descriptor closed when it goes out of scope.
class Descriptor {
 public:
    explicit Descriptor(int descriptor) : m_descriptor(descriptor) {}
    ~Descriptor() {
        if (m_descriptor >= 0) {
            ::close(m_descriptor);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_descriptor; }
    int release() { return std::exchange(m_descriptor, -1); }
    // Holds the other descriptor instead, closing its own.
    void reset(int descriptor) {
        if (m_descriptor >= 0) {
            ::close(m_descriptor);
        }
        m_descriptor = descriptor;
    }

 private:
    int m_descriptor;
};

// Holds a lock on a descriptor (flock, which NFS carries over to the server) until it ends.
class Lock {
 public:
    Lock(int descriptor, int kind, const std::string& path) : m_descriptor(descriptor) {
        while (::flock(descriptor, kind) != 0) {
            if (errno != EINTR) {
                throw SystemError("lock", path, errno);
            }
        }
    }
    ~Lock() { ::flock(m_descriptor, LOCK_UN); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

 private:
    int m_descriptor;
};

void writeAll(int descriptor, const std::string& text, const std::string& path) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(descriptor, text.data() + done, text.size() - done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw SystemError("write", path, errno);
        }
        done += static_cast<std::size_t>(written);
    }
}

}  // namespace

std::shared_ptr<const Folder> OpenSubfolder(const Folder& base, const std::string& relative,
                                            bool create) {
    std::string path = base.path();
    // The base itself is reopened, so that the folder returned holds a descriptor of its own.
    Descriptor current(::openat(base.descriptor(), ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (current.get() < 0) {
        throw SystemError("open folder", path, errno);
    }
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t end = relative.find('/', start);
        if (end == std::string::npos) {
            end = relative.size();
        }
        const std::string level = relative.substr(start, end - start);
        start = end + 1;
        if (level.empty() || level == ".") {
            continue;
        }
        path = inFolder(path, level);
        if (level == "..") {
            throw SystemError("open folder", path, EINVAL);
        }
        if (create && ::mkdirat(current.get(), level.c_str(), 0777) != 0 && errno != EEXIST) {
            throw SystemError("make folder", path, errno);
        }
        // O_NOFOLLOW: a link in the tree's place is refused (ENOTDIR or ELOOP), never followed.
        const int next =
            ::openat(current.get(), level.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) {
            throw SystemError("open folder", path, errno);
        }
        current.reset(next);
    }
    return std::make_shared<const Folder>(current.release(), path);
}

std::string ReadLocked(const Folder& folder, const std::string& name) {
    const std::string path = inFolder(folder.path(), name);
    const Descriptor file(
        ::openat(folder.descriptor(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (file.get() < 0) {
        if (errno == ENOENT) {
            return {};
        }
        throw SystemError("open", path, errno);
    }
    const Lock lock(file.get(), LOCK_SH, path);
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw SystemError("read", path, errno);
        }
        if (got == 0) {
            return text;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

void AppendLocked(const Folder& folder, const std::string& name, const std::string& lines) {
    const std::string path = inFolder(folder.path(), name);
    const Descriptor file(::openat(folder.descriptor(), name.c_str(),
                                   O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (file.get() < 0) {
        throw SystemError("open", path, errno);
    }
    const Lock lock(file.get(), LOCK_EX, path);
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        throw SystemError("open", path, errno);
    }
    if (!S_ISREG(info.st_mode)) {
        throw SystemError("open", path, EINVAL);
    }
    char last = '\n';
    if (info.st_size > 0 && ::pread(file.get(), &last, 1, info.st_size - 1) != 1) {
        throw SystemError("read", path, errno);
    }
    writeAll(file.get(), last == '\n' ? lines : '\n' + lines, path);
}

}  // namespace platform
