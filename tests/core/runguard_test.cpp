// SPDX-License-Identifier: MIT
// What both windows rely on while a run is under way: the wait hook is theirs for exactly the
// run, a request to stop is asked once at the next document, a close waits for the run, and
// paths handed over meanwhile wait too.
#include "core/runguard.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using testing::ElementsAre;

// Answers the stop question as told, and counts how often it was asked.
struct Answers {
    bool yes = false;
    int asked = 0;
    std::function<bool()> ask() {
        return [this] {
            ++asked;
            return yes;
        };
    }
};

TEST(RunGuard, TheRunsWaitHookIsInPlaceForTheRunAloneAlsoWhenTheRunThrows) {
    int outside = 0;
    int during = 0;
    const automation::WaitHook before = automation::SetAutomationWaitHook([&] { ++outside; });
    core::RunGuard guard;
    try {
        const core::RunGuard::Scope run(guard, [&] { ++during; });
        EXPECT_TRUE(guard.running());
        automation::RunAutomationWaitHook();
        throw std::runtime_error("the run failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(guard.running());
    automation::RunAutomationWaitHook();
    EXPECT_EQ(during, 1);
    EXPECT_EQ(outside, 1);
    automation::SetAutomationWaitHook(before);
}

TEST(RunGuard, EscAsksOnceAtTheNextDocumentAndNoCarriesOn) {
    core::RunGuard guard;
    Answers answers;
    const core::RunGuard::Scope run(guard, {});
    EXPECT_FALSE(guard.stopHere(answers.ask()));
    guard.requestStop();
    guard.requestStop();
    EXPECT_FALSE(guard.stopHere(answers.ask()));
    EXPECT_FALSE(guard.stopHere(answers.ask()));
    EXPECT_EQ(answers.asked, 1);
    answers.yes = true;
    guard.requestStop();
    EXPECT_TRUE(guard.stopHere(answers.ask()));
    EXPECT_FALSE(guard.takeAfter().close) << "Esc stops the run, the window stays";
}

// Closing the window is never cancelled: Yes stops the run there, No lets it finish, and the
// window closes either way; the end of the session asks nobody.
TEST(RunGuard, AWindowClosedDuringARunAlwaysClosesAfterTheRunStopsOrFinishes) {
    Answers answers;
    core::RunGuard guard;
    for (const bool yes : {false, true}) {
        answers.yes = yes;
        {
            const core::RunGuard::Scope run(guard, {});
            guard.requestClose();
            EXPECT_EQ(guard.stopHere(answers.ask()), yes);
            EXPECT_FALSE(guard.stopHere(answers.ask())) << "asked once";
        }
        EXPECT_TRUE(guard.takeAfter().close) << (yes ? "Yes" : "No");
    }
    {
        const core::RunGuard::Scope run(guard, {});
        guard.requestClose(true);
        EXPECT_FALSE(guard.stopHere(answers.ask()));
    }
    EXPECT_EQ(answers.asked, 2);
    EXPECT_TRUE(guard.takeAfter().close);
    EXPECT_FALSE(guard.takeAfter().close) << "a close is carried out once";
}

TEST(RunGuard, PathsHandedOverDuringARunWaitForItsEnd) {
    core::RunGuard guard;
    EXPECT_FALSE(guard.holdBack({"/idle.doc"}));
    {
        const core::RunGuard::Scope run(guard, {});
        EXPECT_TRUE(guard.holdBack({"/a.doc", "/b"}));
        EXPECT_TRUE(guard.holdBack({"/c.docx"}));
    }
    EXPECT_THAT(guard.takeAfter().paths, ElementsAre("/a.doc", "/b", "/c.docx"));
    EXPECT_TRUE(guard.takeAfter().paths.empty());
}

}  // namespace
