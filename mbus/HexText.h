#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The first eight characters of text as hexadecimal digits, most significant first, summed
// in 32-bit two's complement ("FFFFFFFF" is -1). "A"-"F" and "a"-"f" count 10-15, "0"-"9"
// their value; any other character, or a text shorter than eight characters, throws
// ConversionError.
std::int32_t HexStrToInt(std::string_view text);

// Upper-case hex digits of one byte, appended to out.
inline void appendHexByte(std::string& out, unsigned char b)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
}

// Every byte as two upper-case hex digits followed by one blank ("10 7B 01 ").
std::string SpacedHex(std::string_view bytes);
