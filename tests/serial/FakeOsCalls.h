#pragma once

#include <SioOsCalls.h>

#include <atomic>
#include <cstddef>
#include <limits>

// The real calls, with failures and short reads scripted where a pseudo-terminal cannot
// produce them. An errno of 0 passes the call through.
class FakeOsCalls : public SioOsCalls {
public:
    std::atomic<int> openErrno {0};
    std::atomic<int> readErrno {0};
    std::atomic<int> writeErrno {0};
    std::atomic<int> fionreadErrno {0};
    std::atomic<int> tcflushErrno {0};
    std::atomic<int> tcsetattrErrno {0};
    // From 0 on, TIOCGICOUNT succeeds with this many framing errors and nothing else.
    std::atomic<int> frameErrors {-1};
    // At most this many bytes come from one read.
    std::atomic<std::size_t> readLimit {std::numeric_limits<std::size_t>::max()};
    // From 0 on, TIOCOUTQ reports this many bytes still to go out, and each look takes
    // outQueueStep of them off (0: the line never takes them), as a slow line's queue drains.
    std::atomic<int> outQueue {-1};
    std::atomic<int> outQueueStep {0};

    std::atomic<int> writeCalls {0};
    std::atomic<int> tcflushCalls {0};
    std::atomic<int> tcflushQueue {-1};   // the queue of the last tcflush
    std::atomic<int> outQueueLooks {0};   // TIOCOUTQ calls

    int open(const char* path, int flags) override;
    ssize_t read(int fd, void* buffer, std::size_t count) override;
    ssize_t write(int fd, const void* buffer, std::size_t count) override;
    int ioctl(int fd, unsigned long request, void* argument) override;
    int tcsetattr(int fd, int action, const termios* settings) override;
    int tcflush(int fd, int queue) override;
};
