#include "TtyState.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <unistd.h>

namespace {

[[noreturn]] void fail(const char* what)
{
    throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

} // namespace

termios readTermios(int fd)
{
    termios t {};
    if (tcgetattr(fd, &t) != 0)
        fail("tcgetattr");
    return t;
}

LockHolder::LockHolder(const std::string& path)
{
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        fail("open");
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0)
        fail("flock");
}

LockHolder::~LockHolder()
{
    release();
}

void LockHolder::release()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}
