// SPDX-License-Identifier: MIT
// The server's request loop and the launcher's, fed messages of the wrong shape: each is answered
// with an error, and the loop goes on serving.
#include "office/server/server.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "office/server/launcher.h"
#include "office/wire/automationwire.h"

namespace {

namespace wire = office::wire;
using namespace std::chrono_literals;

class Echo : public automation::AutomationObject {
 public:
    automation::Variant get(const std::string& name) override {
        return name == "Set" ? m_set : automation::Variant(name);
    }
    automation::Variant call(const std::string&, const std::vector<automation::Variant>&,
                             const automation::NamedArguments&) override {
        return {};
    }
    void put(const std::string&, const automation::Variant& value) override { m_set = value; }

 private:
    automation::Variant m_set;
};

TEST(ServeLoop, AnswersRequestsOfTheWrongShapeAndGoesOnServing) {
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    std::thread server([fd = ends[1]] {
        wire::Channel channel(fd);
        office::serve(channel, std::make_shared<Echo>(), [] { return false; });
    });
    wire::Channel client(ends[0]);
    const auto ask = [&client](const nlohmann::json& request) {
        nlohmann::json reply;
        EXPECT_TRUE(client.send(request));
        EXPECT_EQ(client.receive(reply, std::chrono::steady_clock::now() + 10s),
                  wire::ReadStatus::Message);
        return reply;
    };
    const nlohmann::json wrongId =
        ask({{"id", "seven"}, {"object", 1}, {"kind", "get"}, {"member", "Name"}});
    EXPECT_EQ(wrongId.value("id", -1), 0);
    EXPECT_EQ(wrongId.value("value", ""), "Name");
    const nlohmann::json wrongKind = ask({{"id", 2}, {"object", 1}, {"kind", 3}, {"member", "X"}});
    EXPECT_TRUE(wrongKind.contains("error"));
    const nlohmann::json wrongArgs = ask(
        {{"id", 3}, {"object", 1}, {"kind", "call"}, {"member", "X"}, {"args", {1.5, {{"a", 1}}}}});
    EXPECT_TRUE(wrongArgs.contains("error"));
    const nlohmann::json fine = ask({{"id", 4}, {"object", 1}, {"kind", "get"}, {"member", "Y"}});
    EXPECT_EQ(fine.value("id", 0), 4);
    EXPECT_EQ(fine.value("value", ""), "Y");
    // A put carries its value as its one argument; one without a value, or with more, is refused.
    const nlohmann::json put =
        ask({{"id", 5}, {"object", 1}, {"kind", "put"}, {"member", "Set"}, {"args", {7}}});
    EXPECT_TRUE(put.contains("value") && put["value"].is_null()) << put.dump();
    EXPECT_EQ(ask({{"id", 6}, {"object", 1}, {"kind", "get"}, {"member", "Set"}}).value("value", 0),
              7);
    EXPECT_TRUE(
        ask({{"id", 7}, {"object", 1}, {"kind", "put"}, {"member", "Set"}, {"args", {1, 2}}})
            .contains("error"));
    EXPECT_TRUE(
        ask({{"id", 8}, {"object", 1}, {"kind", "delete"}, {"member", "Set"}}).contains("error"));
    ::shutdown(ends[0], SHUT_RDWR);
    server.join();
    ::close(ends[0]);
    ::close(ends[1]);
}

// Run in a child process, as the launcher makes itself a subreaper and forks.
TEST(LauncherLoop, AnswersRequestsOfTheWrongShapeAndEndsWhenTheClientGoes) {
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
    const pid_t launcher = ::fork();
    if (launcher == 0) {
        ::close(ends[0]);
        ::_exit(office::runLauncher(ends[1], [] { return [](int) { return 0; }; }));
    }
    ::close(ends[1]);
    for (const nlohmann::json& request :
         {nlohmann::json{{"request", 5}}, nlohmann::json{{"request", "server"}},
          nlohmann::json{{"request", nullptr}}}) {
        ASSERT_TRUE(wire::sendPacket(ends[0], request));
        nlohmann::json reply;
        int fd = -1;
        ASSERT_EQ(wire::receivePacket(ends[0], reply, fd, std::chrono::steady_clock::now() + 10s),
                  wire::ReadStatus::Message)
            << request.dump();
        EXPECT_TRUE(reply.contains("error")) << request.dump();
        EXPECT_EQ(fd, -1);
    }
    ::close(ends[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(launcher, &status, 0), launcher);
    EXPECT_TRUE(WIFEXITED(status)) << "the launcher did not end normally";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// A fork while another thread runs copies what that thread was in the middle of (the engine's
// library leaves one running for a while after it is preinitialised): the launcher forks its
// spare only once the other thread has ended.
TEST(LauncherLoop, ForksASpareOnlyOnceItIsDownToOneThread) {
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t launcher = ::fork();
    if (launcher == 0) {
        ::close(ends[0]);
        ::close(report[0]);
        int lastWords[2];
        if (::pipe(lastWords) != 0) {
            ::_exit(2);
        }
        // The other thread says so just before it ends; a spare forked before then finds
        // nothing in the pipe.
        std::thread([end = lastWords[1]] {
            std::this_thread::sleep_for(300ms);
            (void)!::write(end, "x", 1);
        }).detach();
        ::_exit(office::runLauncher(ends[1], [&lastWords, &report]() -> office::ServeClient {
            pollfd said{lastWords[0], POLLIN, 0};
            const char verdict = ::poll(&said, 1, 0) == 1 ? 'a' : 'b';
            (void)!::write(report[1], &verdict, 1);
            return [](int) { return 0; };
        }));
    }
    ::close(ends[1]);
    ::close(report[1]);
    char verdict = 0;
    EXPECT_EQ(::read(report[0], &verdict, 1), 1);
    EXPECT_EQ(verdict, 'a') << "the spare was forked while the other thread still ran";
    ::close(report[0]);
    ::close(ends[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(launcher, &status, 0), launcher);
}

// A spare that does not end when the client goes (stuck in its preparation) does not keep the
// launcher waiting for ever.
TEST(LauncherLoop, EndsInBoundedTimeWhenASpareDoesNotEnd) {
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
    const pid_t launcher = ::fork();
    if (launcher == 0) {
        ::close(ends[0]);
        ::_exit(office::runLauncher(ends[1], []() -> office::ServeClient {
            for (;;) {
                ::pause();
            }
        }));
    }
    ::close(ends[1]);
    ::close(ends[0]);
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 600 && ended == 0; ++i) {
        ended = ::waitpid(launcher, &status, WNOHANG);
        if (ended == 0) {
            std::this_thread::sleep_for(50ms);
        }
    }
    if (ended == 0) {
        ::kill(launcher, SIGKILL);
        ::waitpid(launcher, &status, 0);
    }
    EXPECT_EQ(ended, launcher) << "the launcher still waited after 30 seconds";
}

}  // namespace
