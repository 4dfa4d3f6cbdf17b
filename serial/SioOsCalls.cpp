#include "SioOsCalls.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

int SioOsCalls::open(const char* path, int flags)
{
    return ::open(path, flags);
}

int SioOsCalls::close(int fd)
{
    return ::close(fd);
}

int SioOsCalls::flock(int fd, int operation)
{
    return ::flock(fd, operation);
}

ssize_t SioOsCalls::read(int fd, void* buffer, std::size_t count)
{
    return ::read(fd, buffer, count);
}

ssize_t SioOsCalls::write(int fd, const void* buffer, std::size_t count)
{
    return ::write(fd, buffer, count);
}

int SioOsCalls::poll(pollfd* fds, unsigned long count, int timeoutMs)
{
    return ::poll(fds, static_cast<nfds_t>(count), timeoutMs);
}

int SioOsCalls::ioctl(int fd, unsigned long request, void* argument)
{
    return ::ioctl(fd, request, argument);
}

int SioOsCalls::tcgetattr(int fd, termios* settings)
{
    return ::tcgetattr(fd, settings);
}

int SioOsCalls::tcsetattr(int fd, int action, const termios* settings)
{
    return ::tcsetattr(fd, action, settings);
}

int SioOsCalls::tcflush(int fd, int queue)
{
    return ::tcflush(fd, queue);
}

SioOsCalls& SioOsCalls::real()
{
    static SioOsCalls calls;
    return calls;
}
