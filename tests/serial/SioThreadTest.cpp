// The event and write threads: what they hand to the owner's thread, how they stop, and the
// write queue with its purge handshake.
#include "FakeOsCalls.h"
#include "SerialTestUtil.h"

#include <ManualDispatcher.h>
#include <PtyPair.h>
#include <SioApplicationException.h>
#include <SioComm.h>
#include <WaitUntil.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <poll.h>
#include <thread>

using namespace std::chrono_literals;

namespace {

int threads()
{
    return countEntries("/proc/self/task");
}

// The thread count before a test, once the runtime has its own helpers running (the
// ThreadSanitizer starts one with the first thread created).
int threadsBefore()
{
    std::thread([] {}).join();
    return threads();
}

bool outputStopped(const PtyPair& pty)
{
    pollfd p {pty.slaveFd(), POLLOUT, 0};
    return ::poll(&p, 1, 0) == 0;
}

// Collects what reaches the application's exception hook for one test.
class HookCapture {
public:
    HookCapture()
    {
        SetSioExceptionHook([this](std::exception_ptr e) {
            try {
                std::rethrow_exception(e);
            } catch (const std::exception& x) {
                std::lock_guard lock(mutex_);
                messages_.push_back(x.what());
            }
        });
    }
    ~HookCapture() { SetSioExceptionHook({}); }
    std::vector<std::string> messages() const
    {
        std::lock_guard lock(mutex_);
        return messages_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
};

class SioThreads : public ::testing::Test {
protected:
    SioThreads() : comm(owner, &os) { comm.SetDeviceName(pty.slavePath()); }

    // Stops the line: the master sends XOFF to a port with XON/XOFF output flow.
    void stall()
    {
        pty.writeMaster("\x13");
        ASSERT_TRUE(waitUntil([&] { return outputStopped(pty); }));
    }
    void resume() { pty.writeMaster("\x11"); }

    // Reads n bytes from the master while the owner's thread runs what the threads hand
    // over: the write thread waits for its hand-overs before it sends more.
    std::string readMasterPumping(std::size_t n, std::chrono::milliseconds timeout = 10s)
    {
        std::string got;
        owner.pumpUntil([&] {
            got += pty.drainMaster();
            return got.size() >= n;
        }, timeout);
        return got;
    }

