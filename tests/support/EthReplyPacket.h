#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// Byte i of s as an unsigned number.
inline std::uint8_t at(const std::string& s, std::size_t i) { return static_cast<std::uint8_t>(s[i]); }

// The 8-bit sum of bytes from..to of s, to included.
inline unsigned sum(const std::string& s, std::size_t from, std::size_t to)
{
    unsigned v = 0;
    for (std::size_t i = from; i <= to; ++i)
        v += at(s, i);
    return v & 0xFF;
}

// A gateway's reply packet, laid out from the reply table: START, the device's number, the
// header sum at 19, the kind at 21; a status-only reply has status, flags2, flags1 at 24-26,
// a text reply d at 22, the text from 25 and status, flags2, flags1 at d+28..d+30; the packet
// sum at 298 and STOP at 299.
struct EthReplyPacket {
    std::array<std::uint8_t, 4> net {10, 0, 0, 7};
    bool statusOnly = false;
    std::string text = "";
    int d = -1;   // the length byte; -1: text length + 4
    std::uint8_t status = 0, flags1 = 0, flags2 = 0;

    std::string packet() const
    {
        std::string p(300, '\0');
        p[0] = 0x01;
        for (std::size_t i = 0; i < 4; ++i)
            p[1 + i] = static_cast<char>(net[i]);
        p[5] = 0x33;   // header bytes the program does not read
        p[19] = static_cast<char>(sum(p, 0, 18));
        if (statusOnly) {
            p[21] = static_cast<char>(0xA5);
            p[24] = static_cast<char>(status);
            p[25] = static_cast<char>(flags2);
            p[26] = static_cast<char>(flags1);
        } else {
            const std::size_t len = d < 0 ? text.size() + 4 : static_cast<std::size_t>(d);
            p[21] = static_cast<char>(0xA6);
            p[22] = static_cast<char>(len);
            p.replace(25, text.size(), text);
            p[len + 28] = static_cast<char>(status);
            p[len + 29] = static_cast<char>(flags2);
            p[len + 30] = static_cast<char>(flags1);
        }
        p[298] = static_cast<char>(sum(p, 0, 297));
        p[299] = 0x04;
        return p;
    }
};
