#include "SecondaryIDThread.h"

SecondaryIDThread::SecondaryIDThread(SecondarySearchHost& host, std::atomic<bool>& stopSecondary,
                                     bool lsbSearch, std::stop_source cancel)
    : cancel_(std::move(cancel))
{
    thread_ = std::thread([this, &host, &stopSecondary, lsbSearch, token = cancel_.get_token()] {
        SecondarySearch(host, stopSecondary, lsbSearch, token).run();
        std::lock_guard lock(mutex_);
        finished_ = true;
        changed_.notify_all();
    });
}

SecondaryIDThread::~SecondaryIDThread()
{
    if (thread_.joinable()) {
        cancel();
        thread_.join();
    }
}

bool SecondaryIDThread::finished() const
{
    std::lock_guard lock(mutex_);
    return finished_;
}

bool SecondaryIDThread::waitFinished(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return finished_; });
}

void SecondaryIDThread::join()
{
    if (thread_.joinable())
        thread_.join();
}
