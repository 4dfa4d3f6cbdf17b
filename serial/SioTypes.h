#pragma once

#include <cstdint>
#include <initializer_list>

// Enumerations of the serial component with the device values they stand for.

enum TSioBaudrate : std::uint8_t {
    brUser, br110, br300, br600, br1200, br2400, br4800, br9600, br14400, br19200, br38400,
    br56000, br57600, br115200, br128000, br256000
};

enum TSioParity : std::uint8_t { paNone, paOdd, paEven, paMark, paSpace };

enum TSioDatabits : std::uint8_t { db4, db5, db6, db7, db8 };

enum TSioStopbits : std::uint8_t { sb1, sb15, sb2 };

enum TSioCommOption : std::uint8_t { coErrorChar, coNullStrip, coParityCheck };

enum TSioCommEvent : std::uint8_t {
    ceBreak, ceCts, ceDsr, ceError, ceRing, ceRlsd, ceRxChar, ceTxEmpty, ceRxFlag, cePErr,
    ceRx80Full, ceEvent1, ceEvent2
};

enum TSioControlDtr : std::uint8_t { dtrDisabled, dtrEnabled, dtrHandshake };

enum TSioControlRts : std::uint8_t { rtsDisabled, rtsEnabled, rtsHandshake, rtsToggle };

// Stored for the threads; under SCHED_OTHER there is nothing to set.
enum TThreadPriority : std::uint8_t {
    tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical
};

// A set of enumeration members, one bit per member in declaration order.
template <class E, class Bits>
class TSioSet {
public:
    constexpr TSioSet() = default;
    constexpr TSioSet(std::initializer_list<E> members)
    {
        for (E m : members)
            bits_ = static_cast<Bits>(bits_ | bit(m));
    }
    constexpr bool Contains(E m) const { return (bits_ & bit(m)) != 0; }
    constexpr void Include(E m) { bits_ = static_cast<Bits>(bits_ | bit(m)); }
    constexpr void Exclude(E m) { bits_ = static_cast<Bits>(bits_ & ~bit(m)); }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr Bits Raw() const { return bits_; }
    friend constexpr bool operator==(TSioSet, TSioSet) = default;

private:
    static constexpr Bits bit(E m) { return static_cast<Bits>(Bits(1) << static_cast<unsigned>(m)); }
    Bits bits_ = 0;
};

using TSioCommOptions = TSioSet<TSioCommOption, std::uint8_t>;
using TSioCommEvents = TSioSet<TSioCommEvent, std::uint16_t>;

// Event bits of the line (the values the event mask and the handlers use).
inline constexpr std::uint32_t EV_RXCHAR = 0x0001;
inline constexpr std::uint32_t EV_RXFLAG = 0x0002;
inline constexpr std::uint32_t EV_TXEMPTY = 0x0004;
inline constexpr std::uint32_t EV_CTS = 0x0008;
inline constexpr std::uint32_t EV_DSR = 0x0010;
inline constexpr std::uint32_t EV_RLSD = 0x0020;
inline constexpr std::uint32_t EV_BREAK = 0x0040;
inline constexpr std::uint32_t EV_ERR = 0x0080;
inline constexpr std::uint32_t EV_RING = 0x0100;
inline constexpr std::uint32_t EV_PERR = 0x0200;
inline constexpr std::uint32_t EV_RX80FULL = 0x0400;
inline constexpr std::uint32_t EV_EVENT1 = 0x0800;
inline constexpr std::uint32_t EV_EVENT2 = 0x1000;

// The event bit of each member of TSioCommEvent, in member order.
inline constexpr std::uint32_t kSioEventBits[13] = {
    EV_BREAK, EV_CTS, EV_DSR, EV_ERR, EV_RING, EV_RLSD, EV_RXCHAR, EV_TXEMPTY, EV_RXFLAG,
    EV_PERR, EV_RX80FULL, EV_EVENT1, EV_EVENT2
};

// Line-error bits reported by GetComStat.
inline constexpr std::uint32_t CE_RXOVER = 0x0001;
inline constexpr std::uint32_t CE_OVERRUN = 0x0002;
inline constexpr std::uint32_t CE_RXPARITY = 0x0004;
inline constexpr std::uint32_t CE_FRAME = 0x0008;
inline constexpr std::uint32_t CE_BREAK = 0x0010;

// Purge flags.
inline constexpr std::uint32_t PURGE_TXABORT = 0x0001;
inline constexpr std::uint32_t PURGE_RXABORT = 0x0002;
inline constexpr std::uint32_t PURGE_TXCLEAR = 0x0004;
inline constexpr std::uint32_t PURGE_RXCLEAR = 0x0008;

// Flag bits of the device control record.
inline constexpr std::uint32_t DCB_fBinary = 0x0001;
inline constexpr std::uint32_t DCB_fParity = 0x0002;
inline constexpr std::uint32_t DCB_fOutxCtsFlow = 0x0004;
inline constexpr std::uint32_t DCB_fOutxDsrFlow = 0x0008;
inline constexpr std::uint32_t DCB_DtrControlMask = 0x0030;
inline constexpr std::uint32_t DCB_DtrEnable = 0x0010;
inline constexpr std::uint32_t DCB_DtrHandshake = 0x0020;
inline constexpr std::uint32_t DCB_fDsrSensitivity = 0x0040;
inline constexpr std::uint32_t DCB_fTXContinueOnXoff = 0x0080;
inline constexpr std::uint32_t DCB_fOutX = 0x0100;
inline constexpr std::uint32_t DCB_fInX = 0x0200;
inline constexpr std::uint32_t DCB_fErrorChar = 0x0400;
inline constexpr std::uint32_t DCB_fNull = 0x0800;
inline constexpr std::uint32_t DCB_RtsControlMask = 0x3000;
inline constexpr std::uint32_t DCB_RtsEnable = 0x1000;
inline constexpr std::uint32_t DCB_RtsHandshake = 0x2000;
inline constexpr std::uint32_t DCB_RtsToggle = 0x3000;

// Parity and stop-bit values of the device control record.
inline constexpr std::uint8_t DCB_NOPARITY = 0, DCB_ODDPARITY = 1, DCB_EVENPARITY = 2,
                              DCB_MARKPARITY = 3, DCB_SPACEPARITY = 4;
inline constexpr std::uint8_t DCB_ONESTOPBIT = 0, DCB_ONE5STOPBITS = 1, DCB_TWOSTOPBITS = 2;
