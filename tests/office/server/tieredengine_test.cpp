// SPDX-License-Identifier: MIT
// The fast engine's choices without LibreOffice: which documents go to the prepared instance,
// when the full conversion takes over, and how an instance in a child process is watched.
#include "office/server/tieredengine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <thread>

#include <nlohmann/json.hpp>

#include "automation/automation.h"
#include "office/server/kitinstance.h"
#include "office/server/kitpreinit.h"
#include "support/automationtest.h"
#include "support/officefiles.h"
#include "support/processes.h"
#include "support/tempfolder.h"

namespace fs = std::filesystem;

namespace {

using office::EngineInstance;
using Outcome = office::EngineInstance::Outcome;
using testing::HasSubstr;

// Stands in for an engine instance: answers as told and remembers what it was given.
class ScriptedInstance : public EngineInstance {
 public:
    ScriptedInstance(Outcome outcome, std::string output, int& calls)
        : m_outcome(outcome), m_output(std::move(output)), m_calls(calls) {}

    Result convert(const std::string& source, const std::string& target, int) override {
        ++m_calls;
        EXPECT_TRUE(fs::exists(source)) << "the instance must get the private copy";
        if (!m_output.empty()) {
            std::ofstream(target, std::ios::binary) << m_output;
        }
        return {m_outcome, m_outcome == Outcome::Failed ? "refused" : "", "kit"};
    }

 private:
    Outcome m_outcome;
    std::string m_output;
    int& m_calls;
};

class FallbackDocument : public office::LoadedDocument {
 public:
    explicit FallbackDocument(std::string name) : m_name(std::move(name)) {}
    const std::string& name() const override { return m_name; }
    void saveRtf(const std::string& target) override {
        std::ofstream(target) << "{\\rtf1 full conversion}";
    }

 private:
    std::string m_name;
};

// Stands in for the full conversion and counts what it opened.
class CountingEngine : public office::Engine {
 public:
    explicit CountingEngine(std::vector<std::string>& opened) : m_opened(opened) {}
    std::unique_ptr<office::LoadedDocument> open(const std::string& path) override {
        m_opened.push_back(fs::path(path).filename().string());
        return std::make_unique<FallbackDocument>(fs::path(path).filename().string());
    }

 private:
    std::vector<std::string>& m_opened;
};

class TieredEngineTest : public testing::Test {
 protected:
    std::unique_ptr<office::TieredEngine> engine(
        Outcome outcome, std::string output,
        office::TieredEngine::Comments comments = office::TieredEngine::Comments::Refused) {
        return std::make_unique<office::TieredEngine>(
            std::make_unique<ScriptedInstance>(outcome, std::move(output), m_instanceCalls),
            comments, m_folder.mkdir("work"), -1,
            [this] { return std::make_unique<CountingEngine>(m_fallbackOpened); });
    }

    // Opens and saves; gives the RTF written. A save never replaces a file, so the output of
    // an earlier call goes first.
    std::string convert(office::TieredEngine& converter, const std::string& source) {
        auto document = converter.open(source);
        std::filesystem::remove(m_folder / "out.rtf");
        document->saveRtf(m_folder / "out.rtf");
        return m_folder.read("out.rtf");
    }

