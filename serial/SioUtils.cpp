#include "SioUtils.h"

#include <time.h>

namespace {

std::uint32_t now(const TSioTimeout& timeout)
{
    return timeout.Tick ? timeout.Tick() : SioMonotonicTick();
}

// The unsigned difference is the elapsed time also when the counter wrapped in between.
std::uint32_t elapsed(const TSioTimeout& timeout)
{
    return static_cast<std::uint32_t>(now(timeout) - timeout.Start);
}

} // namespace

std::uint32_t SioMonotonicTick()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const auto ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u
        + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

void TimeoutStart(TSioTimeout& timeout, std::uint32_t ms)
{
    timeout.Start = now(timeout);
    timeout.Interval = ms;
}

bool TimeoutExpired(const TSioTimeout& timeout)
{
    return elapsed(timeout) > timeout.Interval;
}

std::uint32_t TimeoutRemaining(const TSioTimeout& timeout)
{
    const std::uint32_t e = elapsed(timeout);
    return e > timeout.Interval ? 0 : timeout.Interval - e + 1;
}
