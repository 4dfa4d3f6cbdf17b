#include "UiCall.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

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

// Travels with the queued functor. When the functor is destroyed without having run (its
// context was deleted, the event was dropped), the waiting thread is told so.
struct Ticket {
    std::shared_ptr<Pending> pending;
    ~Ticket()
    {
        if (!pending)
            return;
        std::lock_guard lock(pending->mutex);
        if (pending->state == Pending::State::Queued) {
            pending->state = Pending::State::Skipped;
            pending->changed.notify_all();
        }
    }
};

void setState(Pending& p, Pending::State state, std::exception_ptr error = {})
{
    std::lock_guard lock(p.mutex);
    p.state = state;
    p.error = error;
    p.changed.notify_all();
}

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
    auto ticket = std::make_shared<Ticket>();
    ticket->pending = pending;
    const bool queued = QMetaObject::invokeMethod(
        context,
        [ticket, stop, call = std::move(call)]() {
            Pending& p = *ticket->pending;
            {
                std::lock_guard lock(p.mutex);
                if (p.state != Pending::State::Queued)
                    return;
                if (stop.stop_requested()) {
                    p.state = Pending::State::Skipped;
                    p.changed.notify_all();
                    return;
                }
                p.state = Pending::State::Running;
            }
            try {
                call();
                setState(p, Pending::State::Done);
            } catch (...) {
                setState(p, Pending::State::Done, std::current_exception());
            }
        },
        Qt::QueuedConnection);
    ticket.reset();   // from now on only the queued functor holds the ticket
    if (!queued)
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
