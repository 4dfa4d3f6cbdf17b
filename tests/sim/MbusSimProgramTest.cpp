// mbus_sim as a person runs it: from a meters file, into a program folder, until stopped.
#include "PtyPair.h"
#include "RawSocket.h"
#include "SimEthPacket.h"
#include "TelegramBuilder.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using namespace std::chrono_literals;

struct Child {
    pid_t pid = -1;
    int out = -1; // the program's standard output and error
};

Child spawn(const std::vector<std::string>& args)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    Child run;
    if (posix_spawn(&run.pid, MBUS_SIM_PATH, &actions, nullptr, argv.data(), environ) != 0)
        run.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    run.out = pipeFds[0];
    return run;
}

// Everything the program wrote until it closed its output.
std::string readAll(int fd)
{
    std::string text;
    char buf[1024];
    for (;;) {
        pollfd p {fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0)
            break;
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}

// What the program wrote until `needle` appeared (or the time-out passed); leaves the pipe open.
std::string readUntil(int fd, const std::string& needle, std::string& text)
{
    char buf[1024];
    while (text.find(needle) == std::string::npos) {
        pollfd p {fd, POLLIN, 0};
        if (::poll(&p, 1, 10000) <= 0)
            break;
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    return text;
}

// The port printed after `prefix` ("... on 127.0.0.1:PORT,").
std::uint16_t printedPort(int fd, const std::string& prefix, std::string& text)
{
    readUntil(fd, "Ctrl+C", text);
    const std::size_t at = text.find(prefix);
    return at == std::string::npos ? 0 : static_cast<std::uint16_t>(std::stoul(text.substr(at + prefix.size())));
}

int waitExit(pid_t pid)
{
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "ferolt-mbussim-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            path = pattern;
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::filesystem::path path;
};

TEST(MbusSimProgram, AnswersPrintsAndUnlinksOnStop)
{
    TempDir dir;
    ASSERT_FALSE(dir.path.empty());
    {
        std::ofstream(dir.path / "meters.txt") << "# one meter\naddr=1 id=12345678 mfr=ABC records=0C1378563412\n";
    }
    const auto link = dir.path / "folder" / "ports" / "COM2";
    Child run = spawn({"mbus_sim", (dir.path / "meters.txt").string(), (dir.path / "folder").string(), "COM2"});
    ASSERT_GT(run.pid, 0);
    ASSERT_TRUE(waitUntil([&] { return std::filesystem::is_symlink(link); }, 10s));

    const int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const std::string req = shortFrame(0x7B, 1);
    ASSERT_EQ(::write(fd, req.data(), req.size()), static_cast<ssize_t>(req.size()));
    std::string reply;
    ASSERT_TRUE(waitUntil([&] {
        char buf[300];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0)
            reply.append(buf, static_cast<std::size_t>(n));
        return reply.size() >= 27;
    }, 10s));
    ::close(fd);
    EXPECT_EQ(reply.substr(7, 4), hexBytes("78 56 34 12"));

    ASSERT_EQ(::kill(run.pid, SIGTERM), 0);
    const std::string output = readAll(run.out);
    EXPECT_EQ(waitExit(run.pid), 0) << output;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link))) << output;
    EXPECT_NE(output.find("Frame 10 7B 01 7C 16  (REQ_UD2 to 1; telegram)"), std::string::npos) << output;
    EXPECT_NE(output.find("Reply 68 15 15 68 08 01 72 78 56 34 12"), std::string::npos) << output;
}

TEST(MbusSimProgram, DisplayModeAnswersCommandsAndPrintsThem)
{
    TempDir dir;
    ASSERT_FALSE(dir.path.empty());
    {
        std::ofstream(dir.path / "entries.txt") << "addr=4 user=0042 text=Flat 1\n";
    }
    const auto link = dir.path / "folder" / "ports" / "COM2";
    Child run = spawn({"mbus_sim", "display", (dir.path / "folder").string(), "COM2",
                       (dir.path / "entries.txt").string()});
    ASSERT_GT(run.pid, 0);
    ASSERT_TRUE(waitUntil([&] { return std::filesystem::is_symlink(link); }, 10s));

    const int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const std::string command = "GET ENTR=4,2";
    ASSERT_EQ(::write(fd, command.data(), command.size()), static_cast<ssize_t>(command.size()));
    const std::string expected = "User #: 0042\r\nText: Flat 1";
    std::string reply;
    EXPECT_TRUE(waitUntil([&] {
        char buf[300];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0)
            reply.append(buf, static_cast<std::size_t>(n));
        return reply.size() >= expected.size();
    }, 10s));
    ::close(fd);
    EXPECT_EQ(reply, expected);

    ASSERT_EQ(::kill(run.pid, SIGTERM), 0);
    const std::string output = readAll(run.out);
    EXPECT_EQ(waitExit(run.pid), 0) << output;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link))) << output;
    EXPECT_NE(output.find("display with 1 device(s)"), std::string::npos) << output;
    EXPECT_NE(output.find("Command \"GET ENTR=4,2\"  (record 2 of 4)"), std::string::npos) << output;
    EXPECT_NE(output.find("Reply \"User #: 0042\\r\\nText: Flat 1\""), std::string::npos) << output;
}

