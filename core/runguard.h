// SPDX-License-Identifier: MIT
// The bookkeeping of a Convert run that both main windows share. While a run is under way the
// window holds its input back, and what the user does meanwhile is noted here and carried out
// when the run allows it: Esc, or closing the window, asks at the next document whether to stop
// there; a window closed during the run always closes, once the run has stopped there or, when
// the user answers No (or the session ends, when nobody is asked), once it has finished; paths
// handed to the window wait for the run's end.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "automation/automation.h"

namespace core {

// Asks the user, who pressed Esc or closed the window during a run, whether to stop after the
// current document; true when they answered Yes.
bool AskToStopConverting();

class RunGuard {
 public:
    bool running() const { return m_running; }

    // A run for the scope's lifetime: calls that wait for Word run the window's hook meanwhile,
    // and the hook that was there before is back when the scope ends, however it ends.
    class Scope {
     public:
        Scope(RunGuard& guard, automation::WaitHook hook);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

     private:
        RunGuard& m_guard;
        automation::WaitHook m_previous;
    };

    // Esc during the run.
    void requestStop();
    // The window was closed during the run. Its closing is never cancelled: the user is asked at
    // the next document whether to stop there, and the window closes when the run has stopped or
    // finished. When the session ends instead, nobody is asked: the run finishes, then the window
    // closes.
    void requestClose(bool sessionEnding = false);
    // Asked by the run before each document: whether it stops here. The user is asked (ask) once
    // for each request to stop.
    bool stopHere(const std::function<bool()>& ask = AskToStopConverting);
    // Paths handed to the window: true when they wait for the run's end.
    bool holdBack(const std::vector<std::string>& paths);

    // What the window does once the run has ended: close, or add the paths that waited.
    struct After {
        bool close = false;
        std::vector<std::string> paths;
    };
    After takeAfter();

 private:
    bool m_running = false;
    bool m_stopRequested = false;
    bool m_closeAfterRun = false;
    std::vector<std::string> m_heldPaths;
};

}  // namespace core
