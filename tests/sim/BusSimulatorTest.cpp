// The simulator as the program meets it: through <folder>/ports/COM1, opened and closed
// for every exchange, with answers timed on the simulator's own thread.
#include "BusSimulator.h"

#include "TelegramBuilder.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <thread>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using Kind = SimLogEntry::Kind;

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "ferolt-sim-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The port as the program opens it: non-blocking, no controlling tty, raw, locked.
class Port {
public:
    explicit Port(const std::filesystem::path& path)
    {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0)
            return;
        termios t {};
        ::tcgetattr(fd_, &t);
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        cfsetspeed(&t, B2400);
        ::tcsetattr(fd_, TCSANOW, &t);
        locked_ = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
    }
    ~Port()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool open() const { return fd_ >= 0; }
    bool locked() const { return locked_; }

    bool write(const std::string& bytes)
    {
        return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // Reads until n bytes came or the time-out passed.
    std::string read(std::size_t n, std::chrono::milliseconds timeout)
    {
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (got.size() < n) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd p {fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                continue;
            char buf[512];
            const ssize_t r = ::read(fd_, buf, std::min(sizeof buf, n - got.size()));
            if (r > 0)
                got.append(buf, static_cast<std::size_t>(r));
        }
        return got;
    }
    // Whatever waits now.
    std::string drain()
    {
        std::string got;
        char buf[512];
        ssize_t r;
        while ((r = ::read(fd_, buf, sizeof buf)) > 0)
            got.append(buf, static_cast<std::size_t>(r));
        return got;
    }

private:
    int fd_ = -1;
    bool locked_ = false;
};

class Simulator : public ::testing::Test {
protected:
    Simulator()
        : sim(options())
    {
        heat = sim.addMeter(SimMeter(5, "12345678", "ABC", 1, 0x04, hexBytes("0C 06 27 04 00 00")));
        water = sim.addMeter(SimMeter(7, "22222222", "ABC", 1, 0x07, hexBytes("0C 13 11 00 00 00")));
        sim.start();
    }

    BusSimulatorOptions options()
    {
        BusSimulatorOptions o;
        o.programFolder = dir.path();
        return o;
    }

    std::filesystem::path com1() const { return dir.path() / "ports" / "COM1"; }

    TempDir dir;
    BusSimulator sim;
    std::size_t heat = 0;
    std::size_t water = 0;
};

TEST_F(Simulator, LinksThePortWhileRunning)
{
    ASSERT_TRUE(std::filesystem::is_symlink(com1()));
    EXPECT_EQ(std::filesystem::read_symlink(com1()), sim.slavePath());
    EXPECT_EQ(sim.linkPath(), com1());
    EXPECT_TRUE(sim.running());
    sim.stop();
    EXPECT_FALSE(sim.running());
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(com1())));
    sim.start();
    EXPECT_TRUE(std::filesystem::is_symlink(com1())) << "a restart links again";
}

TEST_F(Simulator, LeavesALinkThatIsNoLongerItsOwnAlone)
{
    sim.stop();
    std::filesystem::create_symlink("/dev/null", com1());
    sim.start(); // replaces it
    EXPECT_EQ(std::filesystem::read_symlink(com1()), sim.slavePath());
    std::filesystem::remove(com1());
    std::filesystem::create_symlink("/dev/null", com1());
    sim.stop();
    EXPECT_TRUE(std::filesystem::is_symlink(com1())) << "someone else's link must stay";
}

TEST_F(Simulator, AnswersThroughThePortLinkAndLogsTheFrame)
{
    Port port(com1());
    ASSERT_TRUE(port.open());
    EXPECT_TRUE(port.locked()) << "the simulator must not hold a lock on the slave";
    const auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(port.write(hexBytes("10 7B 05 80 16")));
    const std::string expected = sim.meter(heat).telegram();
    EXPECT_EQ(port.read(expected.size(), 10s), expected);

    ASSERT_TRUE(sim.waitForReplies(1, 10s));
    const auto log = sim.log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].kind, Kind::Frame);
    EXPECT_EQ(log[0].bytes, hexBytes("10 7B 05 80 16"));
    EXPECT_TRUE(log[0].isReqUd2(5));
    EXPECT_FALSE(log[0].isReqUd2(6));
    EXPECT_FALSE(log[0].isSndNke());
    EXPECT_GE(log[0].time, before);
    EXPECT_EQ(log[1].kind, Kind::Reply);
    EXPECT_EQ(log[1].bytes, expected);
    EXPECT_GE(log[1].time, log[0].time);
    EXPECT_EQ(sim.receivedBytes(), hexBytes("10 7B 05 80 16"));
    EXPECT_EQ(sim.frameCount(), 1u);
}

