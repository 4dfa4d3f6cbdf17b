#pragma once

#include <cstdint>
#include <string_view>

// Byte helpers shared by the M-Bus frames and the gateway packets.

// The low eight bits of v as one byte of a frame or packet.
inline char byteChar(unsigned v)
{
    return static_cast<char>(v & 0xFFu);
}

// The 8-bit sum of the bytes: the checksum of M-Bus frames and of gateway packets.
inline std::uint8_t Sum8(std::string_view bytes)
{
    unsigned sum = 0;
    for (const char c : bytes)
        sum += static_cast<unsigned char>(c);
    return static_cast<std::uint8_t>(sum & 0xFFu);
}
