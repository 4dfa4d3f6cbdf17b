#include "UiCall.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>

namespace {

struct Pending {
    enum class State { Queued, Running, Done, Skipped };
    std::mutex mutex;
    std::condition_variable_any changed;
    State state = State::Queued;
    std::exception_ptr error;
};

void setState(Pending& p, Pending::State state, std::exception_ptr error = {})
{
    std::lock_guard lock(p.mutex);
    p.state = state;
    p.error = error;
    p.changed.notify_all();
}

// The functor queued to the UI thread. Qt moves it into its slot object on the waiting
// thread, runs it on the UI thread and destroys it on whichever of the two drops the last
// reference. Qt orders these steps by its own locks and reference counts, which a thread
// checker cannot see in a Qt built without it; the functor states the same order itself:
// the last move releases `handed_`, which the run acquires before it reads anything, and
// the destructor takes the mutex, which the run released after its last use of the functor.
// Destroyed without having run (its context was deleted, the event was dropped), it tells
// the waiting thread so.
class QueuedCall {
public:
    QueuedCall(std::shared_ptr<Pending> pending, std::function<void()> call, std::stop_token stop)
        : pending_(std::move(pending)), call_(std::move(call)), stop_(std::move(stop))
    {
    }
    QueuedCall(QueuedCall&& other) noexcept
        : pending_(std::move(other.pending_)), call_(std::move(other.call_)), stop_(std::move(other.stop_))
    {
        handed_.store(true, std::memory_order_release);
    }
    QueuedCall(const QueuedCall&) = delete;
    QueuedCall& operator=(const QueuedCall&) = delete;
    QueuedCall& operator=(QueuedCall&&) = delete;

    ~QueuedCall()
    {
        static_cast<void>(handed_.load(std::memory_order_acquire));
        if (!pending_)
            return;   // moved from
        std::lock_guard lock(pending_->mutex);
        if (pending_->state == Pending::State::Queued) {
            pending_->state = Pending::State::Skipped;
            pending_->changed.notify_all();
        }
    }

    void operator()() const
    {
        static_cast<void>(handed_.load(std::memory_order_acquire));
        Pending& p = *pending_;
        {
            std::lock_guard lock(p.mutex);
            if (p.state != Pending::State::Queued)
                return;
            if (stop_.stop_requested()) {
                p.state = Pending::State::Skipped;
                p.changed.notify_all();
                return;
            }
            p.state = Pending::State::Running;
        }
        try {
            call_();
            setState(p, Pending::State::Done);
        } catch (...) {
            setState(p, Pending::State::Done, std::current_exception());
        }
    }

private:
    std::shared_ptr<Pending> pending_;
    std::function<void()> call_;
    std::stop_token stop_;
    std::atomic<bool> handed_{false};
};

} // namespace

UiCall::UiCall(QObject* context) : context_(context)
{
    Q_ASSERT(context);
}

bool UiCall::runOnOwner(std::function<void()> call, std::stop_token stop)
{
    QObject* context = context_.data();
    if (!context || stop.stop_requested())
        return false;
    if (QThread::currentThread() == context->thread()) {
        call();
        return true;
    }

    auto pending = std::make_shared<Pending>();
    if (!QMetaObject::invokeMethod(context, QueuedCall(pending, std::move(call), stop),
                                   Qt::QueuedConnection))
        return false;

    std::unique_lock lock(pending->mutex);
    pending->changed.wait(lock, stop, [&] {
        return pending->state == Pending::State::Done || pending->state == Pending::State::Skipped;
    });
    switch (pending->state) {
    case Pending::State::Done:
        if (pending->error)
            std::rethrow_exception(pending->error);
        return true;
    case Pending::State::Queued:
        pending->state = Pending::State::Skipped;   // stopped before it started: it never runs
        return false;
    case Pending::State::Running:   // stopped while running: the call finishes on its own
    case Pending::State::Skipped:
        break;
    }
    return false;
}