TEST_F(Simulator, SlaveStaysUsableAcrossManyOpenAndCloseCycles)
{
    const std::string expected = hexBytes("E5");
    for (int i = 0; i < 60; ++i) {
        Port port(com1());
        ASSERT_TRUE(port.open()) << "cycle " << i;
        ASSERT_TRUE(port.locked()) << "cycle " << i;
        ASSERT_TRUE(port.write(shortFrame(0x40, 7)));
        ASSERT_EQ(port.read(1, 10s), expected) << "cycle " << i;
    }
    EXPECT_EQ(sim.frameCount(), 60u);
    EXPECT_EQ(sim.replyCount(), 60u);
}

TEST_F(Simulator, LateAnswerComesLateAndWaitsWhileThePortIsClosed)
{
    // Late enough that the test looks before the answer even on a busy machine.
    SimFaults late;
    late.late = 2s;
    sim.setFaults(heat, late);
    {
        Port port(com1());
        ASSERT_TRUE(port.write(hexBytes("10 7B 05 80 16")));
        ASSERT_TRUE(sim.waitForFrames(1, 10s));
        EXPECT_EQ(sim.replyCount(), 0u) << "not yet: it is late";
    } // the program closes the port before the answer
    ASSERT_TRUE(sim.waitForReplies(1, 10s));
    const auto log = sim.log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_GE(log[1].time - log[0].time, late.late);
    EXPECT_EQ(log[0].answers, std::vector<std::chrono::milliseconds>({late.late}));   // declared with the frame

    Port again(com1());
    const std::string expected = sim.meter(heat).telegram();
    EXPECT_EQ(again.read(expected.size(), 10s), expected) << "a late answer waits in the line";
}

TEST_F(Simulator, FaultsSwitchWhileRunning)
{
    Port port(com1());
    ASSERT_TRUE(port.write(shortFrame(0x40, 5)));
    ASSERT_TRUE(sim.waitForReplies(1, 10s));
    SimFaults silent;
    silent.silent = true;
    sim.setFaults(heat, silent);
    EXPECT_TRUE(sim.meter(heat).faults().silent);
    ASSERT_TRUE(port.write(shortFrame(0x40, 5)));
    ASSERT_TRUE(sim.waitForFrames(2, 10s));
    // An answer without delay is written before its frame is visible in the log.
    EXPECT_EQ(sim.replyCount(), 1u);
    const std::vector<SimLogEntry> frames = sim.frames();
    EXPECT_EQ(frames[0].answers.size(), 1u);
    EXPECT_TRUE(frames[1].answers.empty()) << "silent: the frame says no answer comes";
    sim.setFaults(heat, {});
    ASSERT_TRUE(port.write(shortFrame(0x40, 5)));
    ASSERT_TRUE(sim.waitForReplies(2, 10s));
    EXPECT_EQ(port.read(2, 10s), hexBytes("E5 E5"));
}

TEST_F(Simulator, BadBytesAreLoggedAndNotAnswered)
{
    Port port(com1());
    ASSERT_TRUE(port.write(hexBytes("00 01 10 7B 05 81 16")));
    ASSERT_TRUE(sim.waitForLog([](const std::vector<SimLogEntry>& log) {
        return log.size() >= 2;
    }, 10s));
    ASSERT_TRUE(port.write(hexBytes("10 7B")));
    ASSERT_TRUE(sim.waitForLog([](const std::vector<SimLogEntry>& log) {
        return log.size() >= 3;
    }, 10s)) << "the unfinished frame is dropped after the idle gap";
    ASSERT_TRUE(port.write(hexBytes("10 40 07 47 16")));
    ASSERT_TRUE(sim.waitForReplies(1, 10s));
    const auto log = sim.log();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[0].kind, Kind::Garbage);
    EXPECT_EQ(log[0].bytes, hexBytes("00 01"));
    EXPECT_EQ(log[1].kind, Kind::BadFrame);
    EXPECT_EQ(log[1].text, "wrong check sum");
    EXPECT_EQ(log[2].kind, Kind::Dropped);
    EXPECT_EQ(log[2].bytes, hexBytes("10 7B"));
    EXPECT_EQ(log[3].kind, Kind::Frame);
    EXPECT_TRUE(log[3].isSndNke(7));
    EXPECT_EQ(log[4].kind, Kind::Reply);
    EXPECT_EQ(port.drain(), hexBytes("E5")) << "only the good frame was answered";
    EXPECT_EQ(sim.receivedBytes(), hexBytes("00 01 10 7B 05 81 16 10 7B 10 40 07 47 16"));
}

TEST_F(Simulator, CollisionReachesTheLineDamaged)
{
    Port port(com1());
    ASSERT_TRUE(port.write(shortFrame(0x7B, 254)));
    ASSERT_TRUE(sim.waitForReplies(1, 10s));
    const std::string a = sim.meter(heat).telegram();
    const std::string b = sim.meter(water).telegram();
    const std::string got = port.read(std::max(a.size(), b.size()), 10s);
    EXPECT_EQ(got.size(), std::max(a.size(), b.size()));
    EXPECT_FALSE(simPassesReplyChecks(got));
    EXPECT_EQ(sim.log().back().text, "collision of 2 meters");
}

