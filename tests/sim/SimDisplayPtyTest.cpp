// The display on its pty as the program meets it: through <folder>/ports/COM1, one command a
// burst, the reply after the idle gap.
#include "ProgramPortEnd.h"
#include "SimDisplayPty.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using Kind = SimDisplayLogEntry::Kind;
using Fault = SimDisplayFault::Kind;

class DisplayOnPty : public ::testing::Test, protected ProgramPortEnd {
protected:
    DisplayOnPty() : ProgramPortEnd("ferolt-display")
    {
        for (int a : {1, 2, 3})
            display.setEntry(a, {});
        sim = std::make_unique<DisplayPtySimulator>(display, DisplayPtyOptions {dir, "COM1"});
        sim->start();
        openPort();
    }
    ~DisplayOnPty() override
    {
        closePort();
        sim.reset();
    }

    void send(std::string_view command)
    {
        ASSERT_EQ(::write(fd, command.data(), command.size()), static_cast<ssize_t>(command.size()));
    }
    std::vector<SimDisplayLogEntry> replies() const
    {
        std::vector<SimDisplayLogEntry> out;
        for (const SimDisplayLogEntry& e : display.log())
            if (e.kind == Kind::Reply)
                out.push_back(e);
        return out;
    }

    SimDisplay display;
    std::unique_ptr<DisplayPtySimulator> sim;
};

TEST_F(DisplayOnPty, ABurstIsOneCommandAnsweredAfterTheGap)
{
    ASSERT_GE(fd, 0);
    EXPECT_EQ(std::filesystem::read_symlink(dir / "ports" / "COM1"), sim->slavePath());
    send("GET ADDR");
    const std::string expected = "Active devices: 1-3\r\n";
    EXPECT_EQ(receive(expected.size()), expected);
    send("SET ENTR=4");
    EXPECT_EQ(receive(16), "Entry 4 Active\r\n");
    ASSERT_TRUE(display.waitForReplies(2, 5s));

    const auto log = display.log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_TRUE(log[0].isCommand("GET ADDR"));
    EXPECT_EQ(log[1].kind, Kind::Reply);
    EXPECT_EQ(log[1].bytes, expected);
    EXPECT_GE(log[1].time - log[0].time, 25ms) << "the reply waits for the gap";
    EXPECT_EQ(log[2].bytes, "SET ENTR=4");
    EXPECT_TRUE(display.entry(4));

    sim->stop();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir / "ports" / "COM1")));
}

TEST_F(DisplayOnPty, LateAndSplitRepliesKeepTheirTimes)
{
    display.addFault({Fault::Late, "GET ENTR=", "", 1, 150ms});
    display.addFault({Fault::Split, "GET ENTR=", "", 1, 200ms});
    send("GET ENTR=1,1");
    const std::string whole = "Total pulses *1/1\r\nStart: 0\r\nTotal: 0\r\n";
    EXPECT_EQ(receive(whole.size()), whole);
    ASSERT_TRUE(display.waitForReplies(2, 5s));
    const auto log = display.log();
    const auto parts = replies();
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].bytes, whole.substr(0, whole.size() / 2));
    EXPECT_EQ(parts[1].bytes, whole.substr(whole.size() / 2));
    EXPECT_GE(parts[0].time - log[0].time, 150ms);
    EXPECT_GE(parts[1].time - parts[0].time, 200ms) << "two bursts";
}

TEST_F(DisplayOnPty, SilentCommandGetsNothingAndDropHangsUp)
{
    display.addFault({Fault::Silent, "GET MAIN", "", 1});
    send("GET MAIN");
    ASSERT_TRUE(display.waitForCommands(1, 5s));
    send("DEL ENTR=2");
    EXPECT_EQ(receive(4), "OK\r\n") << "only the second command was answered";

    display.addFault({Fault::Drop, "GET ADDR", "", 1});
    send("GET ADDR");
    ASSERT_TRUE(display.waitForLog([](const auto& l) { return l.back().kind == Kind::HangUp; }, 5s));
    EXPECT_TRUE(sim->hungUp());
    pollfd p {fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 5000), 1);
    EXPECT_TRUE(p.revents & POLLHUP) << "the program's port sees the hang-up";
    EXPECT_EQ(replies().size(), 1u);
}

} // namespace
