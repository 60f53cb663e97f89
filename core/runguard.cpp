// SPDX-License-Identifier: MIT
#include "core/runguard.h"

#include <utility>

#include "core/module1.h"
#include "platform/msgbox.h"

namespace core {

bool AskToStopConverting() {
    return platform::MsgBox("Stop converting after the current document?",
                            platform::vbYesNo | platform::vbQuestion,
                            kProgramTitle) == platform::vbYes;
}

RunGuard::Scope::Scope(RunGuard& guard, automation::WaitHook hook)
    : m_guard(guard), m_previous(automation::SetAutomationWaitHook(std::move(hook))) {
    m_guard.m_running = true;
    m_guard.m_stopRequested = false;
}

RunGuard::Scope::~Scope() {
    automation::SetAutomationWaitHook(std::move(m_previous));
    m_guard.m_running = false;
}

void RunGuard::requestStop() {
    m_stopRequested = true;
}

void RunGuard::requestClose(bool sessionEnding) {
    m_closeAfterRun = true;
    if (!sessionEnding) {
        m_stopRequested = true;
    }
}

bool RunGuard::stopHere(const std::function<bool()>& ask) {
    if (!std::exchange(m_stopRequested, false)) {
        return false;
    }
    return ask();
}

bool RunGuard::holdBack(const std::vector<std::string>& paths) {
    if (!m_running) {
        return false;
    }
    m_heldPaths.insert(m_heldPaths.end(), paths.begin(), paths.end());
    return true;
}

RunGuard::After RunGuard::takeAfter() {
    After after;
    after.close = std::exchange(m_closeAfterRun, false);
    after.paths = std::exchange(m_heldPaths, {});
    return after;
}

}  // namespace core
