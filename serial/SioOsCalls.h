#pragma once

#include <cstddef>
#include <sys/types.h>

struct pollfd;
struct termios;

// The operating-system calls the serial component makes on its device. The base class makes
// the real calls; tests derive from it to script what a pseudo-terminal cannot produce. Every
// call behaves as its system call: -1 with errno set on failure. Calls come from several
// threads at once, so an implementation keeps no unguarded state.
class SioOsCalls {
public:
    virtual ~SioOsCalls() = default;

    virtual int open(const char* path, int flags);
    virtual int close(int fd);
    virtual int flock(int fd, int operation);
    virtual ssize_t read(int fd, void* buffer, std::size_t count);
    virtual ssize_t write(int fd, const void* buffer, std::size_t count);
    virtual int poll(pollfd* fds, unsigned long count, int timeoutMs);
    virtual int ioctl(int fd, unsigned long request, void* argument);
    virtual int tcgetattr(int fd, termios* settings);
    virtual int tcsetattr(int fd, int action, const termios* settings);
    virtual int tcflush(int fd, int queue);

    // The real calls, shared by every component that is given no other.
    static SioOsCalls& real();
};
