// The serial component on a pseudo-terminal: opening, configuring, reading, writing, purging,
// and every failure message, through the fake system calls where a pty cannot fail.
#include "FakeOsCalls.h"
#include "SerialTestUtil.h"

#include <ManualDispatcher.h>
#include <PtyPair.h>
#include <SioComm.h>
#include <TtyState.h>
#include <WaitUntil.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>
#include <poll.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

std::string allBytes()
{
    std::string s;
    for (int b = 0; b < 256; ++b)
        s.push_back(static_cast<char>(b));
    return s;
}

std::string messageOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const ESioCommError& e) {
        return e.what();
    }
    return "(nothing raised)";
}

speed_t slaveSpeed(const PtyPair& pty)
{
    const termios t = readTermios(pty.slaveFd());
    return cfgetospeed(&t);
}

// The line's output is stopped (XOFF seen): the slave has no room to write.
bool outputStopped(const PtyPair& pty)
{
    pollfd p {pty.slaveFd(), POLLOUT, 0};
    return ::poll(&p, 1, 0) == 0;
}

class SioPort : public ::testing::Test {
protected:
    SioPort() : comm(owner, &os)
    {
        comm.SetDeviceName(pty.slavePath());
        comm.SetDirectWrite(true);
    }

    FakeOsCalls os;
    ManualDispatcher owner;
    PtyPair pty;
    TSioComm comm;
};

} // namespace

TEST_F(SioPort, OpensThroughThePortsLinkAndByPath)
{
    TempFolder dir;
    pty.linkAs(dir.path() / "ports" / "COM1");
    comm.SetPortsFolder(dir.path() / "ports");
    comm.SetDeviceName("COM%d");
    comm.SetPortNum(1);
    comm.Open();
    ASSERT_TRUE(comm.Active());
    EXPECT_GE(comm.Handle(), 0);
    EXPECT_TRUE(comm.WriteText("\x10\x7B\x01\x7C\x16"));
    EXPECT_EQ(pty.readMaster(5, 10s), "\x10\x7B\x01\x7C\x16");
    comm.Close();
    EXPECT_EQ(comm.Handle(), -1);

    comm.SetDeviceName(pty.slavePath());
    comm.Open();
    EXPECT_TRUE(comm.WriteText("\x0D\x11\x13\x03"));
    EXPECT_EQ(pty.readMaster(4, 10s), "\x0D\x11\x13\x03");
}

TEST_F(SioPort, EveryByteValuePassesBothWays)
{
    comm.Open();
    const std::string all = allBytes();
    ASSERT_TRUE(comm.WriteText(all));
    EXPECT_EQ(pty.readMaster(all.size(), 10s), all);
    pty.writeMaster(all);
    ASSERT_TRUE(waitUntil([&] { return comm.InQueCount() == 256; }));
    EXPECT_EQ(comm.ReadText(), all);
    EXPECT_EQ(pty.drainMaster(), "") << "nothing echoed";
}

TEST_F(SioPort, OpenOnAnOpenPortRaisesAndKeepsItOpen)
{
    comm.Open();
    const int fd = comm.Handle();
    EXPECT_EQ(messageOf([&] { comm.Open(); }), "Can't perform this operation while port is open");
    EXPECT_EQ(comm.Handle(), fd);
    EXPECT_TRUE(comm.WriteText("ok"));
    EXPECT_EQ(pty.readMaster(2, 10s), "ok");
}

TEST_F(SioPort, MissingDevicesAreNotFound)
{
    for (const char* name : {"/dev/nonexistent", "xyz", "COM0"}) {
        comm.SetDeviceName(name);
        EXPECT_EQ(messageOf([&] { comm.Open(); }), std::string("Specified device not found (") + name + ").");
        EXPECT_EQ(comm.Handle(), -1);
    }
}

