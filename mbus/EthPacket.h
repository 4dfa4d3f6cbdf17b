#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The 300-byte packet of the two gateway links. A request carries an M-Bus frame (body kind
// A8) or a text command (A1) behind a 12-byte header with the network number and the packet
// number; a reply carries a status, two bytes of error flags and optionally a reply text.
// All sums are 8-bit additions. Pure functions over byte strings.

// The gateway's network number a.b.c.d.
using NetNumberBytes = std::array<std::uint8_t, 4>;

inline constexpr std::size_t EthPacketSize = 300;
// The longest frame or text a packet carries.
inline constexpr std::size_t EthPayloadMax = 280;

// The request header: 01, a b c d, 00, the low 16 bits of packetNo high byte first, the kind
// as two bytes (always 1), the sum of the ten bytes before, 04.
std::string BuildEthHeader(const NetNumberBytes& net, std::int32_t packetNo);
// A8 LL 10 00 frame sum AA, and A1 LL 00 00 text sum AA; LL = (n + 2) mod 256, the sum over
// LL to the last payload byte.
std::string BuildMbusBody(std::string_view frame);
std::string BuildTextBody(std::string_view text);
// Pads bytes with 00 to 298, then the sum of those 298 bytes and 04. False, and packet left
// as it was, when bytes is longer than 298.
bool FinishEthPacket(std::string_view bytes, std::string& packet);
// Replace the frame or text by its finished packet, or by an empty string when it is longer
// than 280 bytes. Neither changes packetNo.
void WrapMbusTelegram(std::string& frame, const NetNumberBytes& net, std::int32_t packetNo);
void WrapTextCommand(std::string& text, const NetNumberBytes& net, std::int32_t packetNo);

// "a.b.c.d": exactly three dots, each part decimal digits only with a value of at most 255.
// True and net set; otherwise false and net unchanged.
bool ParseNetNumber(std::string_view text, NetNumberBytes& net);
// The net number as text, "10.0.0.255".
std::string NetNumberText(const NetNumberBytes& net);

// Exactly three dots and every part, read as a decimal integer, at most 255 (no lower bound).
// A part that is empty, not a decimal integer or beyond 32 bits throws ConversionError.
bool IsValidIp(std::string_view text);

// What a checked reply gives: the log lines in order, the replying device's network number
// (none when a check failed) and the reply text (empty for a failed check or a status-only
// reply).
struct EthReplyCheck {
    std::vector<std::string> lines;
    std::optional<NetNumberBytes> netNumber;
    std::string text;
};

// Checks a reply block (its size is the byte count, 300 from the links): START 01, the header
// sum at 19, the packet sum at count-2, STOP 04 at count-1, stopping at the first failure.
// A good one logs "Device " + the number and its status. No byte outside the block is read.
EthReplyCheck CheckEthReply(std::string_view block);
// The status lines: "Done!" for status 00, else one line per flag bit set.
std::vector<std::string> ReportEthStatus(std::uint8_t status, std::uint8_t flags1, std::uint8_t flags2);
