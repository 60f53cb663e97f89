// SPDX-License-Identifier: MIT
// The launcher: one process per office provider of the program that prepares the office engine
// once and forks a fresh server for every CreateObject, so that a server does not pay the
// engine's whole start and still never shares an engine with another document.
//
//   client ──{"request":"server"} + socket end──► launcher ──socket end──► spare (forked earlier)
//          ◄──{"pid":N} + pidfd of the spare────┘                         serves that client once
//
// The next spare is made as soon as one is handed out, so that its engine instance starts while
// the current document converts. A spare comes from the server maker, a small process forked
// before the engine was loaded, as a child of the launcher; the launcher forks the spare's engine
// instance into the spare's process group and hands it over. So only the instance copies the
// engine's memory, and a server's start and end cost the kernel little. Without the maker the
// launcher forks the spare itself, and the spare its instance. Each spare leads a process group
// of its own, which the client kills when a call overruns its deadline. The launcher is a child
// subreaper: what a server leaves behind is reaped here, and the launcher ends only after
// everything it started has ended.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace office {

// Serves the one client whose socket (close-on-exec) it is given; returns the exit status.
using ServeClient = std::function<int(int clientFd)>;
// Runs in each fresh spare before its client is known and prepares what serving needs.
using PrepareServer = std::function<ServeClient()>;

// The engine instance the launcher forks for a server, and the server's working folder, handed
// to a server that never held the engine. No instance (pid -1) when none could be made; no kit
// when the engine could not be preinitialised (then every document takes the full conversion).
struct HandedInstance {
    pid_t pid = -1;
    int pidfd = -1;
    int request = -1;
    int result = -1;
    std::string work;
    bool kit = false;
    bool hidden = false;
};
// Run in the launcher for each new server (the process group given): makes its working folder
// and forks its instance into that group.
using MakeInstance = std::function<HandedInstance(pid_t group)>;
// Run in a server forked by the server maker: prepares serving from what it was handed.
using AdoptInstance = std::function<ServeClient(const HandedInstance& handed)>;

// Forks the server maker: a small process, forked before the engine is loaded, that forks each
// server (as a child of the launcher), so that a server never holds a copy of the engine's
// memory and its start and end cost the kernel little. Called once, before the engine is
// preinitialised; the launcher's control socket is not passed on.
void startServerMaker(int controlFd, const AdoptInstance& adopt);

// Answers requests on the control socket until the client closes it, then kills every server
// it started and waits for all of them to end. Returns the launcher's exit status. Servers come
// from the server maker with an instance from makeInstance; without a server maker (or when it
// fails), they are forked from the launcher and prepare themselves.
int runLauncher(int controlFd, const PrepareServer& prepare, const MakeInstance& makeInstance = {});

// The descriptors of the preinitialised engine (and the copy of standard error the diagnostics
// go to), in ascending order: what the launcher holds as it starts, but its control socket.
// Every process forked from it keeps these and closes all the others but its own, so that no
// spare or instance holds the launcher's socket or another server's.
const std::vector<int>& engineDescriptors();

}  // namespace office
