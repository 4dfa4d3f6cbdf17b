// The pure parts of the serial component: the device record, its termios form, the property
// objects' notifications, device and port names, messages, the tick and the write queue.
#include "SerialTestUtil.h"

#include <ManualDispatcher.h>
#include <SioComm.h>
#include <SioCommBuffer.h>
#include <SioCommError.h>
#include <SioDcb.h>
#include <SioObjects.h>
#include <SioPortName.h>
#include <SioUtils.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

namespace {

struct DcbCase {
    const char* name;
    std::function<void(TSioComm&)> set;
    std::function<void(TSioDcb&)> expect;   // applied to the record of the defaults
};

TSioDcb defaultRecord()
{
    TSioDcb d;
    d.BaudRate = 1200;
    d.Flags = 0x0001;
    d.XonLim = 1024;
    d.XoffLim = 1024;
    d.ByteSize = 8;
    d.XonChar = 17;
    d.XoffChar = 19;
    return d;
}

} // namespace

TEST(SioDcbRecord, EachPropertyReachesItsField)
{
    const DcbCase cases[] = {
        {"defaults", [](TSioComm&) {}, [](TSioDcb&) {}},
        {"OutCtsFlow", [](TSioComm& c) { c.FlowControl().SetOutCtsFlow(true); }, [](TSioDcb& d) { d.Flags = 0x0005; }},
        {"OutDsrFlow", [](TSioComm& c) { c.FlowControl().SetOutDsrFlow(true); }, [](TSioDcb& d) { d.Flags = 0x0009; }},
        {"dtrEnabled", [](TSioComm& c) { c.FlowControl().SetControlDtr(dtrEnabled); }, [](TSioDcb& d) { d.Flags = 0x0011; }},
        {"dtrHandshake", [](TSioComm& c) { c.FlowControl().SetControlDtr(dtrHandshake); }, [](TSioDcb& d) { d.Flags = 0x0021; }},
        {"DsrSensitivity", [](TSioComm& c) { c.FlowControl().SetDsrSensitivity(true); }, [](TSioDcb& d) { d.Flags = 0x0041; }},
        {"TxContinueOnXoff", [](TSioComm& c) { c.FlowControl().SetTxContinueOnXoff(true); }, [](TSioDcb& d) { d.Flags = 0x0081; }},
        {"XonXoffOut", [](TSioComm& c) { c.FlowControl().SetXonXoffOut(true); }, [](TSioDcb& d) { d.Flags = 0x0101; }},
        {"XonXoffIn", [](TSioComm& c) { c.FlowControl().SetXonXoffIn(true); }, [](TSioDcb& d) { d.Flags = 0x0201; }},
        {"rtsEnabled", [](TSioComm& c) { c.FlowControl().SetControlRts(rtsEnabled); }, [](TSioDcb& d) { d.Flags = 0x1001; }},
        {"rtsHandshake", [](TSioComm& c) { c.FlowControl().SetControlRts(rtsHandshake); }, [](TSioDcb& d) { d.Flags = 0x2001; }},
        {"rtsToggle", [](TSioComm& c) { c.FlowControl().SetControlRts(rtsToggle); }, [](TSioDcb& d) { d.Flags = 0x3001; }},
        {"coErrorChar", [](TSioComm& c) { c.SetOptions({coErrorChar}); }, [](TSioDcb& d) { d.Flags = 0x0401; }},
        {"coNullStrip", [](TSioComm& c) { c.SetOptions({coNullStrip}); }, [](TSioDcb& d) { d.Flags = 0x0801; }},
        {"coParityCheck", [](TSioComm& c) { c.SetOptions({coParityCheck}); }, [](TSioDcb& d) { d.Flags = 0x0003; }},
        {"all options", [](TSioComm& c) { c.SetOptions({coErrorChar, coNullStrip, coParityCheck}); },
         [](TSioDcb& d) { d.Flags = 0x0C03; }},
        {"paOdd", [](TSioComm& c) { c.SetParity(paOdd); }, [](TSioDcb& d) { d.Parity = 1; }},
        {"paEven", [](TSioComm& c) { c.SetParity(paEven); }, [](TSioDcb& d) { d.Parity = 2; }},
        {"paMark", [](TSioComm& c) { c.SetParity(paMark); }, [](TSioDcb& d) { d.Parity = 3; }},
        {"paSpace", [](TSioComm& c) { c.SetParity(paSpace); }, [](TSioDcb& d) { d.Parity = 4; }},
        {"db4", [](TSioComm& c) { c.SetDatabits(db4); }, [](TSioDcb& d) { d.ByteSize = 4; }},
        {"db5", [](TSioComm& c) { c.SetDatabits(db5); }, [](TSioDcb& d) { d.ByteSize = 5; }},
        {"db7", [](TSioComm& c) { c.SetDatabits(db7); }, [](TSioDcb& d) { d.ByteSize = 7; }},
        {"sb15", [](TSioComm& c) { c.SetStopbits(sb15); }, [](TSioDcb& d) { d.StopBits = 1; }},
        {"sb2", [](TSioComm& c) { c.SetStopbits(sb2); }, [](TSioDcb& d) { d.StopBits = 2; }},
        {"EofChar 26", [](TSioComm& c) { c.EventChars().SetEofChar(26); }, [](TSioDcb& d) { d.EofChar = 26; }},
        {"EventChar", [](TSioComm& c) { c.EventChars().SetEventChar('\n'); }, [](TSioDcb& d) { d.EvtChar = '\n'; }},
        {"ErrorChar", [](TSioComm& c) { c.EventChars().SetErrorChar('?'); }, [](TSioDcb& d) { d.ErrorChar = '?'; }},
        {"XonChar XoffChar", [](TSioComm& c) { c.EventChars().SetXonChar('Q'); c.EventChars().SetXoffChar('S'); },
         [](TSioDcb& d) { d.XonChar = 'Q'; d.XoffChar = 'S'; }},
        {"XonLimit low 16 bits", [](TSioComm& c) { c.Buffers().SetXonLimit(0x12345); },
         [](TSioDcb& d) { d.XonLim = 0x2345; }},
        {"XoffLimit low 16 bits", [](TSioComm& c) { c.Buffers().SetXoffLimit(0x7FFF0001); },
         [](TSioDcb& d) { d.XoffLim = 0x0001; }},
        {"brUser takes UserBaudrate", [](TSioComm& c) { c.SetUserBaudrate(31250); },
         [](TSioDcb& d) { d.BaudRate = 31250; }},
    };
    for (const DcbCase& k : cases) {
        SCOPED_TRACE(k.name);
        ManualDispatcher owner;
        TSioComm comm(owner);
        k.set(comm);
        TSioDcb expected = defaultRecord();
        k.expect(expected);
        EXPECT_EQ(comm.BuildDcb(), expected);
    }
}

