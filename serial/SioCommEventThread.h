#pragma once

#include "SioObjects.h"
#include "SioTypes.h"

#include <atomic>
#include <cstdint>
#include <stop_token>
#include <thread>

class OwnerDispatcher;
class SioOsCalls;
class TSioComm;

// Watches the open line for the events of the mask and hands each batch to the owner's
// thread, where the component dispatches them (TSioComm::DoEvents).
//
// Linux has no wait for line events, so the thread polls: with no time limit on its stop
// event and the descriptor while nothing needs watching, and every 20 ms while something
// does (unread input, output not yet drained, modem lines, line-error counters). It takes
// everything it needs at creation and never the component's locks: Close holds the read lock
// while it joins this thread.
class TSioCommEventThread {
public:
    struct TConfig {
        SioOsCalls* Os = nullptr;
        int Fd = -1;
        std::uint32_t Mask = 0;
        std::int32_t ReadSize = 0;
        // Set by every direct write: the output is to be watched until it has drained.
        TSioWaitEvent* TxWritten = nullptr;
        // Bytes taken from the input queue so far: with FIONREAD it gives the bytes arrived,
        // so an arrival is seen also when a read took as much in between.
        const std::atomic<std::uint64_t>* RxConsumed = nullptr;
        TThreadPriority Priority = tpNormal;
    };

    static constexpr int WatchIntervalMs = 20;

    TSioCommEventThread(TSioComm& owner, OwnerDispatcher& dispatcher, const TConfig& config);
    // Stops and joins.
    ~TSioCommEventThread();
    TSioCommEventThread(const TSioCommEventThread&) = delete;
    TSioCommEventThread& operator=(const TSioCommEventThread&) = delete;

    // Wakes the thread and ends a pending hand-over; the thread then leaves its loop.
    void Stop();
    void Join();

    TThreadPriority Priority() const { return priority_; }
    void SetPriority(TThreadPriority priority) { priority_ = priority; }

private:
    void Execute(std::stop_token stop);

    TSioComm& owner_;
    OwnerDispatcher& dispatcher_;
    const TConfig config_;
    TThreadPriority priority_;
    std::stop_source stopSource_;
    TSioWaitEvent stopEvent_;
    std::thread thread_;
};
