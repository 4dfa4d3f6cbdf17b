#pragma once

#include <cstdint>
#include <mutex>

// A manual-reset event on an eventfd: it stays signalled until reset, and its descriptor can
// be polled together with the port, so a thread waits for both in one poll.
class TSioWaitEvent {
public:
    enum TWaitResult { wrSignaled = 0, wrTimeout = 1, wrAbandoned = 2, wrError = 3 };
    static constexpr std::uint32_t Infinite = 0xFFFFFFFFu;

    // Raises std::system_error when the system has no descriptor to give.
    TSioWaitEvent();
    ~TSioWaitEvent();
    TSioWaitEvent(const TSioWaitEvent&) = delete;
    TSioWaitEvent& operator=(const TSioWaitEvent&) = delete;

    int Handle() const { return fd_; }
    // errno of the last failed wait.
    int Error() const { return error_; }

    void SetEvent();
    void ResetEvent();
    bool IsSet() const;
    // 0 signalled, 1 timed out, 3 failed (Error set). Infinite waits without limit.
    int WaitFor(std::uint32_t ms);

private:
    int fd_ = -1;
    int error_ = 0;
};

// A lock that its holder may take again, as the component's read and write locks are.
class TSioCriticalSection {
public:
    void Enter() { mutex_.lock(); }
    void Leave() { mutex_.unlock(); }
    void Acquire() { Enter(); }
    void Release() { Leave(); }

    // For std::lock_guard, std::unique_lock and std::condition_variable_any.
    void lock() { Enter(); }
    void unlock() { Leave(); }
    bool try_lock() { return mutex_.try_lock(); }

private:
    std::recursive_mutex mutex_;
};