TEST(SioDcbRecord, EveryRateMemberGivesTheNumberInItsName)
{
    const std::pair<TSioBaudrate, std::uint32_t> rates[] = {
        {br110, 110},       {br300, 300},       {br600, 600},       {br1200, 1200},     {br2400, 2400},
        {br4800, 4800},     {br9600, 9600},     {br14400, 14400},   {br19200, 19200},   {br38400, 38400},
        {br56000, 56000},   {br57600, 57600},   {br115200, 115200}, {br128000, 128000}, {br256000, 256000}};
    ManualDispatcher owner;
    TSioComm comm(owner);
    comm.SetUserBaudrate(777);
    for (const auto& [member, rate] : rates) {
        comm.SetBaudrate(member);
        EXPECT_EQ(comm.BuildDcb().BaudRate, rate);
        EXPECT_EQ(comm.UserBaudrate(), 0);
    }
    comm.SetUserBaudrate(4800);
    EXPECT_EQ(comm.Baudrate(), brUser);
    comm.SetBaudrate(brUser);
    EXPECT_EQ(comm.UserBaudrate(), 4800) << "brUser keeps the user's rate";
}

namespace {

termios cookedBase()
{
    termios t {};
    t.c_iflag = ICRNL | IXON | IXANY | ISTRIP | INLCR | IGNCR | BRKINT | INPCK | IGNPAR;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ICANON | ECHO | ECHOE | ISIG | IEXTEN;
    t.c_cflag = CS7 | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 5;
    cfsetispeed(&t, B38400);
    cfsetospeed(&t, B38400);
    return t;
}

TSioTermiosPlan planFor(const std::function<void(TSioComm&)>& set)
{
    ManualDispatcher owner;
    TSioComm comm(owner);
    set(comm);
    return DcbToTermios(comm.BuildDcb(), cookedBase());
}

} // namespace

