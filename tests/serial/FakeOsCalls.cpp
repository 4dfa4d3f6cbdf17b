#include "FakeOsCalls.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <linux/serial.h>
#include <sys/ioctl.h>

namespace {

bool fail(const std::atomic<int>& scripted)
{
    const int e = scripted.load();
    if (e == 0)
        return false;
    errno = e;
    return true;
}

} // namespace

int FakeOsCalls::open(const char* path, int flags)
{
    return fail(openErrno) ? -1 : SioOsCalls::open(path, flags);
}

ssize_t FakeOsCalls::read(int fd, void* buffer, std::size_t count)
{
    if (fail(readErrno))
        return -1;
    return SioOsCalls::read(fd, buffer, std::min(count, readLimit.load()));
}

ssize_t FakeOsCalls::write(int fd, const void* buffer, std::size_t count)
{
    ++writeCalls;
    return fail(writeErrno) ? -1 : SioOsCalls::write(fd, buffer, count);
}

int FakeOsCalls::ioctl(int fd, unsigned long request, void* argument)
{
    if (request == FIONREAD && fail(fionreadErrno))
        return -1;
    if (request == TIOCOUTQ) {
        ++outQueueLooks;
        int queued = outQueue.load();
        if (queued >= 0) {
            while (!outQueue.compare_exchange_weak(queued, std::max(queued - outQueueStep.load(), 0))) {
            }
            *static_cast<int*>(argument) = queued;
            return 0;
        }
    }
    if (request == TIOCGICOUNT && frameErrors.load() >= 0) {
        serial_icounter_struct counts {};
        counts.frame = frameErrors.load();
        std::memcpy(argument, &counts, sizeof counts);
        return 0;
    }
    return SioOsCalls::ioctl(fd, request, argument);
}

int FakeOsCalls::tcsetattr(int fd, int action, const termios* settings)
{
    return fail(tcsetattrErrno) ? -1 : SioOsCalls::tcsetattr(fd, action, settings);
}

int FakeOsCalls::tcflush(int fd, int queue)
{
    ++tcflushCalls;
    tcflushQueue = queue;
    return fail(tcflushErrno) ? -1 : SioOsCalls::tcflush(fd, queue);
}
