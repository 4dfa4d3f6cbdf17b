#pragma once

#include <functional>
#include <stop_token>

// Hands a call to the thread that owns an object (the user-interface thread in the
// program) and waits for it. A background thread uses this to run its notifications where
// the owner lives.
class OwnerDispatcher {
public:
    virtual ~OwnerDispatcher() = default;
    // Runs call on the owner's thread and returns true once it has run there. When stop is
    // requested before the call has started, returns false and the call never runs later.
    // Once started, the call runs to its end; the wait for it still ends on stop, so an owner
    // that stops and joins the calling thread from inside the call cannot deadlock.
    virtual bool runOnOwner(std::function<void()> call, std::stop_token stop) = 0;
};
