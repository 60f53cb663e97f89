// SPDX-License-Identifier: MIT
// Fuzz target for the automation wire: the input is what a peer writes.
//
// On a stream socket the bytes are read twice through wire::Channel: by the real server loop
// (office::serve, with objects that give their arguments back and hand out further objects), and
// the way the client reads a server, the first message as the hello and the others as replies.
// On a packet socket (SOCK_SEQPACKET) each line of the input is one packet, carrying none, one or
// two descriptors in turn; each is read with wire::receivePacket and judged the way the client
// reads the launcher's hello.
//
// What must never happen: a crash, an exception other than AutomationError out of reading and
// decoding, a read that waits for bytes already written, a descriptor left open, or a string
// that loses bytes when it is sent on again.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "automation/automation.h"
#include "office/server/server.h"
#include "office/wire/automationwire.h"

namespace {

namespace wire = office::wire;
using automation::AutomationError;
using automation::NamedArguments;
using automation::ObjectPtr;
using automation::Variant;
using Clock = std::chrono::steady_clock;

// Everything the peer sends is readable long before this; a read that waits this long has lost
// track of its input.
constexpr auto kPatience = std::chrono::seconds(10);

[[noreturn]] void fault(const char* what) {
    std::fprintf(stderr, "wire fuzz: %s\n", what);
    std::abort();
}

std::size_t openDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

// A string taken from the wire goes out again unchanged (a path the client names in a request,
// a description the server puts in a reply): serialised as Channel::send does and read back as
// the receiving end does, every byte must survive.
void checkSentOn(const std::string& text) {
    const std::string line =
        wire::encodeText(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    const nlohmann::json back = nlohmann::json::parse(line, nullptr, false);
    if (wire::decodeText(back) != text) {
        fault("a string lost bytes on its way over the wire");
    }
}

// The server's objects. "Child" (got or called) hands out a new object, "Fail" throws as the
// engine does, with its first argument as the description, "Quit" ends the loop after its reply;
// any other call gives its first argument back (or its first named one) and any other property
// its own name, so that what was decoded is encoded again. Every string argument must survive
// that way back.
class EchoObject : public automation::AutomationObject {
 public:
    explicit EchoObject(bool& quit) : m_quit(quit) {}

    Variant get(const std::string& name) override { return answer(name, {}, {}); }
    Variant call(const std::string& name, const std::vector<Variant>& positional,
                 const NamedArguments& named) override {
        return answer(name, positional, named);
    }

 private:
    Variant answer(const std::string& name, const std::vector<Variant>& positional,
                   const NamedArguments& named) {
        for (const Variant& argument : positional) {
            if (argument.isString()) {
                checkSentOn(argument.asString());
            }
        }
        for (const auto& [argumentName, argument] : named) {
            if (argument.isString()) {
                checkSentOn(argument.asString());
            }
        }
        if (name == "Child") {
            return ObjectPtr(std::make_shared<EchoObject>(m_quit));
        }
        if (name == "Fail") {
            throw AutomationError(positional.empty() ? name : positional.front().asString());
        }
        if (name == "Quit") {
            m_quit = true;
            return {};
        }
        if (!positional.empty()) {
            return positional.front();
        }
        if (!named.empty()) {
            return named.front().second;
        }
        return name;
    }

    bool& m_quit;
};

// Plays the other end of a stream socket: writes the input in pieces, shuts its sending side when
// all is written, and reads and drops what comes back, until the reading side closes.
void playPeer(int fd, std::string_view input) {
    constexpr std::size_t kPiece = 1000;
    std::size_t sent = 0;
    if (input.empty()) {
        ::shutdown(fd, SHUT_WR);
    }
    char sink[4096];
    for (;;) {
        const bool writing = sent < input.size();
        pollfd entry{fd, static_cast<short>(POLLIN | (writing ? POLLOUT : 0)), 0};
        if (::poll(&entry, 1, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            fault("poll failed");
        }
        if ((entry.revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            const ssize_t n = ::recv(fd, sink, sizeof sink, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                return;
            }
        }
        if (writing && (entry.revents & POLLOUT) != 0) {
            const ssize_t n = ::send(fd, input.data() + sent, std::min(kPiece, input.size() - sent),
                                     MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
                if (sent == input.size()) {
                    ::shutdown(fd, SHUT_WR);
                }
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                return;
            }
        }
    }
}

// Runs read on one end of a stream socket pair while a thread writes the input into the other.
template <typename Read>
void withPeer(std::string_view input, Read read) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        fault("no socket pair");
    }
    std::thread peer(playPeer, ends[1], input);
    read(ends[0]);
    ::close(ends[0]);  // the peer sees the end and stops
    peer.join();
    ::close(ends[1]);
}

// The server's reading: requests until the input ends, a line is not a JSON object or Quit.
void serveInput(std::string_view input) {
    withPeer(input, [](int fd) {
        wire::Channel channel(fd);
        bool quit = false;
        office::serve(channel, std::make_shared<EchoObject>(quit), [&quit] { return quit; });
    });
}

ObjectPtr remoteObject(std::int64_t) {
    static bool quit = false;
    static const ObjectPtr object = std::make_shared<EchoObject>(quit);
    return object;
}

// As the client reads the server's hello (Connection::start) and the launcher's (Launcher::start).
void judgeHello(const nlohmann::json& hello) {
    if (wire::integerMember(hello, "protocol") != wire::kProtocolVersion) {
        return;
    }
    if (auto found = hello.find("error"); found != hello.end() && found->is_string()) {
        checkSentOn(found->get<std::string>());
    }
}

// As the client reads the reply to its request number id (Connection::request); false when the
// client would give up the connection.
bool judgeReply(const nlohmann::json& reply, std::int64_t id) {
    if (wire::integerMember(reply, "id") != id) {
        return false;
    }
    if (auto error = reply.find("error"); error != reply.end()) {
        if (std::optional<std::string> text = wire::decodeText(*error)) {
            checkSentOn(*text);
        }
        return true;
    }
    const auto value = reply.find("value");
    if (value == reply.end()) {
        return true;
    }
    try {
        const Variant decoded = wire::decode(*value, remoteObject);
        if (decoded.isString()) {
            checkSentOn(decoded.asString());
        }
    } catch (const AutomationError&) {
        // A value this program does not understand: the documented answer.
    }
    return true;
}

// The client's reading of a server: the hello, then the replies to requests numbered from 1, until
// the input ends or a reply is not the answer the client waits for.
void readAsClient(std::string_view input) {
    withPeer(input, [](int fd) {
        wire::Channel channel(fd);
        std::int64_t request = 0;
        for (;;) {
            nlohmann::json message;
            switch (channel.receive(message, Clock::now() + kPatience)) {
                case wire::ReadStatus::TimedOut:
                    fault("Channel::receive waited for bytes that were all written");
                case wire::ReadStatus::Closed:
                    return;
                case wire::ReadStatus::Message:
                    break;
            }
            if (!message.is_object()) {
                fault("Channel::receive gave a message that is not an object");
            }
            if (request == 0) {
                judgeHello(message);
            } else if (!judgeReply(message, request)) {
                return;
            }
            ++request;
        }
    });
}

// One packet with count copies of fd attached.
bool sendPacket(int socket, std::string_view text, int fd, int count) {
    iovec data{const_cast<char*>(text.data()), text.size()};
    msghdr header{};
    header.msg_iov = &data;
    header.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(2 * sizeof(int))] = {};
    if (count > 0) {
        header.msg_control = control;
        header.msg_controllen = CMSG_SPACE(count * sizeof(int));
        cmsghdr* attached = CMSG_FIRSTHDR(&header);
        attached->cmsg_level = SOL_SOCKET;
        attached->cmsg_type = SCM_RIGHTS;
        attached->cmsg_len = CMSG_LEN(count * sizeof(int));
        for (int i = 0; i < count; ++i) {
            std::memcpy(CMSG_DATA(attached) + i * sizeof(int), &fd, sizeof(int));
        }
    }
    return ::sendmsg(socket, &header, MSG_DONTWAIT | MSG_NOSIGNAL) ==
           static_cast<ssize_t>(text.size());
}

void readPackets(std::string_view input) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
        fault("no packet socket pair");
    }
    // Stands in for the peer's process descriptor: never readable, since its write end stays open.
    int quiet[2];
    if (::pipe2(quiet, O_CLOEXEC) != 0) {
        fault("no pipe");
    }
    int index = 0;
    for (std::size_t start = 0; start <= input.size(); ++index) {
        const std::size_t end = std::min(input.find('\n', start), input.size());
        const std::string_view text = input.substr(start, end - start);
        start = end + 1;
        if (!sendPacket(ends[1], text, quiet[1], index % 3)) {
            break;  // too large for one packet
        }
        nlohmann::json message;
        int fd = -1;
        const auto status =
            wire::receivePacket(ends[0], message, fd, Clock::now() + kPatience, quiet[0]);
        if (status != wire::ReadStatus::Message && fd != -1) {
            fault("receivePacket handed over a descriptor without a message");
        }
        if (fd >= 0) {
            ::close(fd);
        }
        if (status == wire::ReadStatus::TimedOut) {
            fault("receivePacket waited for a packet that was sent");
        }
        if (status == wire::ReadStatus::Closed) {
            break;  // where the launcher and the client stop reading
        }
        if (!message.is_object()) {
            fault("receivePacket gave a message that is not an object");
        }
        // The launcher's hello is read as the server's is; its requests and replies only by
        // checked lookups.
        judgeHello(message);
    }
    // Nothing is left queued: the end of the peer must read as Closed, not as a wait.
    ::close(ends[1]);
    nlohmann::json rest;
    int fd = -1;
    if (wire::receivePacket(ends[0], rest, fd, Clock::now() + kPatience, quiet[0]) !=
            wire::ReadStatus::Closed ||
        fd != -1) {
        fault("receivePacket did not see the peer's end");
    }
    ::close(ends[0]);
    ::close(quiet[0]);
    ::close(quiet[1]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t descriptors = openDescriptors();
    serveInput(input);
    readAsClient(input);
    readPackets(input);
    if (openDescriptors() != descriptors) {
        fault("a descriptor was left open");
    }
    return 0;
}
