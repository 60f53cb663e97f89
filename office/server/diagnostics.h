// SPDX-License-Identifier: MIT
// What pavendel-office says about itself: one line per message on the program's standard error,
// prefixed "pavendel-office: ". The engine's own output never goes there (its processes write to
// /dev/null), so these lines are the only ones a user or a test sees from the office side.
//
// Unusual events (a document that left the fast path, isolation that is only partial) are always
// reported; the path every document took is reported too when $PAVENDEL_OFFICE_TRACE is set.
#pragma once

#include <string>

namespace office {

// Keeps a descriptor of the current standard error for the messages, so that the process may
// then point its standard streams at /dev/null for the engine's sake. Called once, early.
void keepDiagnostics();

// Writes one message line. Safe in a forked child; never throws.
void diagnose(const std::string& message);

// True when every document's path is to be reported ($PAVENDEL_OFFICE_TRACE set and not "0").
bool tracing();

// diagnose(message) when tracing.
void trace(const std::string& message);

}  // namespace office