    HookCapture hook;
    FakeOsCalls os;
    ManualDispatcher owner;
    PtyPair pty;
    TSioComm comm;
};

} // namespace

TEST_F(SioThreads, ThreadsExistOnlyWhereNeeded)
{
    const int before = threadsBefore();
    const struct {
        TSioCommEvents events;
        bool direct;
        int expected;
    } cases[] = {{{}, true, 0}, {{ceRxChar}, true, 1}, {{}, false, 1}, {{ceError, ceRxChar, ceTxEmpty}, false, 2}};
    for (const auto& c : cases) {
        comm.SetMonitorEvents(c.events);
        comm.SetDirectWrite(c.direct);
        comm.Open();
        EXPECT_EQ(threads(), before + c.expected) << c.expected;
        comm.Close();
        EXPECT_TRUE(waitUntil([&] { return threads() == before; }));
    }
    // Without DirectWrite the write thread reports an emptied queue, not the event mask.
    comm.SetDirectWrite(false);
    comm.SetMonitorEvents({ceTxEmpty});
    comm.Open();
    EXPECT_EQ(comm.EventMask(), 0u);
    EXPECT_EQ(threads(), before + 1);
}

TEST_F(SioThreads, CloseEndsAPendingHandOverAndNothingFollows)
{
    int rxChars = 0;
    comm.OnRxChar = [&](TSioComm&, int) { ++rxChars; };
    comm.SetDirectWrite(true);
    comm.Open();
    pty.writeMaster("x");
    // The event thread now waits for the owner's thread, which does not pump.
    ASSERT_TRUE(waitUntil([&] { return owner.handedOver() == 1; }));
    comm.Close();
    EXPECT_EQ(owner.pump(), 0) << "the stopped hand-over never runs";
    pty.writeMaster("y");
    owner.pumpFor(100ms);
    EXPECT_EQ(owner.handedOver(), 1);
    EXPECT_EQ(rxChars, 0);
}

TEST_F(SioThreads, UnreadBytesGiveAFewRxCharsNotAStream)
{
    std::vector<int> counts;
    comm.OnRxChar = [&](TSioComm&, int n) { counts.push_back(n); };
    comm.SetDirectWrite(true);
    comm.Open();
    pty.writeMaster("abc");
    ASSERT_TRUE(owner.pumpUntil([&] { return !counts.empty() && counts.back() == 3; }));
    owner.pumpFor(300ms);
    EXPECT_LE(counts.size(), 3u) << "bytes left queued must not be reported again and again";
    const std::size_t seen = counts.size();
    pty.writeMaster("d");
    ASSERT_TRUE(owner.pumpUntil([&] { return counts.size() > seen; }));
    EXPECT_EQ(counts.back(), 4);
    EXPECT_EQ(comm.ReadText(), "abcd");
}

TEST_F(SioThreads, HandlersRunOnTheOwnersThread)
{
    const auto me = std::this_thread::get_id();
    std::atomic<int> rx {0}, tx {0}, err {0};
    std::uint32_t errors = 0;
    comm.OnRxChar = [&](TSioComm&, int) { rx += std::this_thread::get_id() == me ? 1 : 1000; };
    comm.OnTxEmpty = [&](TSioComm&) { tx += std::this_thread::get_id() == me ? 1 : 1000; };
    comm.OnError = [&](TSioComm&, std::uint32_t e) {
        err += std::this_thread::get_id() == me ? 1 : 1000;
        errors = e;
    };
    comm.SetDirectWrite(true);
    os.frameErrors = 0;   // the line counts framing errors, as a UART does
    comm.Open();
    pty.writeMaster("r");
    ASSERT_TRUE(owner.pumpUntil([&] { return rx > 0; }));
    ASSERT_TRUE(comm.WriteText("t"));
    ASSERT_TRUE(owner.pumpUntil([&] { return tx > 0; }));
    os.frameErrors = 1;
    ASSERT_TRUE(owner.pumpUntil([&] { return err > 0; }));
    EXPECT_EQ(errors, CE_FRAME);
    EXPECT_LT(rx + tx + err, 1000) << "a handler ran on another thread";
}

TEST_F(SioThreads, CloseFromOnRxCharCompletes)
{
    bool closed = false;
    comm.OnRxChar = [&](TSioComm& c, int) {
        c.Close();
        closed = true;
    };
    int onClose = 0;
    comm.OnClose = [&](TSioComm&) { ++onClose; };
    comm.Open();   // with the write thread, both threads stop from inside the hand-over
    pty.writeMaster("x");
    ASSERT_TRUE(owner.pumpUntil([&] { return closed; }));
    EXPECT_FALSE(comm.Active());
    EXPECT_EQ(onClose, 1);
    comm.Open();
    EXPECT_TRUE(comm.Active()) << "the port opens again";
}

TEST_F(SioThreads, HandlerExceptionsGoToTheHookAndTheThreadGoesOn)
{
    int calls = 0;
    comm.OnRxChar = [&](TSioComm& c, int) {
        ++calls;
        c.ReadText();
        throw std::runtime_error("handler failed");
    };
    comm.OnOpen = [](TSioComm&) { throw ESioCommError("open handler failed"); };
    comm.Open();
    EXPECT_TRUE(comm.Active());
    pty.writeMaster("1");
    ASSERT_TRUE(owner.pumpUntil([&] { return calls == 1; }));
    pty.writeMaster("2");
    ASSERT_TRUE(owner.pumpUntil([&] { return calls == 2; }));
    EXPECT_EQ(hook.messages(),
              (std::vector<std::string> {"open handler failed", "handler failed", "handler failed"}));
}

TEST_F(SioThreads, ClientsTakeTheBytesAndTheEvents)
{
    struct Client : TSioCommClient {
        std::string bytes;
        std::uint32_t mask = 0;
        void RxBuf(const char* b, int n) override { bytes.append(b, static_cast<std::size_t>(n)); }
        void Events(std::uint32_t m) override { mask |= m; }
    };
    Client client;
    int rxChar = 0, rxBuf = 0, full = 0;
    comm.OnRxChar = [&](TSioComm&, int) { ++rxChar; };
    comm.OnRxBuf = [&](TSioComm&, const char*, int n) { rxBuf += n; };
    comm.OnRx80Full = [&](TSioComm&) { ++full; };
    comm.SetMonitorEvents({ceRxChar, ceRx80Full});
    TSioBuffers b;
    b.SetReadSize(10);
    comm.SetBuffers(b);
    comm.AddClient(client);
    EXPECT_EQ(client.Comm(), &comm);
    comm.SetDirectWrite(true);
    comm.Open();
    pty.writeMaster("12345678");   // 80 % of ReadSize
    ASSERT_TRUE(owner.pumpUntil([&] { return client.bytes.size() == 8 && full == 1; }));
    EXPECT_EQ(client.bytes, "12345678");
    EXPECT_EQ(rxBuf, 8);
    EXPECT_EQ(rxChar, 0) << "with a client the bytes go to it, not to OnRxChar";
    EXPECT_EQ(client.mask, EV_RX80FULL);
    EXPECT_EQ(comm.InQueCount(), 0);

    comm.RemoveClient(client);
    EXPECT_EQ(client.Comm(), nullptr);
    pty.writeMaster("9");
    ASSERT_TRUE(owner.pumpUntil([&] { return rxChar == 1; }));
    EXPECT_EQ(comm.ReadText(), "9");
}

TEST_F(SioThreads, QueueTakesWriteSizeAtOnceAndRefusesMoreAfterTheTimeout)
{
    comm.FlowControl().SetXonXoffOut(true);
    TSioBuffers b;
    b.SetWriteSize(64);
    b.SetWriteTimeout(300);
    comm.SetBuffers(b);
    comm.Open();
    stall();
    EXPECT_TRUE(comm.WriteText(std::string(64, 'a')));
    auto start = std::chrono::steady_clock::now();
    try {
        comm.WriteChar('b');
        ADD_FAILURE() << "a full queue must raise";
    } catch (const ESioCommError& e) {
        EXPECT_STREQ(e.what(), "Output buffer is full. Please check comm status.");
    }
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
    resume();
    EXPECT_EQ(pty.readMaster(64, 5s), std::string(64, 'a'));

    start = std::chrono::steady_clock::now();
    EXPECT_THROW(comm.WriteText(std::string(65, 'c')), ESioCommError) << "never fits";
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
}

TEST_F(SioThreads, AWriteWaitingForRoomSucceedsWhenTheLineResumes)
{
    comm.FlowControl().SetXonXoffOut(true);
    TSioBuffers b;
    b.SetWriteSize(16);
    b.SetWriteTimeout(10000);
    comm.SetBuffers(b);
    comm.Open();
    stall();
    ASSERT_TRUE(comm.WriteText("0123456789abcdef"));
    auto writer = std::async(std::launch::async, [&] { return comm.WriteText("XYZ"); });
    EXPECT_EQ(writer.wait_for(50ms), std::future_status::timeout) << "no room yet";
    resume();
    EXPECT_TRUE(owner.pumpUntil([&] { return writer.wait_for(0s) == std::future_status::ready; }));
    EXPECT_TRUE(writer.get());
    EXPECT_EQ(readMasterPumping(19), "0123456789abcdefXYZ");
}

TEST_F(SioThreads, CloseWakesAWriteWaitingForRoom)
{
    comm.FlowControl().SetXonXoffOut(true);
    TSioBuffers b;
    b.SetWriteSize(4);
    b.SetWriteTimeout(60000);
    comm.SetBuffers(b);
    // A clock that stands still: only Close can end the wait. Two looks at it mean the writer
    // found no room and waits.
    std::atomic<int> looks {0};
    comm.SetTickSource([&] {
        ++looks;
        return 0u;
    });
    comm.Open();
    stall();
    ASSERT_TRUE(comm.WriteText("full"));
    looks = 0;
    auto writer = std::async(std::launch::async, [&] { return comm.Write("more", 4); });
    ASSERT_TRUE(waitUntil([&] { return looks >= 2; }));
    comm.Close();
    ASSERT_EQ(writer.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(writer.get(), 0);
}

TEST_F(SioThreads, LargeQueueArrivesCompleteAndInOrder)
{
    TSioBuffers b;
    b.SetWriteSize(65536);
    comm.SetBuffers(b);
    comm.Open();
    std::string data(65536, '\0');
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    ASSERT_TRUE(comm.WriteText(data));   // far more than a pty takes at once
    EXPECT_EQ(readMasterPumping(data.size(), 20s), data);
}

TEST_F(SioThreads, PurgeReadKeepsTheQueueAndPurgeReadWriteEmptiesIt)
{
    int emptied = 0;
    comm.OnTxEmpty = [&](TSioComm&) { ++emptied; };
    comm.FlowControl().SetXonXoffOut(true);
    comm.Open();
    stall();
    ASSERT_TRUE(comm.WriteText("AAAA"));
    comm.PurgeRead();
    ASSERT_TRUE(comm.WriteText("M"));
    resume();
    EXPECT_EQ(readMasterPumping(5), "AAAAM");
    // The write thread is idle again once its report of the emptied queue has run; a purge
    // from the owner's thread while that report waits would find no one to acknowledge it.
    ASSERT_TRUE(owner.pumpUntil([&] { return emptied == 1; }));

    stall();
    ASSERT_TRUE(comm.WriteText("BBBB"));
    comm.PurgeReadWrite();
    ASSERT_TRUE(comm.WriteText("CC"));
    comm.PurgeReadWrite();
    ASSERT_TRUE(comm.WriteText("M"));
    resume();
    EXPECT_EQ(pty.readMaster(1, 5s), "M") << "both purges emptied the queue";
    owner.pumpFor(50ms);
    EXPECT_EQ(pty.drainMaster(), "");
}

TEST_F(SioThreads, AFailingDeviceIsRetriedAfterAPause)
{
    TSioBuffers b;
    b.SetWriteTimeout(200);
    comm.SetBuffers(b);
    comm.SetMonitorEvents({});
    comm.Open();
    pty.closeMaster();
    ASSERT_TRUE(comm.WriteText("lost"));
    ASSERT_TRUE(owner.pumpUntil([&] { return owner.ran() >= 1; }));
    const int first = os.writeCalls.load();
    const auto start = std::chrono::steady_clock::now();
    owner.pumpFor(1000ms);
    // One try and one report per pause of 200 ms: about five in the window, not thousands.
    // The window is counted as long as it really was, as a busy machine may stretch it.
    const auto pauses = static_cast<int>((std::chrono::steady_clock::now() - start) / 200ms);
    EXPECT_LE(owner.ran(), pauses + 3);
    EXPECT_LE(os.writeCalls.load() - first, pauses + 3);
    EXPECT_TRUE(owner.pumpUntil([&] { return os.writeCalls.load() - first >= 2; })) << "the bytes are tried again";
    comm.Close();
}

TEST_F(SioThreads, OpenCloseCyclesLeaveNoDescriptorOrThread)
{
    const int fds = countEntries("/proc/self/fd");
    const int tasks = threadsBefore();
    for (int i = 0; i < 200; ++i) {
        comm.Open();
        if (i % 20 == 0) {
            pty.writeMaster("x");
            ASSERT_TRUE(comm.WriteText("y"));
        }
        comm.Close();
        owner.pump();
    }
    EXPECT_EQ(countEntries("/proc/self/fd"), fds);
    EXPECT_TRUE(waitUntil([&] { return threads() == tasks; })) << threads() << " against " << tasks;
}
