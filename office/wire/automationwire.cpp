// SPDX-License-Identifier: MIT
#include "office/wire/automationwire.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

#include "platform/systemtext.h"

namespace office::wire {

using automation::AutomationError;
using automation::ObjectPtr;
using automation::Variant;

namespace {

// Room for the one descriptor a message may carry.
struct DescriptorSpace {
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
};

// Attaches the descriptor to the message header.
void attach(msghdr& header, DescriptorSpace& space, int fd) {
    header.msg_control = space.control;
    header.msg_controllen = sizeof space.control;
    cmsghdr* attached = CMSG_FIRSTHDR(&header);
    attached->cmsg_level = SOL_SOCKET;
    attached->cmsg_type = SCM_RIGHTS;
    attached->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(attached), &fd, sizeof(int));
}

// The first descriptor that came with a received header, or -1; any further one a peer attached
// is closed, not leaked.
int firstDescriptor(msghdr& header) {
    int fd = -1;
    for (cmsghdr* attached = CMSG_FIRSTHDR(&header); attached != nullptr;
         attached = CMSG_NXTHDR(&header, attached)) {
        if (attached->cmsg_level != SOL_SOCKET || attached->cmsg_type != SCM_RIGHTS) {
            continue;
        }
        const std::size_t count = (attached->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < count; ++i) {
            int received = -1;
            std::memcpy(&received, CMSG_DATA(attached) + i * sizeof(int), sizeof(int));
            if (fd < 0) {
                fd = received;
            } else {
                ::close(received);
            }
        }
    }
    return fd;
}

}  // namespace

Channel::~Channel() {
    if (m_descriptor >= 0) {
        ::close(m_descriptor);
    }
}

bool Channel::send(const nlohmann::json& message, int descriptor) {
    std::string line = message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    line.push_back('\n');
    std::size_t sent = 0;
    while (sent < line.size()) {
        iovec data{line.data() + sent, line.size() - sent};
        msghdr header{};
        header.msg_iov = &data;
        header.msg_iovlen = 1;
        DescriptorSpace space;
        // The descriptor goes with the first byte that leaves.
        if (descriptor >= 0 && sent == 0) {
            attach(header, space, descriptor);
        }
        // MSG_NOSIGNAL: a peer that died must give an error here, not a SIGPIPE that ends us.
        const ssize_t n = ::sendmsg(m_fd, &header, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

int Channel::takeDescriptor() {
    return std::exchange(m_descriptor, -1);
}

namespace {

enum class Wait { Readable, PeerEnded, TimedOut, Failed };

// Waits until fd is readable, the peer's process ended (peerEnded readable, fd not) or the
// deadline passed; runs the wait hook about twenty times a second when asked to.
Wait waitReadable(int fd, std::optional<std::chrono::steady_clock::time_point> deadline,
                  int peerEnded, bool runWaitHook) {
    for (;;) {
        int timeout = -1;
        if (deadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                *deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return Wait::TimedOut;
            }
            timeout = static_cast<int>(
                std::min<long long>(left.count(), std::numeric_limits<int>::max()));
        }
        const bool pump = runWaitHook && automation::HasAutomationWaitHook();
        if (pump) {
            constexpr int kPumpMilliseconds = 50;
            timeout = timeout < 0 ? kPumpMilliseconds : std::min(timeout, kPumpMilliseconds);
        }
        pollfd entries[2] = {{fd, POLLIN, 0}, {peerEnded, POLLIN, 0}};
        const int ready = ::poll(entries, peerEnded >= 0 ? 2 : 1, timeout);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Wait::Failed;
        }
        if (ready == 0) {
            if (pump) {
                automation::RunAutomationWaitHook();
            }
            continue;  // the deadline check above decides
        }
        // Only the peer's end: whatever it wrote before ending would be readable by now.
        return entries[0].revents != 0 ? Wait::Readable : Wait::PeerEnded;
    }
}

}  // namespace

ReadStatus Channel::receive(nlohmann::json& message,
                            std::optional<std::chrono::steady_clock::time_point> deadline,
                            int peerEnded) {
    for (;;) {
        const std::size_t end = m_buffer.find('\n');
        if (end != std::string::npos) {
            std::string line = m_buffer.substr(0, end);
            m_buffer.erase(0, end + 1);
            message = nlohmann::json::parse(line, nullptr, false);
            if (message.is_discarded() || !message.is_object()) {
                return ReadStatus::Closed;
            }
            return ReadStatus::Message;
        }
        if (m_buffer.size() > kMaxMessageBytes) {
            return ReadStatus::Closed;
        }
        switch (waitReadable(m_fd, deadline, peerEnded, m_runWaitHook)) {
            case Wait::TimedOut:
                return ReadStatus::TimedOut;
            case Wait::PeerEnded:
            case Wait::Failed:
                return ReadStatus::Closed;
            case Wait::Readable:
                break;
        }
        char chunk[65536];
        iovec data{chunk, sizeof chunk};
        msghdr header{};
        header.msg_iov = &data;
        header.msg_iovlen = 1;
        DescriptorSpace space;
        header.msg_control = space.control;
        header.msg_controllen = sizeof space.control;
        const ssize_t n = ::recvmsg(m_fd, &header, MSG_CMSG_CLOEXEC);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n > 0) {
            if (const int fd = firstDescriptor(header); fd >= 0) {
                if (m_descriptor >= 0) {
                    ::close(m_descriptor);
                }
                m_descriptor = fd;
            }
        }
        if (n <= 0) {
            return ReadStatus::Closed;
        }
        m_buffer.append(chunk, static_cast<std::size_t>(n));
    }
}

