// SPDX-License-Identifier: MIT
// Converting ahead, driven the way a run drives it: a plan, then ConvertWithWord for each
// document in turn. The conversions themselves are stand-ins on the slots' threads that write a
// small RTF naming their source, and that wait for one another on cue, so that the tests see
// what overlaps with what without measuring any time.
#include "office/client/lookahead.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>

#include "platform/paths.h"
#include "support/convertwithword.h"
#include "support/tempfolder.h"

namespace {

namespace fs = std::filesystem;
using office::client::AheadResult;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::UnorderedElementsAre;

// How long a stand-in waits for something another one does before it gives up, so that a
// look-ahead that never overlaps shows as a failure instead of a hung test.
constexpr auto kPatience = std::chrono::seconds(20);

// The stand-in conversions and what they saw. A source named "failopen…" or "failsave…" fails
// at that step; "waitfor-X…" finishes only once X has finished (or the plan is cancelled).
class Conversions {
 public:
    AheadResult convert(const std::string& source, const std::string& target,
                        office::client::AheadCancel& cancel) {
        const std::string name = fs::path(source).filename().string();
        {
            std::lock_guard lock(m_mutex);
            m_started.push_back(name);
            m_changed.notify_all();
        }
        cancel.onCancel([this] {
            std::lock_guard lock(m_mutex);
            m_cancelled = true;
            m_changed.notify_all();
        });
        AheadResult result;
        if (name.rfind("waitfor-", 0) == 0) {
            const std::string awaited = name.substr(8, name.find('.') - 8);
            std::unique_lock lock(m_mutex);
            if (!m_changed.wait_for(lock, kPatience, [&] {
                    return m_cancelled || m_finished.count(awaited + ".doc") != 0;
                })) {
                result = {AheadResult::Failed::Opening, "gave up waiting for " + awaited};
            }
        }
        if (name.rfind("failopen", 0) == 0) {
            result = {AheadResult::Failed::Opening, "cannot open " + name};
        } else if (name.rfind("failsave", 0) == 0) {
            result = {AheadResult::Failed::Saving, "cannot write " + target};
        } else if (result.failed == AheadResult::Failed::Nothing) {
            std::ofstream(target) << "{\\rtf1 " << name << "}";
        }
        cancel.onCancel({});
        std::lock_guard lock(m_mutex);
        m_finished.insert(name);
        m_changed.notify_all();
        return result;
    }

    std::vector<std::string> started() {
        std::lock_guard lock(m_mutex);
        return m_started;
    }
    bool cancelled() {
        std::lock_guard lock(m_mutex);
        return m_cancelled;
    }
    // Waits until the named conversion has started; false when it did not within the patience.
    bool waitStarted(const std::string& name) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, kPatience, [&] {
            return std::find(m_started.begin(), m_started.end(), name) != m_started.end();
        });
    }

 private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_started;
    std::set<std::string> m_finished;
    bool m_cancelled = false;
};

class Lookahead : public testing::Test {
 protected:
    void SetUp() override {
        m_previous = automation::RegisterProvider(
            "Word.Application",
            [this]() -> automation::ObjectPtr {
                if (!m_lookahead) {
                    throw automation::AutomationError("no plan");
                }
                return m_lookahead->application([this]() -> automation::ObjectPtr {
                    ++m_unplanned;
                    throw automation::AutomationError("not planned");
                });
            },
            [this](std::vector<std::string> sources) {
                m_lookahead.reset();
                if (!sources.empty()) {
                    m_private = m_folder.mkdir("private-" + std::to_string(++m_plans));
                    m_lookahead = std::make_shared<office::client::Lookahead>(
                        std::move(sources),
                        [this](const std::string& source, const std::string& target,
                               office::client::AheadCancel& cancel) {
                            return m_conversions.convert(source, target, cancel);
                        },
                        m_limits, m_private);
                }
            });
    }
    void TearDown() override {
        m_lookahead.reset();
        automation::RegisterProvider("Word.Application", m_previous);
    }

