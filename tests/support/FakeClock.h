#pragma once

#include "Clock.h"

#include <mutex>

// A Clock that shows the time a test sets. Safe to read from any thread.
class FakeClock : public Clock {
public:
    FakeClock() = default;
    explicit FakeClock(const LocalDateTime& t) : now_(t) {}

    LocalDateTime now() const override
    {
        std::lock_guard lock(mutex_);
        return now_;
    }
    void set(const LocalDateTime& t)
    {
        std::lock_guard lock(mutex_);
        now_ = t;
    }

private:
    mutable std::mutex mutex_;
    LocalDateTime now_;
};
