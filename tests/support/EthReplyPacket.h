#pragma once

#include "SimEthPacket.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Byte i of s as an unsigned number.
inline std::uint8_t at(const std::string& s, std::size_t i) { return static_cast<std::uint8_t>(s[i]); }

// The 8-bit sum of bytes from..to, to included.
using simeth::sum;

// A gateway's replies as the gateway simulator writes them, from the device 10.0.0.7 with
// packet number 0 (the program does not read it): a text reply, and one of status only.
inline const simeth::NetNumber ReplyDevice {10, 0, 0, 7};

inline std::string replyWith(std::string_view text, const simeth::Status& status = {})
{
    return simeth::textReply(ReplyDevice, 0, simeth::textBody, text, status);
}

inline std::string statusOnlyReply(const simeth::Status& status = {}, const simeth::NetNumber& net = ReplyDevice)
{
    return simeth::statusReply(net, 0, status);
}
