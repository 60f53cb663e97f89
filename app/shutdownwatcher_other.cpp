// SPDX-License-Identifier: MIT
// Systems without POSIX signals: the windows close at the end of the session or when the
// application quits.
#include "app/shutdownwatcher.h"

namespace app {

void ShutdownWatcher::watchStopSignals() {}

}  // namespace app