TEST(MbusSimProgram, DisplayModeBehindTheModuleOnAPortItPrints)
{
    TempDir dir;
    ASSERT_FALSE(dir.path.empty());
    {
        std::ofstream(dir.path / "entries.txt") << "addr=9\n";
    }
    Child run = spawn({"mbus_sim", "display", "--display-module", (dir.path / "entries.txt").string()});
    ASSERT_GT(run.pid, 0);
    std::string output;
    const std::uint16_t port = printedPort(run.out, "display module on 127.0.0.1:", output);
    ASSERT_NE(output.find(" with the display"), std::string::npos) << output;
    ASSERT_NE(port, 0) << output;
    RawSocket conn = RawSocket::connectTo(port);
    ASSERT_TRUE(conn.ok());
    ASSERT_TRUE(conn.write("GET ADDR"));
    EXPECT_EQ(conn.read(19), "Active devices: 9\r\n");
    conn.close();

    ASSERT_EQ(::kill(run.pid, SIGTERM), 0);
    output += readAll(run.out);
    EXPECT_EQ(waitExit(run.pid), 0) << output;
    EXPECT_NE(output.find("Command \"GET ADDR\"  (1 active)"), std::string::npos) << output;
}

TEST(MbusSimProgram, RefusesABadMetersFileWithItsLine)
{
    TempDir dir;
    {
        std::ofstream(dir.path / "meters.txt") << "addr=1 id=12345678\naddr=300 id=1\n";
    }
    Child run = spawn({"mbus_sim", (dir.path / "meters.txt").string(), dir.path.string()});
    ASSERT_GT(run.pid, 0);
    const std::string output = readAll(run.out);
    EXPECT_EQ(waitExit(run.pid), 1);
    EXPECT_NE(output.find("line 2: addr=300"), std::string::npos) << output;
    EXPECT_FALSE(std::filesystem::exists(dir.path / "ports"));

    Child usage = spawn({"mbus_sim"});
    ASSERT_GT(usage.pid, 0);
    EXPECT_NE(readAll(usage.out).find("usage: mbus_sim"), std::string::npos);
    EXPECT_EQ(waitExit(usage.pid), 2);

    { std::ofstream(dir.path / "entries.txt") << "addr=0\n"; }
    Child display =
        spawn({"mbus_sim", "display", dir.path.string(), "COM1", (dir.path / "entries.txt").string()});
    ASSERT_GT(display.pid, 0);
    EXPECT_NE(readAll(display.out).find("line 1: addr=0"), std::string::npos);
    EXPECT_EQ(waitExit(display.pid), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.path / "ports"));
}

TEST(MbusSimProgram, TcpModesAnswerOn127001AndPrintEveryRequest)
{
    TempDir dir;
    {
        std::ofstream(dir.path / "meters.txt") << "addr=1 id=12345678 mfr=ABC records=0C1378563412\n";
    }
    const std::string meters = (dir.path / "meters.txt").string();
    const std::string request = simeth::buildRequest({}, 1, simeth::mbusBody, shortFrame(0x7B, 1));

    // The gateway server, and a gateway calling in to a listening port of the test.
    for (const bool server : {true, false}) {
        RawListener program;
        Child run = server ? spawn({"mbus_sim", "--gateway-server", "--net", "1.2.3.4", meters})
                           : spawn({"mbus_sim", "--calling-in", std::to_string(program.port()), meters});
        ASSERT_GT(run.pid, 0);
        std::string output;
        RawSocket conn;
        if (server)
            conn = RawSocket::connectTo(printedPort(run.out, "gateway server on 127.0.0.1:", output));
        else
            conn = program.accept(10s);
        ASSERT_TRUE(conn.ok()) << output;
        ASSERT_TRUE(conn.write(request));
        const std::string reply = conn.read(300, 10s);
        ASSERT_EQ(reply.size(), 300u);
        EXPECT_EQ(reply.substr(25, 4), hexBytes("68 15 15 68"));
        EXPECT_EQ(reply.substr(1, 4), server ? hexBytes("01 02 03 04") : hexBytes("0A 00 00 01"));
        readUntil(run.out, "Reply", output);
        ASSERT_EQ(::kill(run.pid, SIGTERM), 0);
        output += readAll(run.out);
        EXPECT_EQ(waitExit(run.pid), 0) << output;
        EXPECT_NE(output.find("Packet #1 10 7B 01 7C 16  (A8 packet 1, network 0.0.0.0)"), std::string::npos) << output;
        EXPECT_NE(output.find("Frame #1 10 7B 01 7C 16  (REQ_UD2 to 1; telegram)"), std::string::npos) << output;
    }

    Child run = spawn({"mbus_sim", "--display-module", meters});
    ASSERT_GT(run.pid, 0);
    std::string output;
    RawSocket conn = RawSocket::connectTo(printedPort(run.out, "display module on 127.0.0.1:", output));
    ASSERT_TRUE(conn.ok()) << output;
    ASSERT_TRUE(conn.write(shortFrame(0x7B, 1)));
    EXPECT_EQ(conn.read(27, 10s).substr(0, 4), hexBytes("68 15 15 68"));
    readUntil(run.out, "Reply", output);
    ASSERT_EQ(::kill(run.pid, SIGTERM), 0);
    output += readAll(run.out);
    EXPECT_EQ(waitExit(run.pid), 0) << output;
    EXPECT_NE(output.find("Reply #1 68 15 15 68"), std::string::npos) << output;
}

} // namespace
