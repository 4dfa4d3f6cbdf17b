#pragma once

#include "SioPrst.h"
#include "SioTypes.h"

#include <cstdint>
#include <termios.h>

// The device control record: the whole line state as the component describes it.
struct TSioDcb {
    std::uint32_t BaudRate = 0;
    std::uint32_t Flags = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;
    std::uint8_t StopBits = 0;
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;

    friend bool operator==(const TSioDcb&, const TSioDcb&) = default;
};

// The component's line settings, as BuildDcb takes them.
struct TSioLineConfig {
    TSioBaudrate Baudrate = br1200;
    std::int32_t UserBaudrate = 0;
    TSioParity Parity = paNone;
    TSioDatabits Databits = db8;
    TSioStopbits Stopbits = sb1;
    TSioCommOptions Options;
    const TSioFlowControl* FlowControl = nullptr;   // none: all off
    const TSioEventChars* EventChars = nullptr;     // none: the defaults
    const TSioBuffers* Buffers = nullptr;           // none: the defaults
};

// The rate in bits per second of a TSioBaudrate member; brUser takes userBaudrate.
std::int64_t SioBaudrateValue(TSioBaudrate baudrate, std::int32_t userBaudrate);

// Fills a zeroed record from the settings; fBinary is always set.
TSioDcb BuildDcb(const TSioLineConfig& config);

// What writing a record to a terminal takes.
struct TSioTermiosPlan {
    termios Settings {};        // the flags and characters; the speed too when POSIX has it
    bool CustomSpeed = false;   // the speed goes through termios2 (BOTHER)
    std::uint32_t Speed = 0;
    bool SpeedValid = true;     // false: 0 or negative, which would hang up the line
    enum TLine { Keep, Raise, Lower };
    TLine Dtr = Keep;
    TLine Rts = Keep;
};

// The termios form of a record, starting from the device's current settings (what the
// record does not describe stays as base holds it): raw mode, CLOCAL|CREAD, VMIN 0, VTIME 0.
TSioTermiosPlan DcbToTermios(const TSioDcb& dcb, const termios& base);

// The POSIX speed constant for a rate, or B0 when POSIX has none for it.
speed_t SioPosixSpeed(std::uint32_t rate);
