#include "ManualDispatcher.h"

bool ManualDispatcher::runOnOwner(std::function<void()> call, std::stop_token stop)
{
    auto task = std::make_shared<Task>();
    task->call = std::move(call);
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(task);
        ++handedOver_;
    }
    // Declared before the lock below, so that it is destroyed after the lock is released.
    std::stop_callback wake(stop, [this] {
        std::lock_guard lock(mutex_);
        changed_.notify_all();
    });
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return task->state == Task::Done || stop.stop_requested(); });
    if (task->state == Task::Pending)
        task->state = Task::Cancelled;
    return task->state == Task::Done;
}

int ManualDispatcher::pump()
{
    int count = 0;
    for (;;) {
        std::shared_ptr<Task> task;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty())
                break;
            task = queue_.front();
            queue_.pop_front();
            if (task->state != Task::Pending)
                continue;
            task->state = Task::Running;
        }
        task->call();
        {
            std::lock_guard lock(mutex_);
            task->state = Task::Done;
            ++ran_;
        }
        changed_.notify_all();
        ++count;
    }
    return count;
}

bool ManualDispatcher::pumpUntil(const std::function<bool()>& condition,
                                 std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        pump();
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void ManualDispatcher::pumpFor(std::chrono::milliseconds window)
{
    const auto end = std::chrono::steady_clock::now() + window;
    while (std::chrono::steady_clock::now() < end) {
        pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    pump();
}

int ManualDispatcher::handedOver() const
{
    std::lock_guard lock(mutex_);
    return handedOver_;
}

int ManualDispatcher::ran() const
{
    std::lock_guard lock(mutex_);
    return ran_;
}
