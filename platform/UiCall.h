#pragma once

#include "OwnerDispatcher.h"

#include <QPointer>

class QObject;

// Runs calls from other threads on the thread of a context object (the user-interface
// thread): the call is queued to that thread's event loop and the calling thread waits for
// it, waking at once when its stop token is triggered. A call whose stop was requested
// before it started never runs. A call made on the context's own thread runs at once.
//
// Never a blocking queued connection, so a window may stop and join a worker from inside
// one of the worker's calls, or while the worker waits, without deadlock. A call that is
// still running when the wait ends on stop must not refer to the waiting thread's locals;
// capture by value. An exception thrown by the call is caught on the UI thread and thrown
// again in the waiting thread. A call dropped unrun (its context destroyed) gives false.
//
//     UiCall ui(&mainWindow);
//     Comm1.setDispatcher(&ui);
class UiCall : public OwnerDispatcher {
public:
    explicit UiCall(QObject* context);
    bool runOnOwner(std::function<void()> call, std::stop_token stop) override;

private:
    QPointer<QObject> context_;
};