TEST_F(SioPort, HeldLockRefusesTheOpenUntilReleased)
{
    LockHolder other(pty.slavePath());
    EXPECT_EQ(messageOf([&] { comm.Open(); }),
              "Can't open specified device " + pty.slavePath() + " (Error 11, Resource temporarily unavailable)");
    EXPECT_EQ(comm.Handle(), -1);
    other.release();
    comm.Open();
    EXPECT_TRUE(comm.Active());
    // Our own lock keeps the next program out while we have the port.
    EXPECT_THROW(LockHolder again(pty.slavePath()), std::runtime_error);
}

TEST_F(SioPort, OpenFailuresAfterTheDescriptorLeaveNothingOpen)
{
    const int before = countEntries("/proc/self/fd");
    comm.SetDeviceName("/dev/null");
    EXPECT_EQ(messageOf([&] { comm.Open(); }), "Error writing dcb (25), Inappropriate ioctl for device");
    EXPECT_EQ(comm.Handle(), -1);
    EXPECT_EQ(countEntries("/proc/self/fd"), before);

    comm.SetUpdateDCB(false);
    EXPECT_EQ(messageOf([&] { comm.Open(); }), "Error setting timeouts (25), Inappropriate ioctl for device");
    EXPECT_EQ(comm.Handle(), -1);
    EXPECT_EQ(countEntries("/proc/self/fd"), before);

    comm.SetUpdateDCB(true);
    comm.SetDeviceName(pty.slavePath());
    os.tcsetattrErrno = EIO;
    EXPECT_EQ(messageOf([&] { comm.Open(); }), "Error writing dcb (5), Input/output error");
    EXPECT_EQ(comm.Handle(), -1);
    EXPECT_EQ(countEntries("/proc/self/fd"), before);
}

TEST_F(SioPort, OpenErrorsOfTheSystemGiveTheirMessages)
{
    const struct {
        int error;
        std::string expected;
    } cases[] = {
        {ENOENT, "Specified device not found (" + pty.slavePath() + ")."},
        {ENODEV, "Specified device not found (" + pty.slavePath() + ")."},
        {ENXIO, "Specified device not found (" + pty.slavePath() + ")."},
        {EACCES, "Can't open specified device " + pty.slavePath() + " (Error 13, Permission denied)"},
        {EBUSY, "Can't open specified device " + pty.slavePath() + " (Error 16, Device or resource busy)"},
        {EIO, "Can't open specified device " + pty.slavePath() + " (Error 5, Input/output error)"},
    };
    for (const auto& c : cases) {
        os.openErrno = c.error;
        EXPECT_EQ(messageOf([&] { comm.Open(); }), c.expected);
        EXPECT_EQ(comm.Handle(), -1);
    }
    comm.SetDeviceName("/tmp/odd%s%d%n");
    os.openErrno = EACCES;
    EXPECT_EQ(messageOf([&] { comm.Open(); }),
              "Can't open specified device /tmp/odd%s0%n (Error 13, Permission denied)");
}

TEST_F(SioPort, AnyParityAndSizeOpensOnAPty)
{
    const TSioParity parities[] = {paNone, paOdd, paEven, paMark, paSpace};
    for (TSioParity p : parities) {
        comm.SetParity(p);
        comm.SetDatabits(db7);
        EXPECT_NO_THROW(comm.Open()) << int(p);
        EXPECT_TRUE(comm.Active());
        comm.Close();
    }
    comm.SetParity(paEven);
    comm.SetDatabits(db8);
    comm.Open();
    // A change of parity or size alone is what a pty refuses: it must still not raise.
    for (TSioParity p : parities)
        EXPECT_NO_THROW(comm.SetParity(p)) << int(p);
    EXPECT_NO_THROW(comm.SetDatabits(db5));
    EXPECT_NO_THROW(comm.SetDatabits(db8));
    EXPECT_TRUE(comm.WriteText("still usable"));
    EXPECT_EQ(pty.readMaster(12, 10s), "still usable");
    // What a pty does keep arrives.
    comm.SetStopbits(sb2);
    comm.SetParity(paMark);
    const termios t = readTermios(pty.slaveFd());
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);
    EXPECT_NE(t.c_cflag & CMSPAR, 0u);
    EXPECT_NE(t.c_cflag & PARODD, 0u);
}

