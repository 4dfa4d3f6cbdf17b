#pragma once

#include <cstdint>

class SioOsCalls;

// Line settings in a neutral form, so that the termios2 code (whose kernel header clashes
// with <termios.h>) can be reached from code that uses <termios.h>.
struct SioLineSettings {
    std::uint32_t iflag = 0;
    std::uint32_t oflag = 0;
    std::uint32_t cflag = 0;
    std::uint32_t lflag = 0;
    std::uint8_t line = 0;
    std::uint8_t cc[32] = {};
};

// Writes the settings with an arbitrary speed in both directions (BOTHER, TCSETS2) in one
// call. Gives 0, or -1 with errno set.
int sioSetLineWithSpeed(SioOsCalls& os, int fd, const SioLineSettings& settings,
                        std::uint32_t speed);

