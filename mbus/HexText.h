#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// The first eight characters of text as hexadecimal digits, most significant first, summed
// in 32-bit two's complement ("FFFFFFFF" is -1). "A"-"F" and "a"-"f" count 10-15, "0"-"9"
// their value; any other character, or a text shorter than eight characters, throws
// ConversionError.
std::int32_t HexStrToInt(std::string_view text);

// The value of one hex digit ("0"-"9", "A"-"F", "a"-"f"), or -1 for any other character.
inline int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Writes the two upper-case hex digits of b at p; gives the position after them.
inline char* writeHexByte(char* p, unsigned char b)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    p[0] = kDigits[b >> 4];
    p[1] = kDigits[b & 15];
    return p + 2;
}

// Every byte as two upper-case hex digits followed by one blank ("10 7B 01 ").
std::string SpacedHex(std::string_view bytes);
// Every byte as two upper-case hex digits, in the order given ("107B01").
std::string HexDigits(std::string_view bytes);
// Every byte as two upper-case hex digits, the last byte first ("017B10").
std::string HexDigitsReversed(std::string_view bytes);
// The concatenation of the parts, in one allocation.
std::string Concat(std::initializer_list<std::string_view> parts);
