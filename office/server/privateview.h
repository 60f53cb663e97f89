// SPDX-License-Identifier: MIT
// A view of the file system of an engine process's own, for a kernel without Landlock: made in
// namespaces (mount and process) in the engine process before the engine runs, so that a
// document that takes the engine over finds none of the user's files.
#pragma once

#include <string>
#include <vector>

namespace office {

// A view of the file system of an engine process's own, for a kernel that cannot limit which
// files a process reads and writes: the folders that may hold the user's files (every top-level
// folder but the system's, the temporary folders, the cache) are covered by empty ones, and the
// folders the engine needs are shown again inside them, its working folders writable, the rest
// read-only. The engine gets a process namespace of its own too, so that it cannot see the
// file system through another process's entries in /proc.
struct PrivateView {
    std::vector<std::string> covered;
    // The system's folders, shown read-only: what the user may write there (a mail spool, a
    // world-writable folder, every file of its own when it is root) stays out of reach.
    std::vector<std::string> readOnly;
    struct Shown {
        std::string path;
        bool writable = false;
    };
    std::vector<Shown> shown;  // parents before their children
    // The folders to make inside the covering ones for what is shown there, parents first.
    std::vector<std::string> made;
    // Filled in the child: a descriptor of each shown folder, opened before it is covered.
    std::vector<int> descriptors;
};

// The view an engine with these folders gets: the folders it reads (or single files, which the
// view cannot show and leaves covered) and the folders it writes.
PrivateView privateView(const std::vector<std::string>& readable,
                        const std::vector<std::string>& writable);

// Whether this process may give an engine a private view (namespaces allowed, a /proc and a
// covering folder mountable there): tried once per process, in a child.
bool privateViewWorks();

// Moves the calling process's future into the view: a mount namespace and a process namespace
// of its own; the caller stays outside to wait for the engine and ends as it ends, the engine
// (the first process of the new process namespace) returns. Ends the process with status 126
// when the view cannot be made: an engine never runs with less than it was promised.
// Async-signal-safe.
void enterPrivateView(const PrivateView& view);

}  // namespace office
