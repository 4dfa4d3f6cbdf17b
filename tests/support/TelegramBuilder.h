#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// Builds frames for tests: bytes from hex text, long frames with L and CS filled in, and
// RSP_UD telegrams from header fields and record bytes.

// "04 13 39 30" -> the four bytes. Blanks are optional between byte pairs.
std::string hexBytes(std::string_view hex);
std::string bytesOf(std::initializer_list<int> values);
// Bytes as upper-case hex pairs, each followed by one blank ("10 7B ").
std::string spacedHex(std::string_view bytes);

// 68 L L 68 C A CI data CS 16 with L = 3 + data size and CS the 8-bit sum from C on.
std::string longFrame(std::uint8_t c, std::uint8_t a, std::uint8_t ci, std::string_view data);
// 10 C A CS 16.
std::string shortFrame(std::uint8_t c, std::uint8_t a);

// Three letters to the 16-bit manufacturer value ("EMH" -> 0x15A8).
std::uint16_t manufacturerValue(std::string_view letters);

struct TelegramHeader {
    std::uint8_t c = 0x08;
    std::uint8_t address = 1;
    std::uint8_t ci = 0x72;
    std::string id = "12345678";    // eight hex digits, most significant first
    std::string manufacturer = "EMH";
    std::uint8_t version = 0x01;
    std::uint8_t medium = 0x07;
    std::uint8_t access = 0x01;
    std::uint8_t status = 0x00;
    std::uint16_t signature = 0x0000;
};

// The 12-byte variable-data header (ID, manufacturer, version, medium, access, status,
// signature), as it follows the CI field.
std::string headerBytes(const TelegramHeader& header);
// A whole RSP_UD long frame: header, then the record bytes.
std::string telegram(const TelegramHeader& header, std::string_view records);
