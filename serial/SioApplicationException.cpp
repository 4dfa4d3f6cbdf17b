#include "SioApplicationException.h"

#include <cstdio>
#include <mutex>

namespace {

std::mutex& hookMutex()
{
    static std::mutex m;
    return m;
}

TSioExceptionHook& hook()
{
    static TSioExceptionHook h;
    return h;
}

void writeToStderr(std::exception_ptr exception)
{
    try {
        std::rethrow_exception(exception);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Exception in a serial port handler: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "Exception in a serial port handler\n");
    }
}

} // namespace

void SetSioExceptionHook(TSioExceptionHook h)
{
    std::lock_guard lock(hookMutex());
    hook() = std::move(h);
}

void SioHandleException(std::exception_ptr exception) noexcept
{
    TSioExceptionHook h;
    {
        std::lock_guard lock(hookMutex());
        h = hook();
    }
    try {
        if (h)
            h(exception);
        else
            writeToStderr(exception);
    } catch (...) {
        // A hook that raises has nowhere to go.
    }
}
