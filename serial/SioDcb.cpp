#include "SioDcb.h"

namespace {

constexpr std::int64_t kRates[] = {0,     110,   300,   600,    1200,   2400,   4800,  9600,
                                   14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};

std::uint32_t dtrBits(TSioControlDtr v)
{
    switch (v) {
    case dtrEnabled: return DCB_DtrEnable;
    case dtrHandshake: return DCB_DtrHandshake;
    default: return 0;
    }
}

std::uint32_t rtsBits(TSioControlRts v)
{
    switch (v) {
    case rtsEnabled: return DCB_RtsEnable;
    case rtsHandshake: return DCB_RtsHandshake;
    case rtsToggle: return DCB_RtsToggle;
    default: return 0;
    }
}

} // namespace

std::int64_t SioBaudrateValue(TSioBaudrate baudrate, std::int32_t userBaudrate)
{
    if (baudrate == brUser)
        return userBaudrate;
    return baudrate <= br256000 ? kRates[baudrate] : 0;
}

TSioDcb BuildDcb(const TSioLineConfig& c)
{
    static const TSioFlowControl noFlow;
    static const TSioEventChars defaultChars;
    static const TSioBuffers defaultBuffers;
    const TSioFlowControl& f = c.FlowControl ? *c.FlowControl : noFlow;
    const TSioEventChars& e = c.EventChars ? *c.EventChars : defaultChars;
    const TSioBuffers& b = c.Buffers ? *c.Buffers : defaultBuffers;

    TSioDcb d {};
    // A 32-bit member as the record has it: a negative user rate keeps its bits.
    d.BaudRate = static_cast<std::uint32_t>(SioBaudrateValue(c.Baudrate, c.UserBaudrate));
    d.ByteSize = static_cast<std::uint8_t>(4 + c.Databits);
    d.Parity = static_cast<std::uint8_t>(c.Parity);
    d.StopBits = static_cast<std::uint8_t>(c.Stopbits);
    d.XonChar = e.XonChar();
    d.XoffChar = e.XoffChar();
    d.ErrorChar = e.ErrorChar();
    d.EofChar = e.EofChar();
    d.EvtChar = e.EventChar();
    d.XonLim = static_cast<std::uint16_t>(b.XonLimit() & 0xFFFF);
    d.XoffLim = static_cast<std::uint16_t>(b.XoffLimit() & 0xFFFF);

    std::uint32_t flags = DCB_fBinary;
    if (f.OutCtsFlow())
        flags |= DCB_fOutxCtsFlow;
    if (f.OutDsrFlow())
        flags |= DCB_fOutxDsrFlow;
    if (f.XonXoffOut())
        flags |= DCB_fOutX;
    if (f.XonXoffIn())
        flags |= DCB_fInX;
    flags |= dtrBits(f.ControlDtr());
    flags |= rtsBits(f.ControlRts());
    if (f.DsrSensitivity())
        flags |= DCB_fDsrSensitivity;
    if (f.TxContinueOnXoff())
        flags |= DCB_fTXContinueOnXoff;
    if (c.Options.Contains(coErrorChar))
        flags |= DCB_fErrorChar;
    if (c.Options.Contains(coNullStrip))
        flags |= DCB_fNull;
    if (c.Options.Contains(coParityCheck))
        flags |= DCB_fParity;
    d.Flags = flags;
    return d;
}

speed_t SioPosixSpeed(std::uint32_t rate)
{
    switch (rate) {
    case 110: return B110;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B0;
    }
}

TSioTermiosPlan DcbToTermios(const TSioDcb& d, const termios& base)
{
    TSioTermiosPlan plan;
    termios& t = plan.Settings;
    t = base;
    cfmakeraw(&t);
    t.c_iflag &= ~static_cast<tcflag_t>(INPCK | IXON | IXOFF | IXANY | IGNPAR);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;

    // 4 data bits have no terminal equivalent: CS8 stays.
    switch (d.ByteSize) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    default: t.c_cflag |= CS8; break;
    }

    switch (d.Parity) {
    case DCB_ODDPARITY: t.c_cflag |= PARENB | PARODD; break;
    case DCB_EVENPARITY: t.c_cflag |= PARENB; break;
    case DCB_MARKPARITY: t.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case DCB_SPACEPARITY: t.c_cflag |= PARENB | CMSPAR; break;
    default: break;
    }

    // A UART sends 1.5 stop bits for CSTOPB with 5 data bits; with more there is no 1.5.
    if (d.StopBits == DCB_TWOSTOPBITS || (d.StopBits == DCB_ONE5STOPBITS && d.ByteSize == 5))
        t.c_cflag |= CSTOPB;

    // A bad byte reads as 0 under INPCK alone, which is what an error character of 0 asks.
    if (d.Flags & DCB_fParity)
        t.c_iflag |= INPCK;

    // Hardware flow control is one setting for both directions.
    if ((d.Flags & DCB_fOutxCtsFlow) || (d.Flags & DCB_RtsControlMask) == DCB_RtsHandshake)
        t.c_cflag |= CRTSCTS;

    if (d.Flags & DCB_fOutX)
        t.c_iflag |= IXON;
    if (d.Flags & DCB_fInX)
        t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(d.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(d.XoffChar);

    switch (d.Flags & DCB_DtrControlMask) {
    case 0: plan.Dtr = TSioTermiosPlan::Lower; break;
    case DCB_DtrEnable: plan.Dtr = TSioTermiosPlan::Raise; break;
    default: break;
    }
    switch (d.Flags & DCB_RtsControlMask) {
    case 0: plan.Rts = TSioTermiosPlan::Lower; break;
    case DCB_RtsEnable: plan.Rts = TSioTermiosPlan::Raise; break;
    default: break;
    }

    // The record's rate is a 32-bit member; above INT32_MAX it came from a negative value.
    plan.Speed = d.BaudRate;
    plan.SpeedValid = d.BaudRate != 0 && d.BaudRate <= 0x7FFFFFFFu;
    const speed_t posix = SioPosixSpeed(d.BaudRate);
    if (posix != B0) {
        cfsetispeed(&t, posix);
        cfsetospeed(&t, posix);
    } else {
        plan.CustomSpeed = plan.SpeedValid;
    }
    return plan;
}
