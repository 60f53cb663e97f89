// SPDX-License-Identifier: MIT
// The small POSIX process helpers that the automation client, the office server, its launcher
// and its engine processes all need, written once.
#pragma once

#include <sys/types.h>

namespace platform {

// A descriptor that becomes readable when the process ends (a pidfd); -1 when it cannot be had,
// for instance because the process has been reaped.
int OpenProcessDescriptor(pid_t pid);

// Sends the signal to the process the descriptor stands for (pidfd_send_signal), which cannot
// reach another process once the number is reused; false when it could not be sent.
bool SignalProcessDescriptor(int pidfd, int signal);

// Closes the descriptor when it is open and marks it closed (-1).
void CloseQuietly(int& fd);

// In a child just forked from parent: asks the kernel to kill this process when the parent
// ends, however it ends. False when the parent has ended already (the child should end too).
// Async-signal-safe.
bool DieWithParent(pid_t parent);

// Points standard output and standard error (and standard input too, with input) at /dev/null,
// for a process whose output nobody reads. Async-signal-safe.
void SilenceStandardStreams(bool input);

}  // namespace platform
