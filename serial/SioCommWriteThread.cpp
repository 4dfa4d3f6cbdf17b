#include "SioCommWriteThread.h"

#include "SioComm.h"
#include "SioOsCalls.h"

#include <OwnerDispatcher.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>

TSioCommWriteQueue::TResult TSioCommWriteQueue::Write(std::unique_lock<TSioCriticalSection>& lock,
                                                      const void* bytes, std::size_t count,
                                                      std::uint32_t timeoutMs,
                                                      const TSioTickSource& tick)
{
    TSioTimeout timeout;
    timeout.Tick = tick;
    TimeoutStart(timeout, timeoutMs);
    while (!IsClosed && count > Buffer.Room()) {
        if (TimeoutExpired(timeout))
            return Full;
        Room.wait_for(lock, std::chrono::milliseconds(TimeoutRemaining(timeout)));
    }
    if (IsClosed)
        return Closed;
    Buffer.Append(bytes, count);
    DataReady.SetEvent();
    return Queued;
}

TSioCommWriteThread::TSioCommWriteThread(TSioComm& owner, OwnerDispatcher& dispatcher,
                                         TSioCriticalSection& writeLock, const TConfig& config)
    : owner_(owner),
      dispatcher_(dispatcher),
      writeLock_(writeLock),
      config_(config),
      priority_(config.Priority),
      queue_(std::make_shared<TSioCommWriteQueue>(config.Capacity))
{
    inFlight_.reserve(config.Capacity);
    thread_ = std::thread([this] { Execute(stopSource_.get_token()); });
}

TSioCommWriteThread::~TSioCommWriteThread()
{
    Stop();
    Join();
}

void TSioCommWriteThread::Stop()
{
    stopSource_.request_stop();
    stopEvent_.SetEvent();
}

void TSioCommWriteThread::Join()
{
    if (thread_.joinable())
        thread_.join();
}

void TSioCommWriteThread::Purge()
{
    purgeAcknowledge_.ResetEvent();
    purgeRequest_.SetEvent();
    const bool acknowledged = purgeAcknowledge_.WaitFor(PurgeAckTimeoutMs) == TSioWaitEvent::wrSignaled;
    std::lock_guard lock(writeLock_);
    if (acknowledged) {
        queue_->Buffer.Clear();
        queue_->DataReady.ResetEvent();
    }
    queue_->PurgePending = false;
    queue_->Room.notify_all();
}

void TSioCommWriteThread::Acknowledge()
{
    {
        std::lock_guard lock(writeLock_);
        queue_->PurgePending = true;
    }
    purgeRequest_.ResetEvent();
    purgeAcknowledge_.SetEvent();
}

void TSioCommWriteThread::Execute(std::stop_token stop)
{
    SioOsCalls& os = *config_.Os;
    TSioCommWriteQueue& q = *queue_;
    while (!stop.stop_requested()) {
        pollfd wait[3] = {{stopEvent_.Handle(), POLLIN, 0},
                          {purgeRequest_.Handle(), POLLIN, 0},
                          {q.DataReady.Handle(), POLLIN, 0}};
        if (os.poll(wait, 3, -1) < 0)
            continue;   // EINTR; nothing else can fail on these descriptors
        if (wait[0].revents)
            break;
        if (wait[1].revents)
            Acknowledge();
        if (!(wait[2].revents & POLLIN))
            continue;

        {
            std::unique_lock lock(writeLock_);
            // The purger clears right after our acknowledgement; wait for it, bounded in case
            // it gave up waiting before the acknowledgement came.
            q.Room.wait_for(lock, std::chrono::milliseconds(PurgeAckTimeoutMs),
                            [&] { return !q.PurgePending; });
            q.PurgePending = false;
            inFlight_.assign(q.Buffer.Data(), q.Buffer.Data() + q.Buffer.Count());
            if (inFlight_.empty()) {
                q.DataReady.ResetEvent();
                continue;
            }
        }
        const ssize_t written = os.write(config_.Fd, inFlight_.data(), inFlight_.size());
        const int error = errno;
        if (written > 0) {
            WriteDone(static_cast<std::size_t>(written), stop);
            continue;
        }
        if (written < 0 && error != EAGAIN && error != EWOULDBLOCK && error != EINTR) {
            WriteFailed(stop);
            continue;
        }
        // The line takes nothing now: wait until it does, or for stop or a purge. Nothing is
        // in flight, so a purge is acknowledged at once.
        pollfd pending[3] = {{stopEvent_.Handle(), POLLIN, 0},
                             {purgeRequest_.Handle(), POLLIN, 0},
                             {config_.Fd, POLLOUT, 0}};
        if (os.poll(pending, 3, -1) < 0)
            continue;
        if (pending[0].revents)
            break;
        if (pending[1].revents)
            Acknowledge();
        if ((pending[2].revents & (POLLHUP | POLLERR | POLLNVAL)) && !(pending[2].revents & POLLOUT))
            WriteFailed(stop);
    }
}

void TSioCommWriteThread::WriteDone(std::size_t written, std::stop_token stop)
{
    TSioCommWriteQueue& q = *queue_;
    bool empty = false;
    {
        std::lock_guard lock(writeLock_);
        q.Buffer.Remove(written);
        empty = q.Buffer.Count() == 0;
        if (empty)
            q.DataReady.ResetEvent();
        else
            q.DataReady.SetEvent();
        q.Room.notify_all();
    }
    if (empty) {
        TSioComm* owner = &owner_;
        dispatcher_.runOnOwner([owner] { owner->DoTxEmpty(); }, stop);
    }
}

void TSioCommWriteThread::WriteFailed(std::stop_token stop)
{
    TSioComm* owner = &owner_;
    dispatcher_.runOnOwner([owner] { owner->DoWriteError(); }, stop);
    // A dead device fails every try at once: pause before the next one, so the owner is not
    // flooded with reports. Stop and purge end the pause.
    pollfd pause[2] = {{stopEvent_.Handle(), POLLIN, 0}, {purgeRequest_.Handle(), POLLIN, 0}};
    const int timeout = static_cast<int>(std::min<std::uint32_t>(config_.WriteTimeoutMs, 0x7FFFFFFF));
    if (config_.Os->poll(pause, 2, timeout) > 0 && pause[1].revents && !pause[0].revents)
        Acknowledge();
}
