#pragma once

#include "SioCommBuffer.h"
#include "SioObjects.h"
#include "SioTypes.h"
#include "SioUtils.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <stop_token>
#include <thread>
#include <vector>

class OwnerDispatcher;
class SioOsCalls;
class TSioComm;

// The queue of the write thread and what writers wait on. Shared by the thread and by every
// writer that waits for room, so that it outlives the thread when Close ends a wait. All of
// it is guarded by the component's write lock.
class TSioCommWriteQueue {
public:
    enum TResult { Queued, Full, Closed };

    explicit TSioCommWriteQueue(std::size_t capacity) : Buffer(capacity) {}

    // Queues the bytes once they fit, waiting for room within timeoutMs (the bytes are
    // either queued whole or not at all). The caller holds lock, the component's write lock,
    // exactly once; the wait releases it.
    TResult Write(std::unique_lock<TSioCriticalSection>& lock, const void* bytes, std::size_t count,
                  std::uint32_t timeoutMs, const TSioTickSource& tick);

    TSioCommBuffer Buffer;
    std::condition_variable_any Room;   // signalled when bytes leave and on close
    TSioWaitEvent DataReady;            // set while the queue holds bytes to send
    bool PurgePending = false;          // acknowledged, not yet cleared: send nothing meanwhile
    bool IsClosed = false;
};

// Drains the queue into the port. The write runs outside the lock on a copy of the queue, so
// writers never touch the bytes in flight; a descriptor that takes nothing now (EAGAIN) is
// waited for with poll together with stop and purge requests. A purge is acknowledged only
// while nothing is in flight, and nothing is sent between the acknowledgement and the
// clearing of the queue.
class TSioCommWriteThread {
public:
    struct TConfig {
        SioOsCalls* Os = nullptr;
        int Fd = -1;
        std::size_t Capacity = 0;
        std::uint32_t WriteTimeoutMs = 0;   // the pause after a failed write
        TThreadPriority Priority = tpHighest;
    };

    static constexpr std::uint32_t PurgeAckTimeoutMs = 2000;

    TSioCommWriteThread(TSioComm& owner, OwnerDispatcher& dispatcher, TSioCriticalSection& writeLock,
                        const TConfig& config);
    // Stops and joins.
    ~TSioCommWriteThread();
    TSioCommWriteThread(const TSioCommWriteThread&) = delete;
    TSioCommWriteThread& operator=(const TSioCommWriteThread&) = delete;

    const std::shared_ptr<TSioCommWriteQueue>& Queue() const { return queue_; }

    // Empties the queue once the thread has acknowledged (at most 2000 ms); unacknowledged,
    // the queue stays. Called on the caller's thread, under the component's read lock.
    void Purge();
    void Stop();
    void Join();

    TThreadPriority Priority() const { return priority_; }
    void SetPriority(TThreadPriority priority) { priority_ = priority; }

private:
    void Execute(std::stop_token stop);
    void WriteDone(std::size_t written, std::stop_token stop);
    void WriteFailed(std::stop_token stop);
    void Acknowledge();

    TSioComm& owner_;
    OwnerDispatcher& dispatcher_;
    TSioCriticalSection& writeLock_;
    const TConfig config_;
    TThreadPriority priority_;
    std::shared_ptr<TSioCommWriteQueue> queue_;
    std::vector<unsigned char> inFlight_;
    std::stop_source stopSource_;
    TSioWaitEvent stopEvent_;
    TSioWaitEvent purgeRequest_;
    TSioWaitEvent purgeAcknowledge_;
    std::thread thread_;
};
