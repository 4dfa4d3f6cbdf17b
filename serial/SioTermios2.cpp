// Kept apart: <asm/termbits.h> defines its own struct termios and cannot share a source
// file with <termios.h>.
#include "SioTermios2.h"

#include "SioOsCalls.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cstring>

namespace {

void toKernel(const SioLineSettings& in, termios2& out)
{
    out.c_iflag = in.iflag;
    out.c_oflag = in.oflag;
    out.c_cflag = in.cflag;
    out.c_lflag = in.lflag;
    out.c_line = in.line;
    static_assert(sizeof out.c_cc <= sizeof in.cc);
    std::memcpy(out.c_cc, in.cc, sizeof out.c_cc);
}

} // namespace

int sioSetLineWithSpeed(SioOsCalls& os, int fd, const SioLineSettings& settings,
                        std::uint32_t speed)
{
    termios2 t {};
    toKernel(settings, t);
    t.c_cflag &= ~(CBAUD | CIBAUD);
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = speed;
    t.c_ospeed = speed;
    return os.ioctl(fd, TCSETS2, &t);
}