TEST_F(SioPort, GuardedSettersRaiseWhileOpenAndKeepTheirValues)
{
    comm.Open();
    const std::string open = "Can't perform this operation while port is open";
    TSioBuffers other;
    other.SetReadSize(10);
    EXPECT_EQ(messageOf([&] { comm.SetPortNum(5); }), open);
    EXPECT_EQ(comm.PortNum(), 0);
    EXPECT_EQ(messageOf([&] { comm.SetDeviceName("/dev/other"); }), open);
    EXPECT_EQ(comm.DeviceName(), pty.slavePath());
    EXPECT_EQ(messageOf([&] { comm.SetMonitorEvents({}); }), open);
    EXPECT_EQ(comm.MonitorEvents(), TSioCommEvents({ceError, ceRxChar, ceTxEmpty}));
    EXPECT_EQ(messageOf([&] { comm.SetBuffers(other); }), open);
    EXPECT_EQ(comm.Buffers().ReadSize(), 4096);
    EXPECT_EQ(messageOf([&] { comm.SetDirectWrite(false); }), open);
    EXPECT_TRUE(comm.DirectWrite());
    EXPECT_EQ(messageOf([&] { comm.SetUpdateDCB(false); }), open);
    EXPECT_TRUE(comm.UpdateDCB());
    EXPECT_EQ(messageOf([&] { comm.Buffers().SetWriteSize(1); }), open);
    // Time-outs may change while open.
    EXPECT_NO_THROW(comm.Buffers().SetWriteTimeout(5));
    EXPECT_TRUE(comm.Active());
}

TEST_F(SioPort, SpeedChangesWhileOpenAtOnceAndWhileClosedAtTheNextOpen)
{
    comm.Open();
    EXPECT_EQ(slaveSpeed(pty), static_cast<speed_t>(B1200));
    comm.SetBaudrate(br9600);
    EXPECT_EQ(slaveSpeed(pty), static_cast<speed_t>(B9600));
    comm.Close();
    comm.SetBaudrate(br19200);
    EXPECT_EQ(slaveSpeed(pty), static_cast<speed_t>(B9600));
    comm.Open();
    EXPECT_EQ(slaveSpeed(pty), static_cast<speed_t>(B19200));

    comm.SetUserBaudrate(4800);
    EXPECT_EQ(comm.Baudrate(), brUser);
    EXPECT_EQ(readOutputSpeed2(pty.slaveFd()), 4800u);
    comm.SetBaudrate(br9600);
    EXPECT_EQ(comm.UserBaudrate(), 0);
    EXPECT_EQ(readOutputSpeed2(pty.slaveFd()), 9600u);

    for (const auto& [member, rate] :
         {std::pair {br14400, 14400u}, {br56000, 56000u}, {br128000, 128000u}, {br256000, 256000u}}) {
        comm.SetBaudrate(member);
        EXPECT_EQ(readOutputSpeed2(pty.slaveFd()), rate);
    }
    comm.SetUserBaudrate(31250);
    EXPECT_EQ(readOutputSpeed2(pty.slaveFd()), 31250u);
    // Back to a POSIX rate from a BOTHER one, with the raw flags still in place.
    comm.SetBaudrate(br2400);
    EXPECT_EQ(slaveSpeed(pty), static_cast<speed_t>(B2400));
    EXPECT_EQ(readTermios(pty.slaveFd()).c_lflag & ICANON, 0u);
}

