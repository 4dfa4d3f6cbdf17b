// The gateway's service port as the program meets it: through <folder>/ports/COM1, one
// command a burst, its answer, the kept settings, and the silent and hang-up switches.
#include "ProgramPortEnd.h"
#include "SimGatewayText.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

class GatewayOnPty : public ::testing::Test, protected ProgramPortEnd {
protected:
    GatewayOnPty() : ProgramPortEnd("ferolt-gateway")
    {
        // A long gap: pieces written one after the other can never be taken for two commands.
        sim = std::make_unique<GatewayTextSimulator>(dir, "COM1", 400ms);
        sim->start();
        openPort();
    }
    ~GatewayOnPty() override
    {
        closePort();
        sim.reset();
    }
    bool send(std::string_view bytes) { return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()); }

    std::unique_ptr<GatewayTextSimulator> sim;
};

} // namespace

TEST_F(GatewayOnPty, EachBurstIsOneCommandAnsweredAndKept)
{
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(send("GET M"));
    ASSERT_TRUE(send("AIN"));
    const std::string main = GatewayTextSimulator::cannedAnswer("MAIN");
    EXPECT_EQ(main, "MAIN: Tovek-2 1.07\r\nMAIN: status 0\r\n");
    EXPECT_EQ(receive(main.size()), main);
    ASSERT_TRUE(send("SET IPV4=10.0.0.1"));
    EXPECT_EQ(receive(2), "OK");
    ASSERT_TRUE(send("SET APNM=\"a=b\""));
    EXPECT_EQ(receive(2), "OK");
    ASSERT_TRUE(send("SET IPV4=10.0.0.2"));
    EXPECT_EQ(receive(2), "OK");
    ASSERT_TRUE(send("HELLO\r\n"));
    EXPECT_EQ(receive(5), "ERROR");

    ASSERT_TRUE(sim->waitForReplies(5, 5s));
    const auto commands = sim->commands();
    ASSERT_EQ(commands.size(), 5u);
    EXPECT_EQ(commands[0].bytes, "GET MAIN");
    EXPECT_EQ(commands[2].bytes, "SET APNM=\"a=b\"");
    EXPECT_EQ(commands[4].bytes, "HELLO\r\n");
    for (std::size_t i = 1; i < commands.size(); ++i)
        EXPECT_LE(commands[i - 1].at, commands[i].at);
    const std::map<std::string, std::string> kept {{"APNM", "\"a=b\""}, {"IPV4", "10.0.0.2"}};
    EXPECT_EQ(sim->store(), kept);
    sim->clearLog();
    EXPECT_TRUE(sim->commands().empty());
    EXPECT_EQ(sim->replyCount(), 0u);
}

TEST_F(GatewayOnPty, SilentAnswersNothingAndAHangUpEndsTheLine)
{
    ASSERT_GE(fd, 0);
    sim->setSilent(true);
    ASSERT_TRUE(send("GET SERV"));
    ASSERT_TRUE(sim->waitForCommands(1, 5s));
    sim->setSilent(false);
    ASSERT_TRUE(send("SET TEST"));
    // Answers keep the order of the commands: the first bytes are the second one's answer.
    EXPECT_EQ(receive(2), "OK");
    EXPECT_EQ(sim->replyCount(), 1u);
    EXPECT_EQ(sim->store().count("TEST"), 1u);

    sim->hangUp();
    ASSERT_TRUE(waitUntil([&] { return sim->hungUp(); }));
    errno = 0;
    EXPECT_EQ(::write(fd, "GET MAIN", 8), -1);
    EXPECT_EQ(errno, EIO);
}