TEST(SioTermios, DefaultsGiveRawEightBitsWithoutParity)
{
    const TSioTermiosPlan p = planFor([](TSioComm&) {});
    const termios& t = p.Settings;
    // 0D must not become 0A, 11 and 13 must not be swallowed, nothing may be echoed.
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | IXANY | ISTRIP | INPCK | BRKINT), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);
    EXPECT_EQ(t.c_cc[VSTART], 17);
    EXPECT_EQ(t.c_cc[VSTOP], 19);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B1200));
    EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B1200));
    EXPECT_FALSE(p.CustomSpeed);
    EXPECT_TRUE(p.SpeedValid);
    EXPECT_EQ(p.Dtr, TSioTermiosPlan::Lower);
    EXPECT_EQ(p.Rts, TSioTermiosPlan::Lower);
}

TEST(SioTermios, DataBitsParityAndStopBits)
{
    struct Case {
        TSioDatabits bits;
        TSioParity parity;
        TSioStopbits stop;
        tcflag_t size;
        tcflag_t parityFlags;
        bool cstopb;
    };
    const Case cases[] = {
        {db5, paNone, sb1, CS5, 0, false},
        {db6, paNone, sb1, CS6, 0, false},
        {db7, paNone, sb1, CS7, 0, false},
        {db8, paNone, sb1, CS8, 0, false},
        {db4, paNone, sb1, CS8, 0, false},   // no 4-bit characters: CS8 stays
        {db8, paOdd, sb1, CS8, PARENB | PARODD, false},
        {db8, paEven, sb1, CS8, PARENB, false},
        {db8, paMark, sb1, CS8, PARENB | PARODD | CMSPAR, false},
        {db8, paSpace, sb1, CS8, PARENB | CMSPAR, false},
        {db8, paNone, sb2, CS8, 0, true},
        {db7, paEven, sb2, CS7, PARENB, true},
        {db5, paNone, sb15, CS5, 0, true},   // a UART sends 1.5 stop bits for this
        {db6, paNone, sb15, CS6, 0, false},
        {db8, paNone, sb15, CS8, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "bits " << int(c.bits) << " parity " << int(c.parity)
                                        << " stop " << int(c.stop));
        const TSioTermiosPlan p = planFor([&](TSioComm& comm) {
            comm.SetDatabits(c.bits);
            comm.SetParity(c.parity);
            comm.SetStopbits(c.stop);
        });
        EXPECT_EQ(p.Settings.c_cflag & CSIZE, c.size);
        EXPECT_EQ(p.Settings.c_cflag & (PARENB | PARODD | CMSPAR), c.parityFlags);
        EXPECT_EQ((p.Settings.c_cflag & CSTOPB) != 0, c.cstopb);
    }
}

TEST(SioTermios, FlowControlAndParityCheck)
{
    struct Case {
        const char* name;
        std::function<void(TSioComm&)> set;
        tcflag_t iflag;   // of INPCK, IXON, IXOFF
        bool crtscts;
        TSioTermiosPlan::TLine dtr;
        TSioTermiosPlan::TLine rts;
    };
    using L = TSioTermiosPlan;
    const Case cases[] = {
        {"coParityCheck", [](TSioComm& c) { c.SetOptions({coParityCheck}); }, INPCK, false, L::Lower, L::Lower},
        {"OutCtsFlow", [](TSioComm& c) { c.FlowControl().SetOutCtsFlow(true); }, 0, true, L::Lower, L::Lower},
        {"rtsHandshake", [](TSioComm& c) { c.FlowControl().SetControlRts(rtsHandshake); }, 0, true, L::Lower, L::Keep},
        {"OutDsrFlow", [](TSioComm& c) { c.FlowControl().SetOutDsrFlow(true); }, 0, false, L::Lower, L::Lower},
        {"XonXoffOut", [](TSioComm& c) { c.FlowControl().SetXonXoffOut(true); }, IXON, false, L::Lower, L::Lower},
        {"XonXoffIn", [](TSioComm& c) { c.FlowControl().SetXonXoffIn(true); }, IXOFF, false, L::Lower, L::Lower},
        {"dtrEnabled rtsEnabled",
         [](TSioComm& c) {
             c.FlowControl().SetControlDtr(dtrEnabled);
             c.FlowControl().SetControlRts(rtsEnabled);
         },
         0, false, L::Raise, L::Raise},
        {"dtrHandshake rtsToggle",
         [](TSioComm& c) {
             c.FlowControl().SetControlDtr(dtrHandshake);
             c.FlowControl().SetControlRts(rtsToggle);
         },
         0, false, L::Keep, L::Keep},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TSioTermiosPlan p = planFor(c.set);
        EXPECT_EQ(p.Settings.c_iflag & (INPCK | IXON | IXOFF), c.iflag);
        EXPECT_EQ((p.Settings.c_cflag & CRTSCTS) != 0, c.crtscts);
        EXPECT_EQ(p.Dtr, c.dtr);
        EXPECT_EQ(p.Rts, c.rts);
    }
    const TSioTermiosPlan p = planFor([](TSioComm& c) {
        c.EventChars().SetXonChar('a');
        c.EventChars().SetXoffChar('b');
    });
    EXPECT_EQ(p.Settings.c_cc[VSTART], 'a');
    EXPECT_EQ(p.Settings.c_cc[VSTOP], 'b');
}

