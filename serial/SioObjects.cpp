#include "SioObjects.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <chrono>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

TSioWaitEvent::TSioWaitEvent()
{
    fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd_ < 0)
        throw std::system_error(errno, std::generic_category(), "eventfd");
}

TSioWaitEvent::~TSioWaitEvent()
{
    ::close(fd_);
}

void TSioWaitEvent::SetEvent()
{
    const std::uint64_t one = 1;
    // Fails only when the counter would overflow, and then the event is set anyway.
    [[maybe_unused]] const ssize_t n = ::write(fd_, &one, sizeof one);
}

void TSioWaitEvent::ResetEvent()
{
    std::uint64_t value = 0;
    // One read takes the whole counter; EAGAIN means it was not set.
    [[maybe_unused]] const ssize_t n = ::read(fd_, &value, sizeof value);
}

bool TSioWaitEvent::IsSet() const
{
    pollfd p {fd_, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN) != 0;
}

int TSioWaitEvent::WaitFor(std::uint32_t ms)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        int timeout = -1;
        if (ms != Infinite) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            timeout = static_cast<int>(std::clamp<long long>(left.count(), 0, INT_MAX));
        }
        pollfd p {fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, timeout);
        if (r > 0 && (p.revents & POLLIN))
            return wrSignaled;
        if (r == 0)
            return wrTimeout;
        if (r < 0 && errno == EINTR)
            continue;
        error_ = r < 0 ? errno : EIO;
        return wrError;
    }
}
