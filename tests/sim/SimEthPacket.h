#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The gateway's 300-byte packets, as the gateway simulator reads and writes them. Written on
// its own, byte by byte from the packet layout, so that a fault in the program's packet code
// shows as a disagreement with this one.
//
// Request (program to gateway):
//   0 START 01 | 1-4 network number | 5 00 | 6-7 packet number, high byte first | 8-9 00 01
//   10 sum of 0-9 | 11 04 | 12 body: kind (A8 M-Bus, A1 text), LL = (n + 2) mod 256,
//   10 00 (A8) or 00 00 (A1), n payload bytes, sum of LL..last payload byte, AA
//   | 00 up to 297 | 298 sum of 0-297 | 299 STOP 04
// Reply (gateway to program):
//   0 START 01 | 1-4 network number | 5-18 header (here: 00, packet number, 00 01, zeros)
//   19 sum of 0-18 | 20 04 | 21 kind: A5 status only, else a text reply
//   status only: 24 status, 25 flags 2, 26 flags 1
//   text reply: 22 d = n + 4, 25 .. 24+n the text, d+28 status, d+29 flags 2, d+30 flags 1
//   | 298 sum of 0-297 | 299 STOP 04

namespace simeth {

constexpr std::size_t packetSize = 300;
constexpr std::size_t maxPayload = 280;   // request payload
constexpr std::size_t maxReplyText = 251; // d = n + 4 is one byte
constexpr std::uint8_t mbusBody = 0xA8;
constexpr std::uint8_t textBody = 0xA1;
constexpr std::uint8_t statusOnly = 0xA5;

using NetNumber = std::array<std::uint8_t, 4>;

// Status and the two flag bytes of a reply.
struct Status {
    std::uint8_t status = 0;
    std::uint8_t flags1 = 0;
    std::uint8_t flags2 = 0;
    bool operator==(const Status&) const = default;
};

// flags1 and flags2 bits.
constexpr std::uint8_t f1HeaderSum = 0x01, f1TelegramSum = 0x02, f1Length = 0x04, f1Start = 0x08,
                       f1Denied = 0x10, f1Unknown = 0x20, f1StartStop = 0x40, f1NetNumber = 0x80;
constexpr std::uint8_t f2PacketNo = 0x01, f2Timeout = 0x02, f2BadMbus = 0x40, f2General = 0x80;

// A request packet as read, with every check that failed.
struct Request {
    NetNumber net {};
    std::uint16_t packetNo = 0;
    std::uint8_t body = 0;
    std::string payload;
    std::vector<std::string> failures; // empty: every check passed
    Status complaint;                  // the flags a gateway sets for these failures
};

// Checks a 300-byte request: START, header sum, packet sum, STOP, the fixed header bytes,
// body kind and its two fixed bytes, the body's end (AA, then only zeros), LL and body sum.
Request readRequest(std::string_view packet);

// A request built from the layout, for tests. An empty string when the payload is longer
// than 280 bytes.
std::string buildRequest(const NetNumber& net, std::uint16_t packetNo, std::uint8_t body,
                         std::string_view payload);

// Reply packets. A text longer than 251 bytes is cut.
std::string textReply(const NetNumber& net, std::uint16_t packetNo, std::uint8_t kind,
                      std::string_view text, const Status& status = {});
std::string statusReply(const NetNumber& net, std::uint16_t packetNo, const Status& status);

// Damages a reply so that exactly one of the program's checks fails (the sums that follow
// the damaged byte are made right again).
enum class Corruption { None, Start, HeaderSum, PacketSum, Stop };
void corrupt(std::string& reply, Corruption what);

std::uint8_t sum(std::string_view bytes, std::size_t from, std::size_t to); // bytes from..to
std::string netText(const NetNumber& net); // "10.0.0.1"

} // namespace simeth