TEST(SioTermios, PosixRatesAgainstOtherSpeeds)
{
    const std::pair<TSioBaudrate, speed_t> posix[] = {
        {br110, B110},     {br300, B300},     {br600, B600},     {br1200, B1200},   {br2400, B2400},   {br4800, B4800},
        {br9600, B9600},   {br19200, B19200}, {br38400, B38400}, {br57600, B57600}, {br115200, B115200}};
    for (const auto& [member, constant] : posix) {
        const TSioTermiosPlan p = planFor([&](TSioComm& c) { c.SetBaudrate(member); });
        EXPECT_FALSE(p.CustomSpeed) << int(member);
        EXPECT_EQ(cfgetospeed(&p.Settings), constant) << int(member);
        EXPECT_EQ(cfgetispeed(&p.Settings), constant) << int(member);
    }
    const std::pair<std::function<void(TSioComm&)>, std::uint32_t> other[] = {
        {[](TSioComm& c) { c.SetBaudrate(br14400); }, 14400},
        {[](TSioComm& c) { c.SetBaudrate(br56000); }, 56000},
        {[](TSioComm& c) { c.SetBaudrate(br128000); }, 128000},
        {[](TSioComm& c) { c.SetBaudrate(br256000); }, 256000},
        {[](TSioComm& c) { c.SetUserBaudrate(31250); }, 31250},
    };
    for (const auto& [set, rate] : other) {
        const TSioTermiosPlan p = planFor(set);
        EXPECT_TRUE(p.CustomSpeed) << rate;
        EXPECT_TRUE(p.SpeedValid) << rate;
        EXPECT_EQ(p.Speed, rate);
    }
    for (std::int32_t bad : {0, -1, -9600}) {
        const TSioTermiosPlan p = planFor([&](TSioComm& c) { c.SetUserBaudrate(bad); });
        EXPECT_FALSE(p.SpeedValid) << bad;
        EXPECT_FALSE(p.CustomSpeed) << bad;
    }
}

