// SPDX-License-Identifier: MIT
// The "Word.Application" provider: every object it creates is a fresh pavendel-office server,
// in a process group of its own and spoken to over a socket pair (see
// office/wire/automationwire.h). The provider's first object (or startEarly,
// when the window opens) starts a launcher (office/server/launcher.h) that prepares the office
// engine once; every server after that is forked by it, with an engine instance that was made ready
// while the previous document converted. When the launcher cannot be used, servers are started
// directly, as slower but equal stand-ins.
//
// Every call has a deadline. When it passes, the whole process group is killed and the call
// raises an AutomationError saying what took too long; when the server dies, the call raises one
// saying the office engine stopped unexpectedly and while doing what. When the last reference to
// the application (or to any object it handed out) goes, the server is told to end by closing the
// socket, and is killed with its group if it has not ended within a grace period, so no process
// of ours outlives the objects that stand for it. The launcher ends when the provider and every
// object it made are gone. Servers and the launcher also end when the thread that started the
// launcher (or the server) ends, since they ask the kernel for that, so create objects on a
// thread that outlives them; and they end when the program is killed.
//
// A planned run converts ahead: see lookahead.h. The connection to one server is connection.h;
// the launcher's client officelauncher.h.
#pragma once

#include <vector>

#include "automation/automation.h"
#include "office/client/officeoptions.h"

namespace office::client {

// The provider of "Word.Application" objects together with its planner, sharing one launcher:
// while a plan is given, the documents of the plan convert ahead in parallel fresh instances
// (lookahead.h), and the objects the provider creates hand their results on.
struct OfficeAutomation {
    automation::ObjectProvider provider;
    automation::DocumentPlanner planner;
    // Starts the office engine now, without waiting for it, so that the first document of a
    // run does not wait for the engine's start. Called on the thread that will run the
    // conversions: the engine ends with it.
    std::function<void()> startEarly;
};
OfficeAutomation officeAutomation(OfficeOptions options = {});

// Makes the office engine (with the options) the provider of "Word.Application" objects, with
// its planner: what the Linux program's entry points do first. Gives the provider's startEarly.
std::function<void()> RegisterWordApplication(OfficeOptions options = {});

// The provider alone: every object converts its document when it is asked to.
automation::ObjectProvider officeProvider(OfficeOptions options = {});

// How many documents convert at once under these options on this machine.
int conversionSlots(const OfficeOptions& options);

}  // namespace office::client
