// SPDX-License-Identifier: MIT
// Helpers for tests of the automation client and the office server.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

#include "automation/automation.h"

namespace testsupport {

// The description of the AutomationError the action raises; a test failure when it raises none.
inline std::string descriptionOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const automation::AutomationError& error) {
        return error.description();
    }
    ADD_FAILURE() << "no AutomationError was raised";
    return {};
}

// Sets an environment variable for the life of the object, then puts back what was there.
class ScopedEnv {
 public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (m_old) {
            ::setenv(m_name, m_old->c_str(), 1);
        } else {
            ::unsetenv(m_name);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
    const char* m_name;
    std::optional<std::string> m_old;
};

}  // namespace testsupport
