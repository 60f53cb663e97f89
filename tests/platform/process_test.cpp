// SPDX-License-Identifier: MIT
// The process helpers on real processes: a descriptor that tells the end of a process, a child
// that dies with its parent, and standard streams sent nowhere.
#include "platform/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

bool readableWithin(int fd, int milliseconds) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, milliseconds) == 1;
}

TEST(Process, TheDescriptorOfAProcessBecomesReadableWhenItEnds) {
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        char c = 0;
        (void)!::read(go[0], &c, 1);
        ::_exit(0);
    }
    int pidfd = platform::OpenProcessDescriptor(child);
    ASSERT_GE(pidfd, 0);
    EXPECT_FALSE(readableWithin(pidfd, 50)) << "readable while the process still runs";
    (void)!::write(go[1], "x", 1);
    EXPECT_TRUE(readableWithin(pidfd, 10000));
    ::waitpid(child, nullptr, 0);
    // Reaped: there is no process to describe any more.
    EXPECT_EQ(platform::OpenProcessDescriptor(child), -1);
    platform::CloseQuietly(pidfd);
    EXPECT_EQ(pidfd, -1);
    platform::CloseQuietly(pidfd);  // a second time is harmless
    ::close(go[0]);
    ::close(go[1]);
}

// A middle process forks a grandchild that asks to die with it, then ends: the grandchild goes
// too. A grandchild whose parent is already gone when it asks is told so.
TEST(Process, AChildDiesWithItsParent) {
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t middle = ::fork();
    if (middle == 0) {
        const pid_t parent = ::getpid();
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            if (!platform::DieWithParent(parent)) {
                ::_exit(3);
            }
            for (;;) {
                ::pause();
            }
        }
        (void)!::write(report[1], &grandchild, sizeof grandchild);
        // Long enough for the grandchild to have asked.
        ::usleep(200000);
        ::_exit(0);
    }
    pid_t grandchild = 0;
    ASSERT_EQ(::read(report[0], &grandchild, sizeof grandchild),
              static_cast<ssize_t>(sizeof grandchild));
    const int pidfd = platform::OpenProcessDescriptor(grandchild);
    ::waitpid(middle, nullptr, 0);
    ASSERT_GE(pidfd, 0);
    EXPECT_TRUE(readableWithin(pidfd, 10000)) << "the grandchild outlived its parent";
    ::close(pidfd);
    ::close(report[0]);
    ::close(report[1]);

    const pid_t orphan = ::fork();
    if (orphan == 0) {
        ::_exit(platform::DieWithParent(::getppid() + 1) ? 0 : 7);
    }
    int status = 0;
    ::waitpid(orphan, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 7);
}

TEST(Process, SilencedStreamsWriteNothingAnywhere) {
    int seen[2];
    ASSERT_EQ(::pipe(seen), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(seen[1], STDOUT_FILENO);
        ::dup2(seen[1], STDERR_FILENO);
        ::close(seen[0]);
        ::close(seen[1]);
        platform::SilenceStandardStreams(true);
        (void)!::write(STDOUT_FILENO, "out", 3);
        (void)!::write(STDERR_FILENO, "err", 3);
        char c = 0;
        ::_exit(::read(STDIN_FILENO, &c, 1) == 0 ? 0 : 5);  // end of file at once
    }
    ::close(seen[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    char buffer[16];
    EXPECT_EQ(::read(seen[0], buffer, sizeof buffer), 0) << "something reached the old streams";
    ::close(seen[0]);
}

// A child keeps exactly the descriptors it is told to keep (standard streams apart), whatever
// gaps lie between them; everything else its parent had open is gone.
TEST(Process, AChildKeepsOnlyTheDescriptorsItIsGiven) {
    std::vector<int> opened;
    for (int i = 0; i < 6; ++i) {
        opened.push_back(::open("/dev/null", O_RDONLY));  // without O_CLOEXEC, as a caller's may be
        ASSERT_GE(opened.back(), 0);
    }
    const std::vector<int> kept{opened[1], opened[4]};
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        std::vector<int> keep = kept;
        keep.push_back(report[1]);
        std::sort(keep.begin(), keep.end());
        platform::CloseDescriptorsExcept(keep);
        std::string seen;
        for (const int fd : platform::OpenDescriptors()) {
            seen += std::to_string(fd) + ' ';
        }
        (void)!::write(report[1], seen.data(), seen.size());
        ::_exit(0);
    }
    ::close(report[1]);
    std::string seen;
    char chunk[256];
    for (ssize_t n; (n = ::read(report[0], chunk, sizeof chunk)) > 0;) {
        seen.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(report[0]);
    ::waitpid(child, nullptr, 0);
    std::vector<int> expected{kept[0], kept[1], report[1]};
    std::sort(expected.begin(), expected.end());
    std::string want;
    for (const int fd : expected) {
        want += std::to_string(fd) + ' ';
    }
    EXPECT_EQ(seen, want);
    for (const int fd : opened) {
        ::close(fd);
    }
}

}  // namespace
