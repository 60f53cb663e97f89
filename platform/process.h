// SPDX-License-Identifier: MIT
// The small POSIX process helpers that the automation client, the office server, its launcher
// and its engine processes all need, written once.
#pragma once

#include <sys/types.h>

#include <vector>

namespace platform {

// A descriptor that becomes readable when the process ends (a pidfd); -1 when it cannot be had,
// for instance because the process has been reaped.
int OpenProcessDescriptor(pid_t pid);

// Sends the signal to the process the descriptor stands for (pidfd_send_signal), which cannot
// reach another process once the number is reused; false when it could not be sent.
bool SignalProcessDescriptor(int pidfd, int signal);

// Closes the descriptor when it is open and marks it closed (-1).
void CloseQuietly(int& fd);

// Asks the kernel to kill this process when its parent ends, however it ends. False when the
// parent has ended already (the process should end too): the given parent, or with 0, whichever
// parent started it (the process has been handed to init). Async-signal-safe.
bool DieWithParent(pid_t parent);

// Keeps the descriptor from the programs this process starts.
void SetCloseOnExec(int fd);

// The descriptors this process has open above standard error, in ascending order (from
// /proc/self/fd; empty where that cannot be read).
std::vector<int> OpenDescriptors();

// Closes every descriptor above standard error but the kept ones, which must be in ascending
// order. Async-signal-safe: for a child between fork and its own work, so that it holds only
// what it needs of its parent's descriptors.
void CloseDescriptorsExcept(const int* kept, std::size_t count);
inline void CloseDescriptorsExcept(const std::vector<int>& kept) {
    CloseDescriptorsExcept(kept.data(), kept.size());
}

// Points standard output and standard error (and standard input too, with input) at /dev/null,
// for a process whose output nobody reads. Async-signal-safe.
void SilenceStandardStreams(bool input);

}  // namespace platform