TEST(SioPersistent, UpdateBracketsAndAssignReportOnce)
{
    int reports = 0;
    TSioFlowControl f;
    f.SetOnChange([&](TSioPersistent& sender) {
        EXPECT_EQ(&sender, &f);
        ++reports;
    });
    f.SetXonXoffOut(true);
    EXPECT_EQ(reports, 1);
    f.SetXonXoffOut(true);
    EXPECT_EQ(reports, 1) << "an unchanged value reports nothing";
    f.BeginUpdate();
    f.BeginUpdate();
    f.SetOutCtsFlow(true);
    f.SetControlRts(rtsHandshake);
    f.EndUpdate();
    EXPECT_EQ(reports, 1) << "the inner EndUpdate reports nothing";
    f.EndUpdate();
    EXPECT_EQ(reports, 2);
    f.EndUpdate();   // not in a bracket: the count stays 0
    EXPECT_EQ(f.UpdateCount(), 0);
    reports = 0;

    TSioFlowControl source;
    source.SetOutDsrFlow(true);
    source.SetControlDtr(dtrEnabled);
    source.SetXonXoffIn(true);
    source.SetDsrSensitivity(true);
    source.SetTxContinueOnXoff(true);
    f.Assign(source);
    EXPECT_EQ(reports, 1);
    EXPECT_FALSE(f.OutCtsFlow());
    EXPECT_TRUE(f.OutDsrFlow());
    EXPECT_EQ(f.ControlDtr(), dtrEnabled);
    EXPECT_EQ(f.ControlRts(), rtsDisabled);
    EXPECT_FALSE(f.XonXoffOut());
    EXPECT_TRUE(f.XonXoffIn());
    EXPECT_TRUE(f.DsrSensitivity());
    EXPECT_TRUE(f.TxContinueOnXoff());

    int charReports = 0;
    TSioEventChars e;
    e.SetOnChange([&](TSioPersistent&) { ++charReports; });
    e.SetXonChar(17);
    e.SetXonChar(17);
    EXPECT_EQ(charReports, 2) << "every set reports, also of the value held";
    TSioEventChars other;
    other.SetEofChar(26);
    other.SetErrorChar('!');
    e.Assign(other);
    EXPECT_EQ(charReports, 3);
    EXPECT_EQ(e.EofChar(), 26);
    EXPECT_EQ(e.ErrorChar(), '!');
    EXPECT_EQ(e.EventChar(), 0);

    int bufferReports = 0;
    TSioBuffers b;
    b.SetOnChange([&](TSioPersistent&) { ++bufferReports; });
    b.SetReadTimeout(5);
    b.SetWriteTimeout(6);
    EXPECT_EQ(bufferReports, 0) << "time-outs are plain values";
    b.SetReadSize(100);
    EXPECT_EQ(bufferReports, 1);
    TSioBuffers sb;
    sb.SetWriteSize(77);
    sb.SetWriteTimeout(88);
    b.Assign(sb);
    EXPECT_EQ(bufferReports, 2);
    EXPECT_EQ(b.ReadSize(), 4096);
    EXPECT_EQ(b.WriteSize(), 77);
    EXPECT_EQ(b.WriteTimeout(), 88);
    EXPECT_EQ(b.ReadTimeout(), 1000);
}

TEST(SioNames, DeviceNameTakesPortNumAsDataOnly)
{
    const struct {
        const char* format;
        int port;
        const char* expected;
    } cases[] = {
        {"COM%d", 10, "COM10"},
        {"/dev/pts/3", 10, "/dev/pts/3"},
        {"port%s%d", 10, "port%s10"},
        {"%d%d", 7, "7%d"},
        {"%x%n%d", 0, "%x%n0"},
        {"", 1, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SioFormatDeviceName(c.format, c.port), c.expected) << c.format;
        ManualDispatcher owner;
        TSioComm comm(owner);
        comm.SetDeviceName(c.format);
        comm.SetPortNum(c.port);
        EXPECT_EQ(comm.GetDeviceName(), c.expected) << c.format;
    }
}

TEST(SioNames, PortNamesResolveToLinksOrSerialDevices)
{
    TempFolder dir;
    const auto ports = dir.path() / "ports";
    std::filesystem::create_directories(ports);
    std::ofstream(dir.path() / "device").put('x');
    std::filesystem::create_symlink(dir.path() / "device", ports / "COM1");
    std::filesystem::create_symlink(dir.path() / "gone", ports / "COM2");

    EXPECT_EQ(ResolveSerialPortName("COM1", ports), (ports / "COM1").string());
    EXPECT_EQ(ResolveSerialPortName("COM2", ports), (ports / "COM2").string())
        << "a dangling link still names the chosen port";
    EXPECT_EQ(ResolveSerialPortName("COM3", ports), "/dev/ttyS2");
    EXPECT_EQ(ResolveSerialPortName("COM1", {}), "/dev/ttyS0");
    EXPECT_EQ(ResolveSerialPortName("COM30", ports), "/dev/ttyS29");
    EXPECT_EQ(ResolveSerialPortName("/dev/pts/7", ports), "/dev/pts/7");
    // The letters in any case: the link is the one of the upper-case name.
    EXPECT_EQ(ResolveSerialPortName("com1", ports), (ports / "COM1").string());
    EXPECT_EQ(ResolveSerialPortName("Com2", ports), (ports / "COM2").string());
    EXPECT_EQ(ResolveSerialPortName("cOm3", ports), "/dev/ttyS2");
    for (const char* none : {"COM0", "xyz", "COM", "COM1x", "COM-1", "COM01", "COM 1", "com01", "",
                             "COM99999999999", "dev/ttyS0", "CPM1", "con1"})
        EXPECT_FALSE(ResolveSerialPortName(none, ports).has_value()) << '"' << none << '"';
}