    std::vector<std::string> sources(const std::vector<std::string>& names) {
        std::vector<std::string> paths;
        for (const std::string& name : names) {
            paths.push_back(m_folder.write("in/" + name));
        }
        return paths;
    }

    // Converts each source in turn as a run does; gives what each came to: the output's contents
    // or the failure's description.
    std::vector<std::string> run(const std::vector<std::string>& paths) {
        const automation::PlannedRun plan("Word.Application", paths);
        std::vector<std::string> outcomes;
        for (const std::string& source : paths) {
            const std::string target =
                m_folder.mkdir("out") + "/" + fs::path(source).stem().string() + ".rtf";
            if (auto failure = testsupport::convertWithWord(source, target)) {
                outcomes.push_back("failed: " + *failure);
            } else {
                outcomes.push_back(m_folder.read("out/" + fs::path(target).filename().string()));
            }
        }
        return outcomes;
    }

    testsupport::TempFolder m_folder;
    office::client::AheadLimits m_limits;
    Conversions m_conversions;
    std::shared_ptr<office::client::Lookahead> m_lookahead;
    std::string m_private;
    int m_plans = 0;
    std::atomic<int> m_unplanned{0};
    automation::ObjectProvider m_previous;
};

TEST_F(Lookahead, ConvertsAtOnceAndHandsTheResultsOnInListOrder) {
    // The first document finishes only once the second has: with one conversion at a time it
    // would give up waiting and fail.
    m_limits.slots = 2;
    EXPECT_THAT(run(sources({"waitfor-b.doc", "b.doc", "c.doc"})),
                ElementsAre("{\\rtf1 waitfor-b.doc}", "{\\rtf1 b.doc}", "{\\rtf1 c.doc}"));
}

TEST_F(Lookahead, ASlowDocumentDoesNotHoldUpTheDocumentsAfterIt) {
    // One slot holds the first document until the fifth has been converted by the other slot.
    m_limits.slots = 2;
    EXPECT_THAT(run(sources({"waitfor-e.doc", "b.doc", "c.doc", "d.doc", "e.doc"})),
                ElementsAre("{\\rtf1 waitfor-e.doc}", "{\\rtf1 b.doc}", "{\\rtf1 c.doc}",
                            "{\\rtf1 d.doc}", "{\\rtf1 e.doc}"));
}

TEST_F(Lookahead, StartsALargeDocumentFurtherDownBesideTheFirst) {
    // The first document finishes only once the large fourth one has: the second slot must
    // take the large one before the two small ones between them.
    m_limits.slots = 2;
    std::vector<std::string> paths = sources({"waitfor-large.doc", "b.doc", "c.doc"});
    paths.push_back(m_folder.write("in/large.doc", std::string(64 * 1024, 'x')));
    EXPECT_THAT(run(paths), ElementsAre("{\\rtf1 waitfor-large.doc}", "{\\rtf1 b.doc}",
                                        "{\\rtf1 c.doc}", "{\\rtf1 large.doc}"));
    // The first slot is held until the large one is done, so the second slot starts nothing
    // else before it. (The order in which the two slots record their first start is a race, so
    // the test compares positions rather than the head of the list.)
    const std::vector<std::string> started = m_conversions.started();
    const auto position = [&](const std::string& name) {
        return std::find(started.begin(), started.end(), name) - started.begin();
    };
    EXPECT_LT(position("large.doc"), position("b.doc"));
    EXPECT_LT(position("large.doc"), position("c.doc"));
}

TEST_F(Lookahead, AFailureFoundAheadIsReportedWhenTheRunReachesThatDocument) {
    // The third document fails first of all; the run still reports the first two before it.
    m_limits.slots = 3;
    const auto outcomes = run(sources(
        {"waitfor-failopen.doc", "waitfor-failsave.doc", "failopen.doc", "failsave.doc", "e.doc"}));
    EXPECT_THAT(outcomes,
                ElementsAre("{\\rtf1 waitfor-failopen.doc}", "{\\rtf1 waitfor-failsave.doc}",
                            "failed: cannot open failopen.doc",
                            // Not written ahead: converted again in the run's own instance
                            // (which this stand-in office refuses).
                            "failed: not planned", "{\\rtf1 e.doc}"));
    EXPECT_EQ(m_unplanned, 1);
}

