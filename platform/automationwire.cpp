// SPDX-License-Identifier: MIT
#include "platform/automationwire.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <limits>

namespace platform::wire {

bool Channel::send(const nlohmann::json& message) {
    std::string line = message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    line.push_back('\n');
    std::size_t sent = 0;
    while (sent < line.size()) {
        // MSG_NOSIGNAL: a peer that died must give an error here, not a SIGPIPE that ends us.
        const ssize_t n = ::send(m_fd, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
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
        int timeout = -1;
        if (deadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                *deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return ReadStatus::TimedOut;
            }
            timeout = static_cast<int>(
                std::min<long long>(left.count(), std::numeric_limits<int>::max()));
        }
        const bool pump = m_runWaitHook && HasAutomationWaitHook();
        if (pump) {
            constexpr int kPumpMilliseconds = 50;
            timeout = timeout < 0 ? kPumpMilliseconds : std::min(timeout, kPumpMilliseconds);
        }
        pollfd entries[2] = {{m_fd, POLLIN, 0}, {peerEnded, POLLIN, 0}};
        const int ready = ::poll(entries, peerEnded >= 0 ? 2 : 1, timeout);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return ReadStatus::Closed;
        }
        if (ready == 0) {
            if (pump) {
                RunAutomationWaitHook();
            }
            continue;  // the deadline check above decides
        }
        if (entries[0].revents == 0) {
            // Only the peer's end: whatever it wrote before ending would be readable by now.
            return ReadStatus::Closed;
        }
        char chunk[65536];
        const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return ReadStatus::Closed;
        }
        m_buffer.append(chunk, static_cast<std::size_t>(n));
    }
}

nlohmann::json encode(const Variant& value, const ObjectToId& objectId) {
    if (value.isBool()) {
        return value.asBool();
    }
    if (value.isInt()) {
        return value.asInt();
    }
    if (value.isString()) {
        return value.asString();
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

}  // namespace platform::wire
