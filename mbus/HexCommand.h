#pragma once

#include <string>
#include <string_view>

// A custom command typed in hex: bytes of two upper-case hex digits separated by blanks
// ("10 7B 01 7C 16"); a one-digit byte reads as 0 and the digit ("1 2" is 01 02).
struct HexCommand {
    std::string bytes;      // the bytes when error is empty
    std::string error;      // the log line of a refused text; nothing may then be sent
};

// Refuses a text of one character, any character but 0-9, A-F and blank, and a byte of more
// than two digits, with their log lines, in that order of checks. Blanks only: no bytes.
HexCommand ParseHexCommand(std::string_view text);
