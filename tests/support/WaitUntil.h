#pragma once

#include <chrono>
#include <thread>

// Polls a condition in short slices until it holds or the time-out passes. Gives the
// condition's last value, so a test can ASSERT_TRUE(waitUntil(...)).
template <class Condition>
bool waitUntil(Condition&& condition, std::chrono::milliseconds timeout = std::chrono::seconds(10),
               std::chrono::milliseconds slice = std::chrono::milliseconds(2))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
        std::this_thread::sleep_for(slice);
    }
}
