// SPDX-License-Identifier: MIT
// The launcher: one process per office provider of the program that prepares the office engine
// once and forks a fresh server for every CreateObject, so that a server does not pay the
// engine's whole start and still never shares an engine with another document.
//
//   client ──{"request":"server"} + socket end──► launcher ──socket end──► spare (forked earlier)
//          ◄──{"pid":N} + pidfd of the spare────┘                         serves that client once
//
// The next spare is forked as soon as one is handed out, so that its engine instance starts while
// the current document converts. Each spare leads a process group of its own, which the client
// kills when a call overruns its deadline. The launcher is a child subreaper: what a server leaves
// behind is reaped here, and the launcher ends only after everything it started has ended.
#pragma once

#include <functional>
#include <vector>

namespace office {

// Serves the one client whose socket (close-on-exec) it is given; returns the exit status.
using ServeClient = std::function<int(int clientFd)>;
// Runs in each fresh spare before its client is known and prepares what serving needs.
using PrepareServer = std::function<ServeClient()>;

// Answers requests on the control socket until the client closes it, then kills every server
// it started and waits for all of them to end. Returns the launcher's exit status.
int runLauncher(int controlFd, const PrepareServer& prepare);

// The descriptors of the preinitialised engine (and the copy of standard error the diagnostics
// go to), in ascending order: what the launcher holds as it starts, but its control socket.
// Every process forked from it keeps these and closes all the others but its own, so that no
// spare or instance holds the launcher's socket or another server's.
const std::vector<int>& engineDescriptors();

}  // namespace office
