#pragma once

// The local date and time, broken down.
struct LocalDateTime {
    int year = 2000;
    int month = 1;        // 1..12
    int day = 1;          // 1..31
    int hour = 0;         // 0..23
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    bool operator==(const LocalDateTime&) const = default;
};

// The source of "now" for log stamps and decoded times. Windows take a Clock& so that tests
// can pass a FakeClock (tests/support); the program passes systemClock().
class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalDateTime now() const = 0;
};

// The computer's clock in the local time zone. Safe to call from any thread.
Clock& systemClock();
