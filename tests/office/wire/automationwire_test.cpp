// SPDX-License-Identifier: MIT
#include "office/wire/automationwire.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

namespace {

namespace wire = office::wire;

std::size_t openDescriptors() {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                      std::filesystem::directory_iterator()));
}

// A peer that attaches two descriptors to one packet does not make the receiver keep both: the
// first is handed over, the second closed.
TEST(LauncherPacket, KeepsOneDescriptorAndClosesAnyFurtherOne) {
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
    const std::size_t before = openDescriptors();

    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const std::string text = R"({"pid":42})";
    iovec data{const_cast<char*>(text.data()), text.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(2 * sizeof(int))] = {};
    msghdr header{};
    header.msg_iov = &data;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    cmsghdr* attached = CMSG_FIRSTHDR(&header);
    attached->cmsg_level = SOL_SOCKET;
    attached->cmsg_type = SCM_RIGHTS;
    attached->cmsg_len = CMSG_LEN(2 * sizeof(int));
    std::memcpy(CMSG_DATA(attached), pipeEnds, sizeof pipeEnds);
    ASSERT_EQ(::sendmsg(ends[0], &header, 0), static_cast<ssize_t>(text.size()));
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);

    nlohmann::json message;
    int fd = -1;
    ASSERT_EQ(wire::receivePacket(ends[1], message, fd, std::nullopt), wire::ReadStatus::Message);
    EXPECT_EQ(message.value("pid", 0), 42);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(openDescriptors(), before + 1);
    ::close(fd);
    ::close(ends[0]);
    ::close(ends[1]);
}

// A request's descriptor travels with it on the stream socket: the receiver gets one descriptor
// of the same folder, once; a message without one brings none; one that is not taken is closed
// with the channel.
TEST(ChannelDescriptor, TravelsWithItsMessageOnceAndIsClosedWhenNotTaken) {
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    const int folder =
        ::open(std::filesystem::temp_directory_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    const std::size_t before = openDescriptors();
    {
        wire::Channel sender(ends[0]);
        wire::Channel receiver(ends[1]);
        nlohmann::json message;
        ASSERT_TRUE(sender.send({{"id", 1}}, folder));
        ASSERT_EQ(receiver.receive(message, std::nullopt), wire::ReadStatus::Message);
        EXPECT_EQ(message.value("id", 0), 1);
        const int received = receiver.takeDescriptor();
        ASSERT_GE(received, 0);
        struct stat sent {};
        struct stat arrived {};
        ASSERT_EQ(::fstat(folder, &sent), 0);
        ASSERT_EQ(::fstat(received, &arrived), 0);
        EXPECT_EQ(sent.st_ino, arrived.st_ino);
        EXPECT_EQ(sent.st_dev, arrived.st_dev);
        EXPECT_EQ(receiver.takeDescriptor(), -1);
        ::close(received);

        ASSERT_TRUE(sender.send({{"id", 2}}));
        ASSERT_EQ(receiver.receive(message, std::nullopt), wire::ReadStatus::Message);
        EXPECT_EQ(message.value("id", 0), 2);
        EXPECT_EQ(receiver.takeDescriptor(), -1);

        ASSERT_TRUE(sender.send({{"id", 3}}, folder));
        ASSERT_EQ(receiver.receive(message, std::nullopt), wire::ReadStatus::Message);
        EXPECT_EQ(openDescriptors(), before + 1);
    }
    EXPECT_EQ(openDescriptors(), before);
    ::close(folder);
    ::close(ends[0]);
    ::close(ends[1]);
}

// Strings keep every byte on the wire; what is neither form of a string is refused.
TEST(WireText, CarriesAnyBytesAndRefusesWhatIsNoString) {
    for (const std::string& text : {std::string("plain"), std::string("caf\xe9"),
                                    std::string("\x00\xff", 2), std::string()}) {
        const nlohmann::json encoded = wire::encodeText(text);
        EXPECT_EQ(wire::decodeText(nlohmann::json::parse(encoded.dump())), text);
    }
    EXPECT_TRUE(wire::encodeText("plain").is_string());
    for (const char* refused : {R"({"bytes":"4"})", R"({"bytes":"zz"})", R"({"bytes":1})",
                                R"({"bytes":"41","x":1})", "7", "null"}) {
        EXPECT_EQ(wire::decodeText(nlohmann::json::parse(refused)), std::nullopt) << refused;
    }
}

// What the client reads a protocol number or a request id with: a member of another type reads as
// missing instead of throwing.
TEST(WireMessage, ReadsAnIntegerMemberOrTheFallback) {
    const auto message = nlohmann::json::parse(
        R"({"id":7,"big":-9000000000,"text":"7","fraction":7.5,"none":null,"list":[7]})");
    EXPECT_EQ(wire::integerMember(message, "id"), 7);
    EXPECT_EQ(wire::integerMember(message, "big"), -9000000000);
    for (const char* key : {"text", "fraction", "none", "list", "missing"}) {
        EXPECT_EQ(wire::integerMember(message, key, -1), -1) << key;
    }
    EXPECT_EQ(wire::integerMember(nlohmann::json::array({7}), "id", -1), -1);
}

}  // namespace
