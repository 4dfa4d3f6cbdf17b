#pragma once

#include <OwnerDispatcher.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// The owner's thread for tests: calls handed over wait in a queue until the test thread
// pumps them. A call whose caller is stopped before it started never runs.
class ManualDispatcher : public OwnerDispatcher {
public:
    bool runOnOwner(std::function<void()> call, std::stop_token stop) override;

    // Runs the calls queued now on the calling thread; gives how many ran.
    int pump();
    // Pumps until condition holds or the time-out passes; gives the condition's last value.
    bool pumpUntil(const std::function<bool()>& condition,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Pumps for a while, for tests that count what keeps happening.
    void pumpFor(std::chrono::milliseconds window);

    // Calls handed over so far, and of them those that ran.
    int handedOver() const;
    int ran() const;

private:
    struct Task {
        enum State { Pending, Running, Done, Cancelled };
        std::function<void()> call;
        State state = Pending;
    };

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Task>> queue_;
    int handedOver_ = 0;
    int ran_ = 0;
};
