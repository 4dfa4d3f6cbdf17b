// The gateway's service port as the program meets it: through <folder>/ports/COM1, one
// command a burst, its answer, the kept settings, and the silent and hang-up switches.
#include "SimGatewayText.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

class GatewayOnPty : public ::testing::Test {
protected:
    GatewayOnPty()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "ferolt-gateway-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            dir = pattern;
        // A long gap: pieces written one after the other can never be taken for two commands.
        sim = std::make_unique<GatewayTextSimulator>(dir, "COM1", 400ms);
        sim->start();
        fd = ::open((dir / "ports" / "COM1").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        termios t {};
        ::tcgetattr(fd, &t);
        cfmakeraw(&t);
        ::tcsetattr(fd, TCSANOW, &t);
    }
    ~GatewayOnPty() override
    {
        if (fd >= 0)
            ::close(fd);
        sim.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    bool send(std::string_view bytes) { return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()); }
    // Reads until n bytes came or the time-out passed.
    std::string receive(std::size_t n, std::chrono::milliseconds timeout = 5s)
    {
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (got.size() < n && std::chrono::steady_clock::now() < deadline) {
            pollfd p {fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            char buf[512];
            const ssize_t r = ::read(fd, buf, sizeof buf);
            if (r > 0)
                got.append(buf, static_cast<std::size_t>(r));
        }
        return got;
    }

    std::filesystem::path dir;
    std::unique_ptr<GatewayTextSimulator> sim;
    int fd = -1;
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
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!sim->hungUp() && std::chrono::steady_clock::now() < deadline)
        ::poll(nullptr, 0, 5);
    ASSERT_TRUE(sim->hungUp());
    errno = 0;
    EXPECT_EQ(::write(fd, "GET MAIN", 8), -1);
    EXPECT_EQ(errno, EIO);
}
