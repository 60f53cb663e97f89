// SPDX-License-Identifier: MIT
// The "Word.Application" client against a fake server that answers, fails, crashes and hangs on
// cue (fakeoffice.cpp).
#include "office/client/officeclient.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <memory>

#include "automation/wordcalls.h"
#include "platform/folder.h"

#include "support/automationtest.h"
#include "support/processes.h"
#include "support/tempfolder.h"

namespace {

using testsupport::descriptionOf;

using automation::AutomationError;
using automation::ObjectPtr;
using automation::Variant;
using testing::AllOf;
using testing::HasSubstr;
using namespace std::chrono_literals;

// Short enough for quick tests, long enough for a sanitised build on a busy machine.
constexpr auto kDocumentDeadline = 1500ms;
constexpr auto kCallDeadline = 800ms;
// Long enough for a process that was told to end to be seen ending on a busy machine.
constexpr auto kEndLimit = 10s;

ObjectPtr startFake(std::vector<std::string> arguments = {},
                    std::chrono::milliseconds exitGrace = 2s) {
    office::client::OfficeOptions options;
    options.serverPath = FAKE_OFFICE_PATH;
    options.arguments = std::move(arguments);
    options.deadlines.document = kDocumentDeadline;
    options.deadlines.call = kCallDeadline;
    // Starting is left its full time: a sanitised build on a busy machine starts slowly.
    options.exitGrace = exitGrace;
    return office::client::officeProvider(options)();
}

ObjectPtr documents(const ObjectPtr& word) {
    return word->get("Documents").asObject();
}

class OfficeClient : public testing::Test {
 protected:
    // Whatever a test did, no server of it may be left running.
    void TearDown() override {
        EXPECT_THAT(testsupport::childrenOf(::getpid()), testing::IsEmpty());
    }
};

TEST_F(OfficeClient, RunsTheConversionSequenceAndEndsTheServerOnQuit) {
    testsupport::TempFolder folder;
    ObjectPtr word = startFake();
    const int server = testsupport::watchProcess(word->call("Pid").asInt());
    documents(word)->call("Open", {folder / "report.doc"});
    word->get("ActiveDocument")
        .asObject()
        ->call("SaveAs", {folder / "report.rtf"}, {{"FileFormat", 6}});
    EXPECT_EQ(folder.read("report.rtf"), "{\\rtf1 fake}");
    EXPECT_TRUE(word->call("Quit").isEmpty());
    EXPECT_TRUE(testsupport::endsWithin(server, kEndLimit));
    EXPECT_EQ(descriptionOf([&] { word->get("Documents"); }),
              "The office engine has already been closed.");
    EXPECT_NO_THROW(word->call("Quit"));
}

TEST_F(OfficeClient, CarriesEveryKindOfValueBothWays) {
    ObjectPtr word = startFake();
    const std::vector<Variant> values{
        Variant(), Variant(true), Variant(false), Variant(std::int32_t{INT32_MIN}),
        Variant(std::int32_t{INT32_MAX}), Variant(""), Variant("Grüße\n\"quoted\"\t\\"),
        // A Latin-1 file name and a lone continuation byte: not
        // UTF-8, yet every byte must arrive.
        Variant("/docs/caf\xe9.doc"), Variant(std::string("\x80\0\xff", 3)),
        Variant("{\"bytes\":\"41\"}")};
    for (const Variant& value : values) {
        EXPECT_EQ(word->call("Echo", {value}), value) << value.asString();
    }
    // An object goes to the server as its number and comes back as the same client object.
    ObjectPtr collection = documents(word);
    EXPECT_EQ(word->call("Echo", {collection}).asObject(), collection);
    EXPECT_EQ(documents(word), collection);
}

TEST_F(OfficeClient, RefusesObjectsOfAnotherServer) {
    ObjectPtr first = startFake();
    ObjectPtr second = startFake();
    EXPECT_THAT(descriptionOf([&] { first->call("Echo", {documents(second)}); }),
                HasSubstr("same office engine"));
}

TEST_F(OfficeClient, PassesTheServersOwnErrorsThroughUnchanged) {
    ObjectPtr word = startFake();
    EXPECT_EQ(descriptionOf([&] { documents(word)->call("Open", {"/docs/fail.doc"}); }),
              "The fake engine cannot open \"fail.doc\".");
    EXPECT_EQ(descriptionOf([&] { documents(word)->call("Open", {"/docs/fail\xe9.doc"}); }),
              "The fake engine cannot open \"fail\xe9.doc\".");
    EXPECT_EQ(descriptionOf([&] { word->get("ActiveDocument"); }),
              "This command is not available because no document is open.");
    // A failed call leaves the server serving.
    EXPECT_NO_THROW(documents(word)->call("Open", {"/docs/good.doc"}));
}

// The program holds its output folder open; the server saves into that very folder, handed over
// with the SaveAs, although the folder's path names another one by then.
TEST_F(OfficeClient, SavesIntoTheFolderTheProgramHoldsWhateverItsPathNamesNow) {
    testsupport::TempFolder folder;
    folder.mkdir("out");
    folder.mkdir("decoy");
    const platform::FolderInUse held(std::make_shared<const platform::Folder>(folder / "out"));
    std::filesystem::rename(folder / "out", folder / "moved");
    std::filesystem::create_symlink(folder / "decoy", folder / "out");
    ObjectPtr word = startFake();
    documents(word)->call("Open", {folder / "report.doc"});
    word->get("ActiveDocument")
        .asObject()
        ->call("SaveAs", {folder / "out/report.rtf"}, {{"FileFormat", 6}});
    EXPECT_EQ(folder.read("moved/report.rtf"), "{\\rtf1 fake}");
    EXPECT_FALSE(std::filesystem::exists(folder / "decoy/report.rtf"));
    word->call("Quit");
}

// A name that another program took reaches the client apart from every other failure to save, and
// the server goes on serving: the same document saves under another name.
TEST_F(OfficeClient, ReportsATakenNameApartFromOtherFailuresAndSavesUnderTheNextOne) {
    testsupport::TempFolder folder;
    folder.write("out/report.rtf", "another program's file");
    ObjectPtr word = startFake();
    documents(word)->call("Open", {folder / "report.doc"});
    const ObjectPtr document = word->get("ActiveDocument").asObject();
    const auto failure = [&](const std::string& target) -> std::pair<std::int32_t, std::string> {
        try {
            document->call("SaveAs", {target}, {{"FileFormat", 6}});
        } catch (const AutomationError& error) {
            return {error.number(), error.description()};
        }
        ADD_FAILURE() << target << " was saved";
        return {};
    };
    const auto [takenNumber, takenDescription] = failure(folder / "out/report.rtf");
    EXPECT_EQ(takenNumber, automation::kFileAlreadyExists);
    EXPECT_THAT(takenDescription, HasSubstr("\"report.rtf\" could not be saved"));
    EXPECT_EQ(failure(folder / "missing/report.rtf").first, 0);
    document->call("SaveAs", {folder / "out/report1.rtf"}, {{"FileFormat", 6}});
    EXPECT_EQ(folder.read("out/report1.rtf"), "{\\rtf1 fake}");
    EXPECT_EQ(folder.read("out/report.rtf"), "another program's file");
    word->call("Quit");
}

struct DeadlineCase {
    const char* name;
    std::function<void(const ObjectPtr&, const std::string&)> action;
    std::chrono::milliseconds deadline;
    std::vector<std::string> expected;
};

void PrintTo(const DeadlineCase& row, std::ostream* out) {
    *out << row.name;
}

class OfficeClientDeadline : public OfficeClient,
                             public testing::WithParamInterface<DeadlineCase> {};

TEST_P(OfficeClientDeadline, KillsTheWholeGroupAndSaysWhatTookTooLong) {
    testsupport::TempFolder folder;
    ObjectPtr word = startFake();
    // A process of the server's group that would outlive the server if only the server died.
    const int helper = testsupport::watchProcess(word->call("SpawnChild").asInt());
    const int server = testsupport::watchProcess(word->call("Pid").asInt());

    const auto started = std::chrono::steady_clock::now();
    const std::string description = descriptionOf([&] { GetParam().action(word, folder.path()); });
    EXPECT_GE(std::chrono::steady_clock::now() - started, GetParam().deadline);
    for (const std::string& part : GetParam().expected) {
        EXPECT_THAT(description, HasSubstr(part));
    }
    EXPECT_TRUE(testsupport::endsWithin(server, kEndLimit));
    EXPECT_TRUE(testsupport::endsWithin(helper, kEndLimit));
    EXPECT_EQ(descriptionOf([&] { word->get("Documents"); }),
              "The office engine is no longer running.");
    EXPECT_NO_THROW(word->call("Quit"));
}

INSTANTIATE_TEST_SUITE_P(
    Calls, OfficeClientDeadline,
    testing::Values(DeadlineCase{"Open",
                                 [](const ObjectPtr& word, const std::string&) {
                                     documents(word)->call("Open", {"/docs/hang report.doc"});
                                 },
                                 kDocumentDeadline,
                                 {"\"hang report.doc\"", "took too long to open", "1.5 seconds"}},
                    DeadlineCase{"SaveAs",
                                 [](const ObjectPtr& word, const std::string& folder) {
                                     documents(word)->call("Open", {"/docs/letter.doc"});
                                     word->get("ActiveDocument")
                                         .asObject()
                                         ->call("SaveAs", {folder + "/hang.rtf"},
                                                {{"FileFormat", 6}});
                                 },
                                 kDocumentDeadline,
                                 {"\"letter.doc\"", "took too long to save as RTF"}},
                    DeadlineCase{
                        "OtherCall",
                        [](const ObjectPtr& word, const std::string&) { word->call("Hang"); },
                        kCallDeadline,
                        {"took too long running Hang", "0.8 seconds"}}),
    [](const testing::TestParamInfo<DeadlineCase>& row) { return row.param.name; });

TEST_F(OfficeClient, ReportsAServerThatDiesDuringACall) {
    ObjectPtr word = startFake();
    const int helper = testsupport::watchProcess(word->call("SpawnChild").asInt());
    EXPECT_EQ(descriptionOf([&] { documents(word)->call("Open", {"/docs/crash.docx"}); }),
              "The office engine stopped unexpectedly while opening the document "
              "\"crash.docx\".");
    EXPECT_TRUE(testsupport::endsWithin(helper, kEndLimit));
    EXPECT_EQ(descriptionOf([&] { word->get("Documents"); }),
              "The office engine is no longer running.");
    EXPECT_NO_THROW(word->call("Quit"));
}

TEST_F(OfficeClient, EndsTheServerAndItsGroupWhenTheLastReferenceGoes) {
    ObjectPtr word = startFake();
    ObjectPtr collection = documents(word);
    const int helper = testsupport::watchProcess(word->call("SpawnChild").asInt());
    const int server = testsupport::watchProcess(word->call("Pid").asInt());
    word.reset();
    // The collection still holds the connection: the server serves on.
    EXPECT_NO_THROW(collection->call("Open", {"/docs/still.doc"}));
    collection.reset();
    EXPECT_TRUE(testsupport::endsWithin(server, kEndLimit));
    EXPECT_TRUE(testsupport::endsWithin(helper, kEndLimit));
}

// A reply whose id is not the request's number (here the same digits, as a string) is not an
// answer: the call fails with a description and the server is stopped (TearDown).
TEST_F(OfficeClient, FailsACallWhoseReplyGivesItsIdAsText) {
    ObjectPtr word = startFake({"--hello=text-ids"});
    EXPECT_EQ(descriptionOf([&] { word->get("Documents"); }),
              "The office engine gave an answer this program does not understand while getting "
              "Documents.");
    EXPECT_EQ(descriptionOf([&] { word->get("Documents"); }),
              "The office engine is no longer running.");
}

TEST_F(OfficeClient, KillsAServerThatDoesNotEndWhenReleased) {
    ObjectPtr word = startFake({"--linger"}, 200ms);
    const int server = testsupport::watchProcess(word->call("Pid").asInt());
    word.reset();
    EXPECT_TRUE(testsupport::endsWithin(server, kEndLimit));
}

struct StartCase {
    const char* name;
    std::vector<std::string> arguments;
    std::string serverPath;
    std::vector<std::string> expected;
};

void PrintTo(const StartCase& row, std::ostream* out) {
    *out << row.name;
}

class OfficeClientStart : public OfficeClient, public testing::WithParamInterface<StartCase> {};

TEST_P(OfficeClientStart, FailsCreationWithADescription) {
    office::client::OfficeOptions options;
    options.serverPath = GetParam().serverPath.empty() ? FAKE_OFFICE_PATH : GetParam().serverPath;
    options.arguments = GetParam().arguments;
    options.startDeadline = kCallDeadline;
    options.deadlines.call = kCallDeadline;
    const std::string description =
        descriptionOf([&] { office::client::officeProvider(options)(); });
    for (const std::string& part : GetParam().expected) {
        EXPECT_THAT(description, HasSubstr(part));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, OfficeClientStart,
    testing::Values(
        StartCase{
            "ServerReportsAnError", {"--hello=error"}, "", {"The fake engine is not installed."}},
        StartCase{"OtherProtocol", {"--hello=protocol"}, "", {"does not match", "Reinstall"}},
        // A protocol number written as a string is no number of this protocol.
        StartCase{"ProtocolAsText",
                  {"--hello=protocol-text"},
                  "",
                  {"speaks protocol 0", "does not match", "Reinstall"}},
        StartCase{"CrashesAtStart", {"--hello=crash"}, "", {"stopped unexpectedly while starting"}},
        StartCase{"HangsAtStart", {"--hello=hang"}, "", {"did not start in time", "0.8 seconds"}},
        StartCase{"ServerMissing",
                  {},
                  "/nonexistent/pavendel-office",
                  {"could not be started", "/nonexistent/pavendel-office", "Reinstall"}}),
    [](const testing::TestParamInfo<StartCase>& row) { return row.param.name; });

}  // namespace

TEST_F(OfficeClient, RunsTheWaitHookWhileACallWaits) {
    int runs = 0;
    const automation::WaitHook previous = automation::SetAutomationWaitHook([&runs] { ++runs; });
    ObjectPtr word = startFake();
    const std::string description =
        descriptionOf([&] { documents(word)->call("Open", {"/docs/hang slowly.doc"}); });
    EXPECT_THAT(description, HasSubstr("took too long to open"));
    // The hook ran repeatedly while the call waited for its deadline.
    EXPECT_GE(runs, 3);
    automation::SetAutomationWaitHook(previous);
}
