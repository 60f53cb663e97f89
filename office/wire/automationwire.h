// SPDX-License-Identifier: MIT
// The wire between the automation client and the office server: one JSON object per line over a
// stream socket. Shared by both ends so that they cannot drift apart.
//
//   hello   server → client, once at start:
//           {"protocol":3,"server":"pavendel-office","root":1}
//           or {"protocol":3,"error":"<description>"} when the server cannot serve
//   request {"id":7,"object":1,"kind":"get"|"call"|"put","member":"Open","args":[...],
//            "named":{"FileFormat":6}}; a put's value is its one argument, and it answers null.
//           A SaveAs comes with a descriptor of the target's folder, held open by the program
//           (platform/folder.h), and "folder":<its path> says so: the server saves into that
//           folder, whatever the path names by then.
//   reply   {"id":7,"value":<value>} or {"id":7,"error":<description>,"number":N}, the
//           description a string in either form a string value takes, the number the error's
//           (as AutomationError::number has it; left out when 0)
//   value   null (empty), true/false, an integer, a string, {"bytes":"<hex>"} for a string that
//           is not valid UTF-8 (a file name from an old archive), or {"object":N} for an object
//           the server keeps under the number N for the rest of its life
//
// The client sends one request at a time and waits for its reply; a request for "Quit" on the
// root object is answered and then the server ends.
//
// The launcher, which starts servers quickly by forking a preinitialised engine, is spoken to over
// a packet socket (SOCK_SEQPACKET) instead: one JSON object per packet, at most one descriptor
// passed along with it.
//
//   hello   launcher → client, once it is ready: {"protocol":3,"launcher":"pavendel-office"}
//   request client → launcher: {"request":"server"} with the server's end of a new socket pair
//   reply   launcher → client: {"pid":N} with a process descriptor (pidfd) of the new server,
//           which then speaks the protocol above on the socket it was given; or {"error":"..."}
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "automation/automation.h"

namespace office::wire {

inline constexpr int kProtocolVersion = 3;
inline constexpr std::int64_t kRootObject = 1;
// A longer line is not a message of ours: the connection is treated as broken.
inline constexpr std::size_t kMaxMessageBytes = 1 << 20;

enum class ReadStatus { Message, Closed, TimedOut };

// One end of the socket. The caller closes the socket; a descriptor that came over it and was
// not taken is closed with the channel.
class Channel {
 public:
    explicit Channel(int fd) : m_fd(fd) {}
    ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    // The client's end runs the automation wait hook while it waits, so that the window
    // repaints during a long conversion; the server's end does not.
    void runWaitHookWhileWaiting(bool run) { m_runWaitHook = run; }

    // Sends the message, with a copy of the descriptor when one is given (-1: none). False when
    // the peer is gone.
    bool send(const nlohmann::json& message, int descriptor = -1);
    // Waits for the next message until the deadline (none: wait as long as it takes). A line that
    // is not JSON counts as Closed: the peer is not speaking this protocol. When peerEnded (a
    // process descriptor of the peer) becomes readable and nothing is left to read, that counts
    // as Closed too, even while another process still holds the peer's end of the socket.
    ReadStatus receive(nlohmann::json& message,
                       std::optional<std::chrono::steady_clock::time_point> deadline,
                       int peerEnded = -1);
    // The descriptor that came with the messages received so far (close-on-exec; the caller's to
    // close from then on), or -1. The peer sends one request at a time, so it is the last
    // message's; a channel keeps one descriptor at most and closes any other that comes.
    int takeDescriptor();

 private:
    int m_fd;
    bool m_runWaitHook = false;
    std::string m_buffer;
    int m_descriptor = -1;
};

// One packet with an optional descriptor (-1: none). False when the peer is gone.
bool sendPacket(int socket, const nlohmann::json& message, int fd = -1);
// Waits for the next packet until the deadline (none: as long as it takes); a descriptor that
// came with it is stored in fd (close-on-exec), otherwise fd is -1. A packet that is not a JSON
// object counts as Closed. peerEnded as in Channel::receive; with runWaitHook the automation wait
// hook runs while it waits.
ReadStatus receivePacket(int socket, nlohmann::json& message, int& fd,
                         std::optional<std::chrono::steady_clock::time_point> deadline,
                         int peerEnded = -1, bool runWaitHook = false);

// The integer a message holds under key, or fallback when it holds none there: no such member,
// or a value of another type (a string, a fraction) from a peer that is not of this program.
// Never throws, unlike nlohmann's value(), so that a wrong message reads as a wrong answer.
std::int64_t integerMember(const nlohmann::json& message, const char* key,
                           std::int64_t fallback = 0);

using ObjectToId = std::function<std::int64_t(const automation::ObjectPtr&)>;
using IdToObject = std::function<automation::ObjectPtr(std::int64_t)>;

nlohmann::json encode(const automation::Variant& value, const ObjectToId& objectId);
// A string as a JSON string when it is valid UTF-8, otherwise as {"bytes":"<hex>"}, so that a path
// keeps every byte on the wire.
nlohmann::json encodeText(const std::string& text);
// The string back from either form; nothing when the JSON is neither.
std::optional<std::string> decodeText(const nlohmann::json& value);
// Throws AutomationError when the JSON is not a value of this protocol.
automation::Variant decode(const nlohmann::json& value, const IdToObject& objectFor);

}  // namespace office::wire