TEST_F(SioPort, ZeroSpeedRaisesAndKeepsTheLine)
{
    comm.SetBaudrate(br9600);
    comm.Open();
    EXPECT_EQ(messageOf([&] { comm.SetUserBaudrate(0); }), "Error writing dcb (22), Invalid argument");
    EXPECT_EQ(slaveSpeed(pty), static_cast<speed_t>(B9600));
    EXPECT_EQ(messageOf([&] { comm.SetUserBaudrate(-300); }), "Error writing dcb (22), Invalid argument");
    EXPECT_EQ(slaveSpeed(pty), static_cast<speed_t>(B9600));
    EXPECT_TRUE(comm.Active());
    comm.Close();
    EXPECT_EQ(messageOf([&] { comm.Open(); }), "Error writing dcb (22), Invalid argument");
    EXPECT_EQ(comm.Handle(), -1);
}

TEST_F(SioPort, WithoutUpdateDcbTheDeviceKeepsItsSettings)
{
    termios t = readTermios(pty.slaveFd());
    cfsetispeed(&t, B2400);
    cfsetospeed(&t, B2400);
    ASSERT_EQ(tcsetattr(pty.slaveFd(), TCSANOW, &t), 0);
    comm.SetUpdateDCB(false);
    comm.SetBaudrate(br9600);
    comm.Open();
    EXPECT_EQ(slaveSpeed(pty), static_cast<speed_t>(B2400));
    comm.SetBaudrate(br19200);
    EXPECT_EQ(slaveSpeed(pty), static_cast<speed_t>(B2400));
}

TEST_F(SioPort, ReadTextGivesWhatIsQueuedWithoutWaiting)
{
    comm.Buffers().SetReadTimeout(10000);
    comm.Open();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(comm.ReadText(), "");
    char b[8];
    EXPECT_EQ(comm.Read(b, sizeof b), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << "reads must not wait for data";

    pty.writeMaster("abc");
    ASSERT_TRUE(waitUntil([&] { return comm.InQueCount() == 3; }));
    EXPECT_EQ(comm.ReadText(), "abc");
    EXPECT_EQ(comm.ReadText(), "");
}

TEST_F(SioPort, ReadTextHoldsExactlyTheBytesRead)
{
    comm.Open();
    pty.writeMaster("0123456789");
    ASSERT_TRUE(waitUntil([&] { return comm.InQueCount() == 10; }));
    os.readLimit = 4;
    EXPECT_EQ(comm.ReadText(), "0123");
    EXPECT_EQ(comm.ReadText(), "4567");
    os.readLimit = 100;
    EXPECT_EQ(comm.ReadText(), "89");
}

TEST_F(SioPort, AClosedPortRaisesNothing)
{
    char b[4] = {};
    EXPECT_EQ(comm.Write("abc", 3), 0);
    EXPECT_EQ(comm.Read(b, 4), 0);
    EXPECT_EQ(comm.InQueCount(), 0);
    EXPECT_EQ(comm.ReadText(), "");
    EXPECT_TRUE(comm.WriteText(""));
    EXPECT_FALSE(comm.WriteText("x"));
    EXPECT_FALSE(comm.WriteChar('x'));
    EXPECT_FALSE(comm.CheckLineErrors());
    std::uint32_t errors = 7;
    TSioComStat stat {1, 2, 3};
    comm.GetComStat(errors, stat);
    EXPECT_EQ(errors, 0u);
    EXPECT_EQ(stat.cbInQue + stat.cbOutQue + stat.Flags, 0u);
    EXPECT_NO_THROW(comm.PurgeRead());
    EXPECT_NO_THROW(comm.PurgeReadWrite());
    EXPECT_NO_THROW(comm.Close());
    EXPECT_EQ(os.writeCalls.load(), 0);
    EXPECT_EQ(os.tcflushCalls.load(), 0);
}

TEST_F(SioPort, ClosingADescriptorClosedAlreadyCompletes)
{
    comm.SetMonitorEvents({});
    comm.Open();
    ::close(comm.Handle());
    EXPECT_NO_THROW(comm.Close());
    EXPECT_EQ(comm.Handle(), -1);
}

TEST_F(SioPort, DirectWriteOnAStalledLineGivesZeroAndSendsNothingLater)
{
    comm.FlowControl().SetXonXoffOut(true);
    comm.Buffers().SetWriteTimeout(300);
    comm.Open();
    pty.writeMaster("\x13");
    ASSERT_TRUE(waitUntil([&] { return outputStopped(pty); }));

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(comm.WriteText(std::string(100, 'F')));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 300ms);
    EXPECT_LT(took, 300ms + 10s);
    EXPECT_EQ(os.tcflushQueue.load(), TCOFLUSH);

    pty.writeMaster("\x11");
    ASSERT_TRUE(waitUntil([&] { return !outputStopped(pty); }));
    EXPECT_TRUE(comm.WriteChar('Z'));
    EXPECT_EQ(pty.readMaster(1, 10s), "Z") << "nothing of the timed-out frame goes out after XON";
}