TEST(SioMessages, CodesAndTextsFillTheFixedFormat)
{
    EXPECT_EQ(SioCommMessage("Error writing dcb (%d), %s", 22), "Error writing dcb (22), Invalid argument");
    EXPECT_EQ(SioCommMessage(" Error setting EventMask (%d), %s", 5),
              " Error setting EventMask (5), Input/output error");
    EXPECT_EQ(SioCommMessage("Output buffer is full. Please check comm status.", 5),
              "Output buffer is full. Please check comm status.");
    EXPECT_EQ(SioFillMessage("Specified device not found (%s).", {"/tmp/a%sb%d"}),
              "Specified device not found (/tmp/a%sb%d).");
    EXPECT_EQ(SioFillMessage("Can't open specified device %s (Error %d, %s)", {"/x%d", "11", "t%s"}),
              "Can't open specified device /x%d (Error 11, t%s)");
    EXPECT_EQ(SioErrorText(EAGAIN), "Resource temporarily unavailable");
    const ESioCommError e("m");
    const std::runtime_error& base = e;
    EXPECT_STREQ(base.what(), "m");
}

TEST(SioTick, TimeoutAcrossTheWrap)
{
    std::uint32_t now = 0xFFFFFFF0u;
    TSioTimeout t;
    t.Tick = [&] { return now; };
    TimeoutStart(t, 0x20);
    EXPECT_EQ(t.Start, 0xFFFFFFF0u);
    const std::pair<std::uint32_t, bool> steps[] = {
        {0xFFFFFFF0u, false}, {0xFFFFFFFFu, false}, {0x00000000u, false},
        {0x00000010u, false}, {0x00000011u, true},  {0x00001000u, true}};
    for (const auto& [tick, expired] : steps) {
        now = tick;
        EXPECT_EQ(TimeoutExpired(t), expired) << std::hex << tick;
    }
    now = 0x10;
    EXPECT_EQ(TimeoutRemaining(t), 1u);
    now = 0x11;
    EXPECT_EQ(TimeoutRemaining(t), 0u);

    now = 1000;
    TimeoutStart(t, 0);
    EXPECT_FALSE(TimeoutExpired(t));
    now = 1001;
    EXPECT_TRUE(TimeoutExpired(t));

    const std::uint32_t a = SioMonotonicTick();
    const std::uint32_t b = SioMonotonicTick();
    EXPECT_LT(static_cast<std::uint32_t>(b - a), 1000u) << "a millisecond count that moves forward";
}

TEST(SioCommBuffer, FillsAtTheBackAndDrainsFromTheFront)
{
    TSioCommBuffer q(8);
    EXPECT_TRUE(q.Append("abcde", 5));
    EXPECT_FALSE(q.Append("wxyz", 4)) << "one byte too many";
    EXPECT_EQ(q.Count(), 5u);
    EXPECT_TRUE(q.Append("fgh", 3));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(q.Data()), q.Count()), "abcdefgh");
    q.Remove(3);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(q.Data()), q.Count()), "defgh");
    EXPECT_TRUE(q.Append("XYZ", 3));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(q.Data()), q.Count()), "defghXYZ");
    q.Remove(100);
    EXPECT_EQ(q.Count(), 0u);
    EXPECT_TRUE(q.Append("12345678", 8));
    q.Clear();
    EXPECT_EQ(q.Room(), 8u);
}

TEST(SioWaitEvent, ManualResetEvent)
{
    TSioWaitEvent e;
    EXPECT_EQ(e.WaitFor(0), TSioWaitEvent::wrTimeout);
    e.SetEvent();
    e.SetEvent();
    EXPECT_EQ(e.WaitFor(0), TSioWaitEvent::wrSignaled);
    EXPECT_EQ(e.WaitFor(TSioWaitEvent::Infinite), TSioWaitEvent::wrSignaled) << "stays set until reset";
    e.ResetEvent();
    EXPECT_FALSE(e.IsSet());
    EXPECT_EQ(e.WaitFor(5), TSioWaitEvent::wrTimeout);
}
