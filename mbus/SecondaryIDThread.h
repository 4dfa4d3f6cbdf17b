#pragma once

#include "SecondarySearch.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>

// The thread of one wildcard search, running from its creation. Its owner keeps it and joins
// it once it has finished; destroying it while it runs cancels the search and joins it, so no
// thread is ever left behind. cancel is the source whose token the host's hand-overs and
// wait watch: cancelling ends a wait at once, skips hand-overs not yet run, and the search
// returns without further steps.
class SecondaryIDThread {
public:
    SecondaryIDThread(SecondarySearchHost& host, std::atomic<bool>& stopSecondary, bool lsbSearch,
                      std::stop_source cancel = {});
    ~SecondaryIDThread();
    SecondaryIDThread(const SecondaryIDThread&) = delete;
    SecondaryIDThread& operator=(const SecondaryIDThread&) = delete;

    void cancel() { cancel_.request_stop(); }
    // The search has returned (its end step, if any, has run).
    bool finished() const;
    bool waitFinished(std::chrono::milliseconds timeout) const;
    void join();

private:
    std::stop_source cancel_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool finished_ = false;
    std::thread thread_;
};