TEST_F(SioPort, ADirectWriteEndsOnceItsBytesHaveLeftAndFailsWhenTheyDoNotInTime)
{
    comm.SetMonitorEvents({});
    comm.Buffers().SetWriteTimeout(300);
    comm.Open();

    // A slow line: 40 bytes still to go out, 10 fewer at each look.
    os.outQueue = 40;
    os.outQueueStep = 10;
    EXPECT_TRUE(comm.WriteText(std::string(40, 'A')));
    EXPECT_EQ(os.outQueue.load(), 0) << "the write returned with bytes still queued";
    EXPECT_EQ(os.outQueueLooks.load(), 5);
    EXPECT_EQ(os.tcflushCalls.load(), 0);
    EXPECT_EQ(pty.readMaster(40, 10s), std::string(40, 'A'));

    // A line that never takes its bytes: the write fails after its time-out, and what is
    // still queued goes, so that no half frame follows later.
    os.outQueue = 5;
    os.outQueueStep = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(comm.WriteText("BBBBB"));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
    EXPECT_EQ(os.tcflushQueue.load(), TCOFLUSH);
    EXPECT_FALSE(comm.WriteChar('C'));

    // Taken at last: the next write goes through.
    os.outQueue = -1;
    EXPECT_TRUE(comm.WriteChar('D'));
}

TEST_F(SioPort, CloseEndsAWriteWaitingForItsBytesToLeave)
{
    comm.SetMonitorEvents({});
    comm.Buffers().SetWriteTimeout(60000);
    comm.Open();
    os.outQueue = 5;   // never taken
    std::atomic<int> written {-1};
    std::thread writer([&] { written = comm.WriteText("BBBBB") ? 1 : 0; });
    EXPECT_TRUE(waitUntil([&] { return os.outQueueLooks.load() > 0; })) << "the write waits";
    std::atomic<bool> closed {false};
    std::thread closer([&] {
        comm.Close();
        closed = true;
    });
    // Far less than the write's time-out: the close does not wait it out.
    const bool done = waitUntil([&] { return closed.load() && written.load() >= 0; }, 30s);
    closer.join();
    writer.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(written.load(), 0);
    EXPECT_FALSE(comm.Active());
}

TEST_F(SioPort, APurgeKeepsTheBytesThatHaveLeftForAFarEndThatReadsLate)
{
    comm.Open();
    // Frames of 1000 bytes, each followed by a purge as before the next exchange; the far
    // end reads them all only afterwards (its queue holds 4 KiB, the line keeps the rest).
    std::string sent;
    for (char c = 'a'; c < 'f'; ++c) {
        const std::string frame(1000, c);
        ASSERT_TRUE(comm.WriteText(frame));
        comm.PurgeReadWrite();
        sent += frame;
    }
    EXPECT_EQ(pty.readMaster(sent.size(), 10s), sent);
}