    testsupport::TempFolder m_folder;
    int m_instanceCalls = 0;
    std::vector<std::string> m_fallbackOpened;
};

TEST_F(TieredEngineTest, ConvertsWithTheInstanceAndRemovesItsFolderAfterwards) {
    const std::string source = m_folder.write("docs/letter.doc", "{\\rtf1 Dear reader}");
    {
        auto converter = engine(Outcome::Converted, "{\\rtf1 fast}");
        EXPECT_EQ(convert(*converter, source), "{\\rtf1 fast}");
        EXPECT_EQ(m_instanceCalls, 1);
        EXPECT_THAT(m_fallbackOpened, testing::IsEmpty());
    }
    EXPECT_FALSE(fs::exists(m_folder / "work"));
    EXPECT_EQ(std::distance(fs::directory_iterator(m_folder / "docs"), fs::directory_iterator()),
              1);
}

struct FallbackCase {
    const char* name;
    Outcome outcome;
    std::string output;
};

void PrintTo(const FallbackCase& row, std::ostream* out) {
    *out << row.name;
}

class TieredEngineFallback : public TieredEngineTest,
                             public testing::WithParamInterface<FallbackCase> {};

TEST_P(TieredEngineFallback, HandsTheDocumentToTheFullConversion) {
    const std::string source = m_folder.write("comment.docx", "{\\rtf1 With a comment}");
    auto converter = engine(GetParam().outcome, GetParam().output);
    EXPECT_EQ(convert(*converter, source), "{\\rtf1 full conversion}");
    EXPECT_EQ(m_instanceCalls, 1);
    EXPECT_THAT(m_fallbackOpened, testing::ElementsAre("comment.docx"));
}

INSTANTIATE_TEST_SUITE_P(
    Instances, TieredEngineFallback,
    testing::Values(FallbackCase{"Refuses", Outcome::Failed, ""},
                    FallbackCase{"Dies", Outcome::Died, ""},
                    FallbackCase{"WritesNoRtf", Outcome::Converted, "<html>not rtf</html>"},
                    FallbackCase{"WritesNothing", Outcome::Converted, ""}),
    [](const testing::TestParamInfo<FallbackCase>& row) { return row.param.name; });

TEST_F(TieredEngineTest, GivesTheInstanceOneDocumentOnly) {
    auto converter = engine(Outcome::Converted, "{\\rtf1 fast}");
    EXPECT_EQ(convert(*converter, m_folder.write("first.doc", "{\\rtf1 one}")), "{\\rtf1 fast}");
    EXPECT_EQ(convert(*converter, m_folder.write("second.doc", "{\\rtf1 two}")),
              "{\\rtf1 full conversion}");
    EXPECT_EQ(m_instanceCalls, 1);
    EXPECT_THAT(m_fallbackOpened, testing::ElementsAre("second.doc"));
}

TEST_F(TieredEngineTest, SendsDocumentsWithCommentsOnlyToAnInstanceThatTakesThem) {
    const std::string source = testsupport::zipFile(
        m_folder, "reviewed.docx",
        {{"[Content_Types].xml",
          "<Types><Override PartName=\"/word/comments.xml\" ContentType=\"application/"
          "vnd.openxmlformats-officedocument.wordprocessingml.comments+xml\"/></Types>"}});
    {
        auto converter = engine(Outcome::Converted, "{\\rtf1 fast}");
        EXPECT_EQ(convert(*converter, source), "{\\rtf1 full conversion}");
        EXPECT_EQ(m_instanceCalls, 0);
        EXPECT_THAT(m_fallbackOpened, testing::ElementsAre("reviewed.docx"));
    }
    auto converter =
        engine(Outcome::Converted, "{\\rtf1 fast}", office::TieredEngine::Comments::Taken);
    EXPECT_EQ(convert(*converter, source), "{\\rtf1 fast}");
    EXPECT_EQ(m_instanceCalls, 1);
    EXPECT_THAT(m_fallbackOpened, testing::ElementsAre("reviewed.docx"));
}

// An instance that reads the document itself decides what it is: the server takes its word
// (read from the private copy) and reads nothing of the document on its own.
class LookingInstance : public ScriptedInstance {
 public:
    LookingInstance(office::FileKind kind, int& calls)
        : ScriptedInstance(Outcome::Converted, "{\\rtf1 fast}", calls), m_kind(kind) {}
    std::optional<office::SourceLook> look(const std::string& copy, int) override {
        EXPECT_TRUE(fs::exists(copy)) << "the instance must look at the private copy";
        office::SourceLook looked;
        looked.sniff.kind = m_kind;
        looked.sniff.what = "a PNG picture";
        return looked;
    }

 private:
    office::FileKind m_kind;
};

TEST_F(TieredEngineTest, TakesTheInstancesWordForWhatTheDocumentIs) {
    const std::string source = m_folder.write("letter.doc", "{\\rtf1 an RTF by its bytes}");
    const auto tiered = [this](office::FileKind kind) {
        return std::make_unique<office::TieredEngine>(
            std::make_unique<LookingInstance>(kind, m_instanceCalls),
            office::TieredEngine::Comments::Refused, m_folder.mkdir("work"), -1,
            [this] { return std::make_unique<CountingEngine>(m_fallbackOpened); });
    };
    EXPECT_THAT(
        testsupport::descriptionOf([&] { tiered(office::FileKind::Picture)->open(source); }),
        HasSubstr("\"letter.doc\" is a PNG picture, not a Word document"));
    EXPECT_EQ(convert(*tiered(office::FileKind::Html), source), "{\\rtf1 full conversion}");
    EXPECT_EQ(m_instanceCalls, 0);
    EXPECT_EQ(convert(*tiered(office::FileKind::Rtf), source), "{\\rtf1 fast}");
    EXPECT_EQ(m_instanceCalls, 1);
}

TEST_F(TieredEngineTest, LeavesTextAndWebPagesToTheFullConversion) {
    auto converter = engine(Outcome::Converted, "{\\rtf1 fast}");
    EXPECT_EQ(convert(*converter, m_folder.write("notes.doc", "Meeting notes\n")),
              "{\\rtf1 full conversion}");
    EXPECT_EQ(m_instanceCalls, 0);
}

TEST_F(TieredEngineTest, RefusesWhatIsNoDocumentBeforeAnyEngineSeesIt) {
    auto converter = engine(Outcome::Converted, "{\\rtf1 fast}");
    try {
        converter->open(m_folder / "gone.doc");
        ADD_FAILURE() << "opened a missing document";
    } catch (const automation::AutomationError& error) {
        EXPECT_THAT(error.description(), HasSubstr("\"gone.doc\" could not be found"));
    }
    EXPECT_EQ(m_instanceCalls, 0);
    EXPECT_THAT(m_fallbackOpened, testing::IsEmpty());
}

// The instance in a child process, with bodies that stand in for the engine.
std::string readRequest(int fd) {
    std::string text;
    char c = 0;
    while (::read(fd, &c, 1) == 1 && c != '\n') {
        text.push_back(c);
    }
    return text;
}

// In the child: no test assertions there, a failure would not reach the test.
void writeText(int fd, const std::string& text) {
    for (std::size_t written = 0; written < text.size();) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n <= 0) {
            return;
        }
        written += static_cast<std::size_t>(n);
    }
}