bool sendPacket(int socket, const nlohmann::json& message, int fd) {
    std::string text = message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    iovec data{text.data(), text.size()};
    msghdr header{};
    header.msg_iov = &data;
    header.msg_iovlen = 1;
    DescriptorSpace space;
    if (fd >= 0) {
        attach(header, space, fd);
    }
    for (;;) {
        const ssize_t n = ::sendmsg(socket, &header, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return n == static_cast<ssize_t>(text.size());
    }
}

ReadStatus receivePacket(int socket, nlohmann::json& message, int& fd,
                         std::optional<std::chrono::steady_clock::time_point> deadline,
                         int peerEnded, bool runWaitHook) {
    fd = -1;
    switch (waitReadable(socket, deadline, peerEnded, runWaitHook)) {
        case Wait::TimedOut:
            return ReadStatus::TimedOut;
        case Wait::PeerEnded:
        case Wait::Failed:
            return ReadStatus::Closed;
        case Wait::Readable:
            break;
    }
    // Launcher packets are a few dozen bytes; a longer one is not ours.
    std::string text(std::size_t{65536}, '\0');
    iovec data{text.data(), text.size()};
    msghdr header{};
    header.msg_iov = &data;
    header.msg_iovlen = 1;
    DescriptorSpace space;
    header.msg_control = space.control;
    header.msg_controllen = sizeof space.control;
    ssize_t n = 0;
    do {
        n = ::recvmsg(socket, &header, MSG_CMSG_CLOEXEC);
    } while (n < 0 && errno == EINTR);
    if (n >= 0) {
        fd = firstDescriptor(header);
    }
    if (n <= 0 || (header.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) != 0) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
        return ReadStatus::Closed;
    }
    text.resize(static_cast<std::size_t>(n));
    message = nlohmann::json::parse(text, nullptr, false);
    if (message.is_discarded() || !message.is_object()) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
        return ReadStatus::Closed;
    }
    return ReadStatus::Message;
}

std::int64_t integerMember(const nlohmann::json& message, const char* key, std::int64_t fallback) {
    if (!message.is_object()) {
        return fallback;
    }
    const auto found = message.find(key);
    return found != message.end() && found->is_number_integer() ? found->get<std::int64_t>()
                                                                : fallback;
}

nlohmann::json encodeText(const std::string& text) {
    if (platform::IsValidUtf8(text)) {
        return text;
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(text.size() * 2);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 0xF]);
    }
    return nlohmann::json{{"bytes", hex}};
}

std::optional<std::string> decodeText(const nlohmann::json& value) {
    if (value.is_string()) {
        return value.get<std::string>();
    }
    const auto hex = value.is_object() && value.size() == 1 ? value.find("bytes") : value.end();
    if (hex == value.end() || !hex->is_string() ||
        hex->get_ref<const std::string&>().size() % 2 != 0) {
        return std::nullopt;
    }
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        return -1;
    };
    const std::string& digits = hex->get_ref<const std::string&>();
    std::string text;
    text.reserve(digits.size() / 2);
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const int high = digit(digits[i]);
        const int low = digit(digits[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        text.push_back(static_cast<char>(high * 16 + low));
    }
    return text;
}

nlohmann::json encode(const Variant& value, const ObjectToId& objectId) {
    if (value.isBool()) {
        return value.asBool();
    }
    if (value.isInt()) {
        return value.asInt();
    }
    if (value.isString()) {
        return encodeText(value.asString());
    }
    if (value.isObject()) {
        return nlohmann::json{{"object", objectId(value.asObject())}};
    }
    return nullptr;
}

Variant decode(const nlohmann::json& value, const IdToObject& objectFor) {
    switch (value.type()) {
        case nlohmann::json::value_t::null:
            return {};
        case nlohmann::json::value_t::boolean:
            return value.get<bool>();
        case nlohmann::json::value_t::number_integer:
        case nlohmann::json::value_t::number_unsigned: {
            if (value.is_number_unsigned() &&
                value.get<std::uint64_t>() >
                    static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
                break;
            }
            const auto number = value.get<std::int64_t>();
            if (number < std::numeric_limits<std::int32_t>::min() ||
                number > std::numeric_limits<std::int32_t>::max()) {
                break;
            }
            return static_cast<std::int32_t>(number);
        }
        case nlohmann::json::value_t::string:
            return value.get<std::string>();
        case nlohmann::json::value_t::object: {
            if (std::optional<std::string> text = decodeText(value)) {
                return std::move(*text);
            }
            auto id = value.find("object");
            if (value.size() == 1 && id != value.end() && id->is_number_integer()) {
                return objectFor(id->get<std::int64_t>());
            }
            break;
        }
        default:
            break;
    }
    throw AutomationError("The office engine sent a value this program does not understand.");
}

}  // namespace office::wire
