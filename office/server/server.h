// SPDX-License-Identifier: MIT
// The request loop of the office server, apart from the engine so that a test server can run it
// with objects of its own.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "automation/automation.h"
#include "office/wire/automationwire.h"

namespace office {

// The first message: ready, or the reason the server cannot serve (then it ends).
bool sendHello(office::wire::Channel& channel, const std::optional<std::string>& error = {});

// Answers requests on the root object and every object handed out through it until the client
// closes its end, or until finished() says so after a reply (Quit).
void serve(office::wire::Channel& channel, const automation::ObjectPtr& root,
           const std::function<bool()>& finished);

}  // namespace office