void answer(int fd, const std::string& line) {
    writeText(fd, line + "\n");
}

TEST(ForkedInstance, ReportsWhatTheChildAnswers) {
    testsupport::TempFolder folder;
    office::ForkedInstance converts([](int request, int result) {
        const auto line = nlohmann::json::parse(readRequest(request));
        std::ofstream(line.at("target").get<std::string>()) << "{\\rtf1 from the child}";
        answer(result, R"({"ok":true})");
        return 0;
    });
    EXPECT_EQ(converts.convert(folder / "in.doc", folder / "out.rtf", -1).outcome,
              Outcome::Converted);
    EXPECT_EQ(folder.read("out.rtf"), "{\\rtf1 from the child}");

    office::ForkedInstance refuses([](int request, int result) {
        readRequest(request);
        answer(result,
               R"({"ok":false,"error":"loadComponentFromURL returned an empty reference"})");
        return 0;
    });
    const auto refused = refuses.convert(folder / "in.doc", folder / "out.rtf", -1);
    EXPECT_EQ(refused.outcome, Outcome::Failed);
    EXPECT_EQ(refused.detail, "loadComponentFromURL returned an empty reference");
}

TEST(ForkedInstance, ReportsAChildThatDiesOrEndsWithoutAnswer) {
    // As in the server: a request to a child that has gone is an error, not a signal.
    ::signal(SIGPIPE, SIG_IGN);
    testsupport::TempFolder folder;
    office::ForkedInstance aborts([](int request, int) {
        readRequest(request);
        ::abort();
        return 0;
    });
    EXPECT_EQ(aborts.convert(folder / "in.doc", folder / "out.rtf", -1).outcome, Outcome::Died);

    office::ForkedInstance silent([](int, int) { return 2; });
    EXPECT_EQ(silent.convert(folder / "in.doc", folder / "out.rtf", -1).outcome, Outcome::Died);
}

TEST(ForkedInstance, StopsAChildThatStopsWorkingButNotOneThatWorksLong) {
    using namespace std::chrono_literals;
    testsupport::TempFolder folder;
    constexpr auto kLimit = 300ms;
    office::ForkedInstance stuck(
        [](int request, int) {
            readRequest(request);
            for (;;) {
                ::pause();
            }
            return 0;
        },
        kLimit);
    const auto started = std::chrono::steady_clock::now();
    const auto stopped = stuck.convert(folder / "in.doc", folder / "out.rtf", -1);
    EXPECT_EQ(stopped.outcome, Outcome::Died);
    EXPECT_THAT(stopped.detail, HasSubstr("stopped working"));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);

    // Busy for several times the limit, then done: never cut short.
    const std::chrono::milliseconds busyFor = 4 * kLimit;
    office::ForkedInstance busy(
        [busyFor](int request, int result) {
            const auto line = nlohmann::json::parse(readRequest(request));
            const auto until = std::chrono::steady_clock::now() + busyFor;
            volatile unsigned long spins = 0;
            while (std::chrono::steady_clock::now() < until) {
                spins = spins + 1;
            }
            std::ofstream(line.at("target").get<std::string>()) << "{\\rtf1 worked}";
            answer(result, R"({"ok":true})");
            return 0;
        },
        kLimit);
    EXPECT_EQ(busy.convert(folder / "in.doc", folder / "out.rtf", -1).outcome, Outcome::Converted);
    EXPECT_EQ(folder.read("out.rtf"), "{\\rtf1 worked}");
}

