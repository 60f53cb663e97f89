// SPDX-License-Identifier: MIT
// Permission checks under an ordinary user. Root may read and write anything, and tests may run
// as root (CI does), where a check of "may not write" would prove nothing or be skipped.
#pragma once

#include <grp.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

namespace testsupport {

// The identity the checks take on when the tests run as root: the usual "nobody".
inline constexpr uid_t kOrdinaryUser = 65534;
inline constexpr gid_t kOrdinaryGroup = 65534;

// Runs the checks as an ordinary user that owns `folder` and everything in it. As root they run in
// a child process that gives the folder to that user and takes its identity; a failed expectation
// there, or an identity that cannot be taken, fails the test. Otherwise they run here.
inline void AsOrdinaryUser(const std::string& folder, const std::function<void()>& checks) {
    if (::geteuid() != 0) {
        checks();
        return;
    }
    EXPECT_EXIT(
        {
            ::lchown(folder.c_str(), kOrdinaryUser, kOrdinaryGroup);
            for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
                ::lchown(entry.path().c_str(), kOrdinaryUser, kOrdinaryGroup);
            }
            if (::setgroups(0, nullptr) != 0 ||
                ::setresgid(kOrdinaryGroup, kOrdinaryGroup, kOrdinaryGroup) != 0 ||
                ::setresuid(kOrdinaryUser, kOrdinaryUser, kOrdinaryUser) != 0) {
                ::_exit(2);
            }
            checks();
            ::_exit(testing::Test::HasFailure() ? 1 : 0);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace testsupport
