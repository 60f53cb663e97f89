// SPDX-License-Identifier: MIT
// The provider's launcher with the fake server (fakeoffice.cpp in launcher mode): one launcher
// per provider forks a fresh server for every object; a server that crashes or hangs costs only
// its own document; a launcher that cannot start leaves the servers to be started directly; and
// nothing outlives the client program, whichever way it ends.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <set>
#include <thread>

#include "office/client/officeclient.h"
#include "support/clientprogram.h"
#include "support/convertwithword.h"
#include "support/processes.h"
#include "support/tempfolder.h"

namespace {

using automation::AutomationError;
using automation::ObjectPtr;
using testing::HasSubstr;
using namespace std::chrono_literals;

constexpr auto kEndLimit = 10s;

office::client::OfficeOptions fakeOptions(std::vector<std::string> arguments = {}) {
    office::client::OfficeOptions options;
    options.serverPath = FAKE_OFFICE_PATH;
    options.arguments = std::move(arguments);
    options.deadlines.document = 600ms;
    options.deadlines.call = 300ms;
    options.exitGrace = 2s;
    return options;
}

// The program's conversion of one document; "" or the description of what failed.
std::string convert(const automation::ObjectProvider& provider, const std::string& source,
                    const std::string& target) {
    ObjectPtr word;
    try {
        word = provider();
        word->get("Documents").asObject()->call("Open", {source});
        word->get("ActiveDocument").asObject()->call("SaveAs", {target}, {{"FileFormat", 6}});
        word->call("Quit");
        return {};
    } catch (const AutomationError& error) {
        if (word) {
            word->call("Quit");
        }
        return error.description();
    }
}

class OfficeLauncher : public testing::Test {
 protected:
    void TearDown() override {
        EXPECT_THAT(testsupport::childrenOf(::getpid()), testing::IsEmpty());
    }
    testsupport::TempFolder m_folder;
};

// A launcher's answer whose process number is not the server it hands out (a number reused since,
// or a wrong one) is not believed: the program never signals the process it names, and starts
// its servers itself from then on.
TEST_F(OfficeLauncher, NeverSignalsAProcessThatALauncherNamesFalsely) {
    const pid_t bystander = ::fork();
    if (bystander == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // gone with the test, however it ends
        ::setpgid(0, 0);
        for (;;) {
            ::pause();
        }
    }
    ::setpgid(bystander, bystander);
    EXPECT_NO_THROW({
        auto provider = office::client::officeProvider(
            fakeOptions({"--launcher-pid=" + std::to_string(bystander)}));
        for (int object = 0; object < 2; ++object) {
            ObjectPtr word = provider();
            EXPECT_EQ(word->call("ParentPid").asInt(), ::getpid());
            EXPECT_TRUE(word->call("Quit").isEmpty());
        }
    });
    int status = 0;
    EXPECT_EQ(::waitpid(bystander, &status, WNOHANG), 0) << "the named process was signalled";
    ::kill(bystander, SIGKILL);
    ::waitpid(bystander, &status, 0);
}

TEST_F(OfficeLauncher, ForksEachObjectAsAFreshServerAndEndsWithTheProvider) {
    auto provider = office::client::officeProvider(fakeOptions());
    ObjectPtr first = provider();
    ObjectPtr second = provider();
    const int launcher = first->call("ParentPid").asInt();
    const int server = first->call("Pid").asInt();
    EXPECT_NE(launcher, ::getpid());
    EXPECT_EQ(second->call("ParentPid").asInt(), launcher);
    EXPECT_NE(second->call("Pid").asInt(), server);
    // Each server leads a group of its own, so that a hung one is stopped with all it started.
    EXPECT_EQ(::getpgid(server), server);

    const int watched = testsupport::watchProcess(launcher);
    first.reset();
    second.reset();
    provider = nullptr;
    EXPECT_TRUE(testsupport::endsWithin(watched, kEndLimit));
}

TEST_F(OfficeLauncher, GivesThreadsAskingAtOnceEachItsOwnServer) {
    auto provider = office::client::officeProvider(fakeOptions());
    // The launcher is started here, by a thread that outlives the others.
    ObjectPtr first = provider();
    constexpr int kThreads = 6;
    std::vector<ObjectPtr> objects(kThreads);
    std::vector<std::string> failures(kThreads);
    std::atomic<int> waiting{kThreads};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            // All ask at the same moment.
            waiting.fetch_sub(1);
            while (waiting.load() > 0) {
                std::this_thread::yield();
            }
            try {
                objects[i] = provider();
            } catch (const AutomationError& error) {
                failures[i] = error.description();
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::set<int> servers;
    for (int i = 0; i < kThreads; ++i) {
        ASSERT_TRUE(objects[i]) << failures[i];
        servers.insert(objects[i]->call("Pid").asInt());
    }
    EXPECT_EQ(servers.size(), static_cast<std::size_t>(kThreads));
    // Each object knows its own server: letting one go ends that server alone, and every other
    // one still answers.
    objects.push_back(first);
    first.reset();
    while (!objects.empty()) {
        objects.pop_back();
        for (const ObjectPtr& object : objects) {
            EXPECT_EQ(object->call("Echo", {std::string("still")}).asString(), "still");
        }
    }
}

struct FaultCase {
    const char* name;
    const char* document;
    std::vector<std::string> expected;
};

void PrintTo(const FaultCase& row, std::ostream* out) {
    *out << row.name;
}

class OfficeLauncherFault : public OfficeLauncher, public testing::WithParamInterface<FaultCase> {};

TEST_P(OfficeLauncherFault, CostsOnlyThatDocument) {
    auto provider = office::client::officeProvider(fakeOptions());
    EXPECT_EQ(convert(provider, m_folder / "before.doc", m_folder / "before.rtf"), "");
    const int launcher = provider()->call("ParentPid").asInt();

    const std::string description =
        convert(provider, m_folder / GetParam().document, m_folder / "failed.rtf");
    for (const std::string& part : GetParam().expected) {
        EXPECT_THAT(description, HasSubstr(part));
    }
    EXPECT_EQ(convert(provider, m_folder / "after.doc", m_folder / "after.rtf"), "");
    EXPECT_EQ(m_folder.read("after.rtf"), "{\\rtf1 fake}");
    // The same launcher served on.
    EXPECT_EQ(provider()->call("ParentPid").asInt(), launcher);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, OfficeLauncherFault,
    testing::Values(FaultCase{"Crash",
                              "crash report.doc",
                              {"stopped unexpectedly while opening the document "
                               "\"crash report.doc\""}},
                    FaultCase{"Hang",
                              "hang report.doc",
                              {"\"hang report.doc\" took too long to open", "0.6 seconds"}}),
    [](const testing::TestParamInfo<FaultCase>& row) { return row.param.name; });

// Started as the window opens, the launcher is the one the first object comes from; one that
// never becomes ready costs no document: the servers are then started directly.
TEST_F(OfficeLauncher, StartedEarlyMakesTheFirstObjectOrLeavesServersToStartDirectly) {
    {
        auto office = office::client::officeAutomation(fakeOptions());
        office.startEarly();
        const std::vector<pid_t> started = testsupport::childrenOf(::getpid());
        ASSERT_EQ(started.size(), 1u) << "no launcher before the first object";
        ObjectPtr word = office.provider();
        EXPECT_EQ(word->call("ParentPid").asInt(), started[0]);
        EXPECT_TRUE(word->call("Quit").isEmpty());
    }
    auto office = office::client::officeAutomation(fakeOptions({"--launcher-hello=hang"}));
    office.startEarly();
    ObjectPtr word = office.provider();
    EXPECT_EQ(word->call("ParentPid").asInt(), ::getpid());
    EXPECT_EQ(convert([&word] { return word; }, m_folder / "early.doc", m_folder / "early.rtf"),
              "");
}

class OfficeLauncherStart : public OfficeLauncher,
                            public testing::WithParamInterface<const char*> {};

TEST_P(OfficeLauncherStart, StartsServersDirectlyWhenTheLauncherCannotStart) {
    auto provider = office::client::officeProvider(fakeOptions({GetParam()}));
    for (const char* name : {"one", "two"}) {
        ObjectPtr word = provider();
        EXPECT_EQ(word->call("ParentPid").asInt(), ::getpid());
        EXPECT_EQ(convert([&word] { return word; }, m_folder / (std::string(name) + ".doc"),
                          m_folder / (std::string(name) + ".rtf")),
                  "");
    }
}

INSTANTIATE_TEST_SUITE_P(Launchers, OfficeLauncherStart,
                         testing::Values("--launcher-hello=crash", "--launcher-hello=hang",
                                         "--launcher-hello=protocol-text"),
                         [](const testing::TestParamInfo<const char*>& row) {
                             const std::string cue(row.param);
                             if (cue.find("crash") != std::string::npos) {
                                 return "Crashes";
                             }
                             return cue.find("hang") != std::string::npos
                                        ? "Hangs"
                                        : "GivesItsProtocolAsText";
                         });

// How the client program ends: normally through exit(), or killed.
class OfficeLauncherExit : public testing::TestWithParam<int> {};

TEST_P(OfficeLauncherExit, LeavesNoProcessBehind) {
    const std::string mark = "PAVENDEL_TEST_MARK=launcher-exit-" + std::to_string(::getpid()) +
                             "-" + std::to_string(GetParam());
    testsupport::ClientProgram client({OFFICE_CLIENT_HELPER_PATH, FAKE_OFFICE_PATH,
                                       "/docs/held.doc", GetParam() == 0 ? "exit" : "wait"},
                                      mark);
    ASSERT_EQ(client.firstLine(kEndLimit), "ready");
    // The client, its launcher, the server with the document and the spare.
    EXPECT_GE(testsupport::processesWithEnvironment(mark).size(), 4u);
    if (GetParam() == 0) {
        client.tell("exit");
    } else {
        client.signal(GetParam());
    }
    EXPECT_TRUE(client.ends(kEndLimit));
    EXPECT_TRUE(testsupport::allEndWithin(mark, kEndLimit));
}

INSTANTIATE_TEST_SUITE_P(Ends, OfficeLauncherExit, testing::Values(0, SIGTERM, SIGKILL),
                         [](const testing::TestParamInfo<int>& row) {
                             return row.param == 0         ? std::string("Exit")
                                    : row.param == SIGTERM ? std::string("Terminated")
                                                           : std::string("Killed");
                         });

}  // namespace

TEST_F(OfficeLauncher, ConvertsAPlannedRunInParallelServersAndReportsEachDocumentInTurn) {
    office::client::OfficeOptions options = fakeOptions();
    options.deadlines.document = 3s;
    options.conversions = 2;
    auto office = office::client::officeAutomation(options);
    const auto previous =
        automation::RegisterProvider("Word.Application", office.provider, office.planner);
    std::vector<std::string> sources;
    // The two "meet" documents convert only when each finds the other opened by another server;
    // the failures come before and after ordinary documents.
    for (const char* name : {"meet-a.doc", "meet-b.doc", "fail-c.doc", "d.doc", "hang-e.doc",
                             "crash-f.doc", "g.doc"}) {
        sources.push_back(m_folder.write(std::string("in/") + name));
    }
    std::vector<std::string> outcomes;
    {
        const automation::PlannedRun plan("Word.Application", sources);
        for (const std::string& source : sources) {
            const std::string target =
                m_folder / (std::filesystem::path(source).stem().string() + ".rtf");
            const auto failure = testsupport::convertWithWord(source, target);
            outcomes.push_back(failure ? *failure
                                       : m_folder.read(target.substr(m_folder.path().size() + 1)));
        }
    }
    automation::RegisterProvider("Word.Application", previous);
    ASSERT_EQ(outcomes.size(), 7u);
    EXPECT_EQ(outcomes[0], "{\\rtf1 fake meet-a.doc}");
    EXPECT_EQ(outcomes[1], "{\\rtf1 fake meet-b.doc}");
    EXPECT_EQ(outcomes[2], "The fake engine cannot open \"fail-c.doc\".");
    EXPECT_EQ(outcomes[3], "{\\rtf1 fake}");
    EXPECT_THAT(outcomes[4], HasSubstr("\"hang-e.doc\" took too long to open"));
    EXPECT_THAT(outcomes[5],
                HasSubstr("stopped unexpectedly while opening the document \"crash-f.doc\""));
    EXPECT_EQ(outcomes[6], "{\\rtf1 fake}");
    EXPECT_FALSE(std::filesystem::exists(m_folder / "hang-e.rtf"));
}