TEST_F(SioPort, PurgesClearTheirQueues)
{
    comm.Open();
    pty.writeMaster("abc");
    ASSERT_TRUE(waitUntil([&] { return comm.InQueCount() == 3; }));
    comm.PurgeRead();
    EXPECT_EQ(os.tcflushQueue.load(), TCIFLUSH);
    EXPECT_EQ(comm.InQueCount(), 0);
    // Output still queued is cleared; with none queued only the input is.
    os.outQueue = 9;
    comm.PurgeReadWrite();
    EXPECT_EQ(os.tcflushQueue.load(), TCIOFLUSH);
    comm.Purge(PURGE_TXCLEAR);
    EXPECT_EQ(os.tcflushQueue.load(), TCOFLUSH);
    os.outQueue = 0;
    comm.PurgeReadWrite();
    EXPECT_EQ(os.tcflushQueue.load(), TCIFLUSH);
    int flushes = os.tcflushCalls.load();
    comm.Purge(PURGE_TXCLEAR);
    EXPECT_EQ(os.tcflushCalls.load(), flushes) << "an empty output queue has nothing to clear";
    flushes = os.tcflushCalls.load();
    comm.Purge(PURGE_TXABORT | PURGE_RXABORT);
    EXPECT_EQ(os.tcflushCalls.load(), flushes) << "the abort bits have nothing to end";
}

TEST_F(SioPort, FailuresOfTheSystemCallsGiveTheirMessages)
{
    comm.Open();
    char b[4];
    const struct {
        const char* name;
        std::atomic<int>& error;
        std::function<void()> call;
        const char* expected;
    } cases[] = {
        {"read", os.readErrno, [&] { comm.Read(b, 4); }, "Read error (5), Input/output error"},
        {"write", os.writeErrno, [&] { comm.WriteText("x"); }, "Write error (5), Input/output error"},
        {"FIONREAD", os.fionreadErrno, [&] { comm.InQueCount(); }, "Error retrieving statistics (5), Input/output error"},
        {"tcflush", os.tcflushErrno, [&] { comm.PurgeRead(); }, "Error clearing buffers (5), Input/output error"},
        {"tcsetattr", os.tcsetattrErrno, [&] { comm.SetParity(paOdd); }, "Error writing dcb (5), Input/output error"},
    };
    for (const auto& c : cases) {
        c.error = EIO;
        EXPECT_EQ(messageOf(c.call), c.expected) << c.name;
        c.error = 0;
        EXPECT_NO_THROW(c.call()) << c.name;
    }
    os.readErrno = EAGAIN;
    EXPECT_EQ(comm.Read(b, 4), 0) << "nothing there is no error";
    os.readErrno = 0;
    EXPECT_TRUE(comm.Active());
}

TEST_F(SioPort, HangUpEndsWritesWithAnErrorAndReadsWithNothing)
{
    comm.SetMonitorEvents({});
    comm.Open();
    pty.closeMaster();
    EXPECT_EQ(messageOf([&] { comm.WriteText("x"); }), "Write error (5), Input/output error");
    char b[4];
    EXPECT_EQ(comm.Read(b, 4), 0);
}

TEST_F(SioPort, LoadedOpensOnlyWithAutoOpenAndDestroyingClosesWithoutOnClose)
{
    comm.Loaded();
    EXPECT_FALSE(comm.Active());
    int closes = 0;
    const int fds = countEntries("/proc/self/fd");
    {
        TSioComm second(owner, &os);
        second.SetDeviceName(pty.slavePath());
        second.SetAutoOpen(true);
        second.OnClose = [&](TSioComm&) { ++closes; };
        second.Loaded();
        EXPECT_TRUE(second.Active());
        EXPECT_GT(countEntries("/proc/self/fd"), fds);
    }
    EXPECT_EQ(closes, 0);
    EXPECT_EQ(countEntries("/proc/self/fd"), fds);
    comm.Open();
    EXPECT_TRUE(comm.Active()) << "the lock went with the destroyed component's descriptor";
}
