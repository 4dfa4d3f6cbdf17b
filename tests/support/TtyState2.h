#pragma once

#include <cstdint>

// The output speed a terminal holds as the kernel reports it (TCGETS2): also speeds that
// POSIX has no constant for. Raises std::runtime_error on failure.
std::uint32_t readOutputSpeed2(int fd);
