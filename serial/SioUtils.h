#pragma once

#include <cstdint>
#include <functional>

// A 32-bit millisecond tick count; it wraps after about 49.7 days.
using TSioTickSource = std::function<std::uint32_t()>;

// The tick of CLOCK_MONOTONIC in milliseconds, truncated to 32 bits.
std::uint32_t SioMonotonicTick();

// A time-out measured in ticks, harmless across the wrap of the counter.
struct TSioTimeout {
    std::uint32_t Start = 0;
    std::uint32_t Interval = 0;
    TSioTickSource Tick;   // empty: SioMonotonicTick
};

void TimeoutStart(TSioTimeout& timeout, std::uint32_t ms);
bool TimeoutExpired(const TSioTimeout& timeout);
// Milliseconds left before TimeoutExpired reports expiry (0 once it does).
std::uint32_t TimeoutRemaining(const TSioTimeout& timeout);

// True when any bit of bits is set in value.
constexpr bool TestBits(std::uint32_t value, std::uint32_t bits)
{
    return (value & bits) != 0;
}
