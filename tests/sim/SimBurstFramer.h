#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Splits a byte stream into bursts: a burst ends when the line has been idle for the gap
// (text commands carry no terminator). A burst that reaches the size limit ends there, so a
// flood without pauses cannot grow without bound.
class SimBurstFramer {
public:
    using Clock = std::chrono::steady_clock;

    struct Burst {
        std::string bytes;
        Clock::time_point last; // arrival of its last byte
    };

    explicit SimBurstFramer(std::chrono::milliseconds gap = std::chrono::milliseconds(25),
                            std::size_t limit = 4096);

    // Bytes that arrived at `now`. Gives the burst that ended before them (the line was idle
    // for the gap) and those that they filled to the limit, in order.
    std::vector<Burst> feed(std::string_view bytes, Clock::time_point now);
    // Call when no bytes arrived: gives the burst once the gap has passed since its last byte.
    std::optional<Burst> idle(Clock::time_point now);
    // When idle() should be called, or nothing when no byte waits.
    std::optional<Clock::time_point> deadline() const;

    std::chrono::milliseconds gap() const { return gap_; }

private:
    Burst take();

    std::chrono::milliseconds gap_;
    std::size_t limit_;
    std::string buf_;
    Clock::time_point last_ {};
};
