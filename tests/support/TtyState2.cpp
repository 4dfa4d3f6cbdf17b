// Apart from every file that includes <termios.h>: <asm/termbits.h> defines its own.
#include "TtyState2.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <sys/ioctl.h>

std::uint32_t readOutputSpeed2(int fd)
{
    termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0)
        throw std::runtime_error(std::string("TCGETS2: ") + std::strerror(errno));
    return t.c_ospeed;
}