TEST_F(Simulator, ConfigurationOverThePortChangesTheMeter)
{
    Port port(com1());
    ASSERT_TRUE(port.write(longFrame(0x73, 5, 0x51, hexBytes("0C 79 21 43 65 87"))));
    ASSERT_EQ(port.read(1, 10s), hexBytes("E5"));
    EXPECT_EQ(sim.meter(heat).idText(), "87654321");
    ASSERT_TRUE(sim.waitForFrames(1, 10s));
    const SimLogEntry written = sim.frames()[0];
    EXPECT_TRUE(written.isLongFrame(0x73, 0x51));
    EXPECT_TRUE(written.isLongFrame());
    EXPECT_FALSE(written.isLongFrame(0x53));
    EXPECT_FALSE(written.isLongFrame(-1, 0x52));
    EXPECT_FALSE(written.isReqUd2());
    ASSERT_TRUE(port.write(shortFrame(0x7B, 5)));
    const std::string t = port.read(sim.meter(heat).telegram().size(), 10s);
    EXPECT_EQ(t.substr(7, 4), hexBytes("21 43 65 87"));
}

TEST_F(Simulator, WaitsEndAtTheirTimeOut)
{
    EXPECT_FALSE(sim.waitForFrames(1, 30ms));
    EXPECT_FALSE(sim.waitForReplies(1, 30ms));
    EXPECT_FALSE(sim.waitForLog([](const std::vector<SimLogEntry>& l) { return !l.empty(); }, 30ms));
}

TEST_F(Simulator, ClearLogStartsTheCountsAgain)
{
    Port port(com1());
    ASSERT_TRUE(port.write(shortFrame(0x40, 5)));
    ASSERT_TRUE(sim.waitForReplies(1, 10s));
    sim.clearLog();
    EXPECT_TRUE(sim.log().empty());
    EXPECT_EQ(sim.frameCount(), 0u);
    EXPECT_EQ(sim.receivedBytes(), "");
    ASSERT_TRUE(port.write(shortFrame(0x7B, 7)));
    ASSERT_TRUE(sim.waitForFrames(1, 10s));
    ASSERT_EQ(sim.frames().size(), 1u);
    EXPECT_TRUE(sim.frames()[0].isReqUd2(7));
}

TEST_F(Simulator, ObserverSeesEveryEntryOnTheSimulatorsThread)
{
    std::mutex m;
    std::vector<SimLogEntry> seen;
    std::atomic<bool> otherThread {true};
    const auto testThread = std::this_thread::get_id();
    sim.setObserver([&](const SimLogEntry& e) {
        if (std::this_thread::get_id() == testThread)
            otherThread = false;
        std::lock_guard lock(m);
        seen.push_back(e);
    });
    Port port(com1());
    ASSERT_TRUE(port.write(hexBytes("FF 10 40 05 45 16")));
    ASSERT_TRUE(sim.waitForReplies(1, 10s));
    ASSERT_TRUE(waitUntil([&] {
        std::lock_guard lock(m);
        return seen.size() >= 3;
    }));
    sim.setObserver({});
    std::lock_guard lock(m);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].kind, Kind::Garbage);
    EXPECT_EQ(seen[1].kind, Kind::Frame);
    EXPECT_EQ(seen[2].kind, Kind::Reply);
    EXPECT_TRUE(otherThread);
    EXPECT_EQ(simLogLine(seen[1]).rfind("Frame 10 40 05 45 16  (SND_NKE to 5", 0), 0u) << simLogLine(seen[1]);
}

TEST(SimulatorPort, OtherPortNameAndNoFolder)
{
    TempDir dir;
    BusSimulatorOptions o;
    o.programFolder = dir.path();
    o.portName = "COM3";
    {
        BusSimulator sim(o);
        sim.start();
        EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "ports" / "COM3"));
    } // the destructor stops and unlinks
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir.path() / "ports" / "COM3")));

    BusSimulator bare;
    bare.addMeter(SimMeter(1, "00000001", "ABC", 1, 7));
    bare.start();
    EXPECT_TRUE(bare.linkPath().empty());
    Port port(bare.slavePath());
    ASSERT_TRUE(port.write(shortFrame(0x40, 1)));
    EXPECT_EQ(port.read(1, 10s), hexBytes("E5"));
}

TEST(SimulatorPort, UnwritableFolderFailsToStart)
{
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "x");
    { std::ofstream(dir.path() / "x" / "ports") << "a file where the folder should be"; }
    BusSimulatorOptions o;
    o.programFolder = dir.path() / "x";
    BusSimulator sim(o);
    EXPECT_THROW(sim.start(), std::runtime_error);
    EXPECT_FALSE(sim.running());
}

} // namespace
