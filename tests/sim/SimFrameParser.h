#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One piece of what a bus master sent, as the parser has split it.
struct SimParsed {
    enum class Kind {
        Frame,    // a short or long frame that passed every check
        BadFrame, // a frame that failed a check (length, sum, stop byte, second start byte)
        Garbage,  // bytes skipped on the way to the next start byte
        Dropped,  // the start of a frame that the line left unfinished for the idle gap
    };
    Kind kind = Kind::Frame;
    std::string bytes;
    std::string reason; // what failed (BadFrame, Dropped)
    std::chrono::steady_clock::time_point time; // arrival of the last byte
};

// Splits the byte stream of a bus master into frames:
//   short frame  10 C A CS 16            CS = (C + A) mod 256
//   long frame   68 L L 68 C A CI .. CS 16  L counts C to the last data byte, CS sums them
// Bytes before a start byte are garbage. A frame that fails a check is reported and the
// search for a start byte goes on from the byte after its start byte, so a good frame that
// follows a false start is still found; frames inside a reported bad frame that fail again
// are not reported twice. A frame still unfinished when the line has been idle for the gap
// is dropped.
class SimFrameParser {
public:
    using Clock = std::chrono::steady_clock;

    explicit SimFrameParser(std::chrono::milliseconds idleGap = std::chrono::milliseconds(50));

    // Takes bytes that arrived at `now`; gives what they complete, in line order. When the
    // line was idle for the gap before them, what waited is dropped first.
    std::vector<SimParsed> feed(std::string_view bytes, Clock::time_point now);
    // Call when no bytes arrived: once the gap has passed since the last byte, what waits
    // is reported (garbage) or dropped (an unfinished frame).
    std::vector<SimParsed> idle(Clock::time_point now);
    // The time by which idle() should be called, or nothing when no byte waits.
    std::optional<Clock::time_point> idleDeadline() const;

    std::chrono::milliseconds idleGap() const { return gap_; }

private:
    enum class Verdict { NeedMore, Complete, Bad };
    struct Examined {
        Verdict verdict = Verdict::NeedMore;
        std::size_t size = 0; // bytes of the frame (Complete) or up to the failing byte (Bad)
        std::string reason;
    };

    static Examined examine(std::string_view b);
    void scan(std::vector<SimParsed>& out, Clock::time_point now);
    void flushGarbage(std::vector<SimParsed>& out, Clock::time_point now);
    void dropPending(std::vector<SimParsed>& out, Clock::time_point now);
    // The bytes not yet decided: buf_ from head_ on.
    std::string_view pending() const;
    // Takes n bytes off the front of what is pending.
    void consume(std::size_t n);
    // Frees the bytes taken so far.
    void compact();

    std::chrono::milliseconds gap_;
    std::string buf_;          // from head_ on: bytes not yet decided, starting at a start byte once scanned
    std::size_t head_ = 0;     // bytes at the front of buf_ already taken
    std::string garbage_;      // skipped bytes not yet reported
    std::size_t covered_ = 0;  // leading pending bytes already reported in a bad frame
    Clock::time_point last_ {};
};