// An instance handed over (as the launcher hands one to its server) converts for its new owner
// and ends with it; the object that let it go no longer stops it.
TEST(ForkedInstance, AnInstanceHandedOverConvertsThereAndEndsWithItsNewOwner) {
    using namespace std::chrono_literals;
    testsupport::TempFolder folder;
    std::optional<office::ForkedInstance::Handle> handle;
    {
        office::ForkedInstance made([](int request, int result) {
            const auto line = nlohmann::json::parse(readRequest(request));
            std::ofstream(line.at("target").get<std::string>()) << "{\\rtf1 handed}";
            answer(result, R"({"ok":true})");
            for (;;) {
                ::pause();
            }
            return 0;
        });
        handle = made.release();
        ASSERT_TRUE(handle.has_value());
        EXPECT_FALSE(made.release().has_value()) << "handed over twice";
    }
    EXPECT_FALSE(testsupport::endsWithin(testsupport::watchProcess(handle->pid), 200ms))
        << "stopped by the object it left";
    const int watched = testsupport::watchProcess(handle->pid);
    {
        office::ForkedInstance adopted(*handle, 10s);
        EXPECT_EQ(adopted.convert(folder / "in.doc", folder / "out.rtf", -1).outcome,
                  Outcome::Converted);
        EXPECT_EQ(folder.read("out.rtf"), "{\\rtf1 handed}");
    }
    EXPECT_TRUE(testsupport::endsWithin(watched, 10s)) << "outlived its new owner";
    // Not reaped yet, its number is still its own.
    ::kill(handle->pid, SIGKILL);
    ::waitpid(handle->pid, nullptr, 0);
}

// A stuck engine still has threads that wake up now and then; their crumbs of processor time are
// not work, or the full conversion would wait for the client's deadline instead.
TEST(ForkedInstance, StopsAStuckChildWhoseIdleThreadsStillWakeUp) {
    using namespace std::chrono_literals;
    testsupport::TempFolder folder;
    const std::string pidFile = folder / "pid";
    office::ForkedInstance stuck(
        [pidFile](int request, int) {
            std::ofstream(pidFile) << ::getpid();
            // About half a percent of a processor: a clock tick every two seconds.
            std::thread([] {
                for (;;) {
                    const auto until = std::chrono::steady_clock::now() + 500us;
                    while (std::chrono::steady_clock::now() < until) {
                    }
                    std::this_thread::sleep_for(100ms);
                }
            }).detach();
            readRequest(request);
            for (;;) {
                ::pause();
            }
            return 0;
        },
        4s);
    // Never stopped, it would be killed here after a while, which reads differently.
    std::promise<void> done;
    std::thread watchdog([&folder, answered = done.get_future()] {
        if (answered.wait_for(30s) == std::future_status::timeout) {
            ::kill(std::stoi(folder.read("pid")), SIGKILL);
        }
    });
    const auto result = stuck.convert(folder / "in.doc", folder / "out.rtf", -1);
    done.set_value();
    watchdog.join();
    EXPECT_EQ(result.outcome, Outcome::Died);
    EXPECT_THAT(result.detail, HasSubstr("stopped working"));
}

TEST(ForkedInstance, StopsTheChildWhenTheClientLeaves) {
    testsupport::TempFolder folder;
    int pipes[2];
    ASSERT_EQ(::pipe(pipes), 0);
    office::ForkedInstance hangs([&pipes](int request, int) {
        writeText(pipes[1], std::to_string(::getpid()));
        ::close(pipes[1]);
        readRequest(request);
        for (;;) {
            ::pause();
        }
        return 0;
    });
    ::close(pipes[1]);
    char text[32] = {};
    ASSERT_GT(::read(pipes[0], text, sizeof text - 1), 0);
    ::close(pipes[0]);
    const int child = testsupport::watchProcess(std::atoi(text));
    // The client's socket comes after the instance, as in the server.
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    ::close(ends[1]);  // the client hangs up
    EXPECT_THROW(hangs.convert(folder / "in.doc", folder / "out.rtf", ends[0]), office::ClientGone);
    EXPECT_TRUE(testsupport::endsWithin(child, std::chrono::seconds(10)));
    ::close(ends[0]);
}

}  // namespace

namespace {

// The hidden conversion module reaches into the engine beyond its published interface, so it is
// loaded only into an engine of the release series it was built for.
TEST(HiddenModule, FitsOnlyAnEngineOfTheSeriesItWasBuiltFor) {
    const std::string series = office::hiddenModuleSeries();
    ASSERT_THAT(series, testing::MatchesRegex("[0-9]+\\.[0-9]+"));
    EXPECT_TRUE(office::hiddenModuleFits(series));
    EXPECT_TRUE(office::hiddenModuleFits(series + ".7.2"));
    const std::size_t dot = series.find('.');
    const std::string nextMinor =
        series.substr(0, dot + 1) + std::to_string(std::stoi(series.substr(dot + 1)) + 1);
    const std::string nextMajor =
        std::to_string(std::stoi(series.substr(0, dot)) + 1) + series.substr(dot);
    for (const std::string& other : {nextMinor, nextMajor, series + "0", std::string()}) {
        EXPECT_FALSE(office::hiddenModuleFits(other)) << other;
    }
}

}  // namespace