TEST_F(Lookahead, NeverReplacesAFileAtTheTargetAndLeavesNothingInThePrivateFolder) {
    m_limits.slots = 2;
    m_folder.write("b.rtf", "the user's own");
    const auto paths = sources({"a.doc", "b.doc"});
    {
        const automation::PlannedRun plan("Word.Application", paths);
        EXPECT_FALSE(testsupport::convertWithWord(paths[0], m_folder / "a.rtf"));
        EXPECT_THAT(testsupport::convertWithWord(paths[1], m_folder / "b.rtf").value_or(""),
                    HasSubstr("b.rtf"));
        // Each result is gone once the run has placed it or failed to.
        ASSERT_TRUE(fs::exists(m_private));
        EXPECT_TRUE(fs::is_empty(m_private));
    }
    EXPECT_EQ(m_folder.read("a.rtf"), "{\\rtf1 a.doc}");
    EXPECT_EQ(m_folder.read("b.rtf"), "the user's own");
    EXPECT_FALSE(fs::exists(m_private));
}

TEST_F(Lookahead, KeepsTheWaitingResultsWithinTheirBound) {
    // The first document waits for the run to let it go; with one result allowed to wait
    // beyond it, the third document starts only once the run has taken the first.
    m_limits.slots = 3;
    m_limits.waitingResults = 1;
    const auto paths = sources({"waitfor-never.doc", "b.doc", "c.doc"});
    automation::PlanDocuments("Word.Application", paths);
    ASSERT_TRUE(m_conversions.waitStarted("b.doc"));
    // Given every chance to start, the third does not.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_THAT(m_conversions.started(), UnorderedElementsAre("waitfor-never.doc", "b.doc"));
    automation::PlanDocuments("Word.Application", {});
    EXPECT_TRUE(m_conversions.cancelled());
}

TEST_F(Lookahead, PassesOverDocumentsTheRunSkipsAndOpensUnplannedOnesInAnInstanceOfTheirOwn) {
    m_limits.slots = 1;
    const auto paths = sources({"a.doc", "waitfor-never.doc", "c.doc"});
    const automation::PlannedRun plan("Word.Application", paths);
    ASSERT_FALSE(testsupport::convertWithWord(paths[0], m_folder / "a.rtf"));
    // The run skips the second document (its source went missing, say): the conversion under
    // way for it is stopped and the third is converted.
    ASSERT_FALSE(testsupport::convertWithWord(paths[2], m_folder / "c.rtf"));
    EXPECT_TRUE(m_conversions.cancelled());
    EXPECT_EQ(m_folder.read("c.rtf"), "{\\rtf1 c.doc}");
    // A document the plan does not hold goes to a real instance.
    EXPECT_EQ(testsupport::convertWithWord(m_folder.write("in/other.doc"), m_folder / "other.rtf"),
              "not planned");
    EXPECT_EQ(m_unplanned, 1);
}

TEST_F(Lookahead, EndingThePlanStopsTheConversionsUnderWay) {
    m_limits.slots = 2;
    const auto paths = sources({"waitfor-never.doc", "waitfor-never2.doc"});
    {
        const automation::PlannedRun plan("Word.Application", paths);
        ASSERT_TRUE(m_conversions.waitStarted("waitfor-never2.doc"));
    }
    // Ended by the run's end (a stop, say): both stand-ins were told, and the slots are gone.
    EXPECT_TRUE(m_conversions.cancelled());
    EXPECT_EQ(m_lookahead, nullptr);
    EXPECT_FALSE(fs::exists(m_private));
}

}  // namespace
