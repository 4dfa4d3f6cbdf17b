#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// Decoders of the fixed telegram header of an RSP_UD long frame. Each takes the reply bytes
// (byte 0 the first 68) and reads one field; the reply must hold the header (19 bytes or
// more), else std::invalid_argument.

// Bytes 10, 9, 8, 7 as hex digits, most significant BCD pair first; not validated, so a
// nibble above 9 shows as a letter.
std::string GetTelegramId(std::string_view reply);

// Bytes 11-12 (low byte first) as three letters, each 64 + a 5-bit value; 1 is "A".
std::string GetManufacturerCode(std::string_view reply);

struct MediumInfo {
    std::string medium;
    // The units a main value of this medium comes in; the first is the medium's main unit.
    std::array<std::string, 3> units;
};
// Byte 14: the medium text and its expected units.
MediumInfo GetMediumText(std::string_view reply);

// Byte 15.
int GetAccessNumber(std::string_view reply);

// Byte 16: in report mode "0x" and two upper-case hex digits; otherwise the letters Q B M O T V
// for the bits 7 to 2 that are set (empty for a status of 0).
std::string GetStatusText(std::string_view reply, bool fullReportMode);
