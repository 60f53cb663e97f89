// SPDX-License-Identifier: MIT
// What keeps a hostile document's engine away from everything but its own files: no network, an
// environment that names no desktop service, and limits that a runaway document cannot pass.
// Everything here is applied in pavendel-office before any engine code runs in it, and so holds
// for every engine process it starts or forks.
#pragma once

#include <linux/filter.h>

#include <optional>
#include <string>
#include <vector>

#include "office/server/privateview.h"

namespace office {

struct NetworkIsolation {
    // A network namespace of its own (nothing but an unconfigured loopback device): seen to have
    // taken effect, not only asked for.
    bool namespaceMade = false;
    // Why no namespace could be made, when none was.
    std::string namespaceRefusal;
    // A system-call filter that refuses every socket but local (Unix) ones and io_uring, which
    // could make sockets past the filter.
    bool filterInstalled = false;
};

// Cuts this process and everything it starts afterwards off the network: a network namespace of
// its own (through a user namespace that maps only the user itself where that is what is
// allowed) and, whether or not that worked, a system-call filter. Only while the process has a
// single thread. Says once in the diagnostics when the isolation is partial.
NetworkIsolation isolateFromNetwork();

// Installs the system-call filter alone (also called by isolateFromNetwork). False when the
// kernel refuses it.
bool refuseNetworkSockets();

// Removes from this process's environment everything the engine does not need: session-bus and
// display addresses, proxy settings, agent sockets, the runtime folder. Unix sockets reach past
// a network namespace, so an address that is not there cannot be used by a document.
void cleanEnvironment();

// The variables that give the engine its private folder for temporary and runtime files.
std::vector<std::string> privateFolderVariables(const std::string& folder);
// Sets them in this process's environment, for the engine's library loaded into this process.
void usePrivateFolder(const std::string& folder);

// Whether an engine process listens on a pipe of its own: the office program always makes one,
// in the system's temporary folder, where a second start of it would find the first; the
// engine's library never does.
enum class EnginePipe { None, Listens };

// Limits for an engine process, fixed before it is forked so that applying them in the child
// takes only system calls: the address space (no document of the corpus needs a quarter of it),
// the size of a file it writes, the first place in line when the system runs out of memory, the
// system calls an engine never needs (sockets of any kind, truncating a file by its path), and
// the files it may read and write.
struct EngineLimits {
    unsigned long long addressSpace = 0;  // bytes; 0: no limit
    unsigned long long fileSize = 0;      // bytes; 0: no limit
    // The engine's own installation (the folder above its program folder "program", else the
    // program's folder), the system's programs, libraries, settings and fonts, and the folders
    // given as the engine's to read. Every other file is refused to the engine, so that a
    // document's links to local files (pictures, stylesheets, included text) find nothing to
    // read. Empty: no such limit.
    std::vector<std::string> readable;
    // Where the engine may create, write, rename and remove files: its working folders alone (and
    // /dev/null), so that a document that takes the engine over cannot change a file of the user's
    // or another engine's.
    std::vector<std::string> writable;
    // The version of Landlock the kernel offers (0: none), and the engine's system-call filter,
    // both found before the fork.
    int landlockAbi = 0;
    EnginePipe pipe = EnginePipe::None;
    // The descriptors a forked engine process keeps of its parent's, in ascending order, besides
    // its standard streams and what it is handed for its work; it closes all the others. None
    // given: it closes nothing (for a test that forks from itself).
    std::optional<std::vector<int>> keptDescriptors;
    std::vector<sock_filter> filter;
    // Where the kernel has no Landlock but lets the program make namespaces.
    std::optional<PrivateView> view;
};
// For the engine program (soffice.bin, or what stands in for it), which works in its own folders
// and reads others besides (a profile it shares). Where the kernel limits nothing, the engine
// gets a view of the file system of its own instead, where one can be made (see
// reportFileConfinement).
EngineLimits engineLimits(const std::string& program, const std::vector<std::string>& ownFolders,
                          const std::vector<std::string>& readOnlyFolders = {},
                          EnginePipe pipe = EnginePipe::None);
// In the engine's process, before the engine runs. Async-signal-safe. With a private view, the
// process that called it stays behind to wait for the engine, in a new process namespace, and
// ends as the engine ends: only the engine returns from it.
void applyEngineLimits(const EngineLimits& limits);

// For an engine instance that has learnt its document: a second layer of confinement on top of
// its limits that leaves it, of its server's folder, only the document's own folder and its
// temporary folder to read and write, so that it cannot read the private copies of the documents
// its server converted before (the installation and system stay readable, as do the folders
// given as read-only). False where the kernel has no Landlock. Not for a forked child before
// its work: it allocates.
bool confineToDocument(const std::string& program, const std::vector<std::string>& readOnly,
                       const std::vector<std::string>& own);

// True when the kernel can limit which files an engine process reads (Landlock). Says so in the
// diagnostics (when tracing), or says once that it cannot, and what keeps local files from the
// engine instead (a private view) or that nothing does.
bool reportFileConfinement();

}  // namespace office
