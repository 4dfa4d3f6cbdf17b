#pragma once

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

// The program's end of a simulator's line, for the tests of the simulators on a pty: a
// temporary program folder for the simulator's ports/COM1 link, and that link opened raw as the
// program opens it. The folder goes with it.
//
//     class OnPty : public ::testing::Test, protected ProgramPortEnd {
//         OnPty() : ProgramPortEnd("ferolt-display") { ...start the simulator in dir...; openPort(); }
//     };
class ProgramPortEnd {
protected:
    explicit ProgramPortEnd(const std::string& prefix)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()))
            dir = pattern;
    }
    ~ProgramPortEnd()
    {
        closePort();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    ProgramPortEnd(const ProgramPortEnd&) = delete;
    ProgramPortEnd& operator=(const ProgramPortEnd&) = delete;

    // Opens <dir>/ports/COM1 in raw mode; fd stays -1 when it cannot.
    void openPort()
    {
        fd = ::open((dir / "ports" / "COM1").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        termios t {};
        ::tcgetattr(fd, &t);
        cfmakeraw(&t);
        ::tcsetattr(fd, TCSANOW, &t);
    }
    void closePort()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }

    // Reads until n bytes came, the line hung up or the time-out passed.
    std::string receive(std::size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const
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
            else if (r == 0 || (errno != EAGAIN && errno != EINTR))
                break;
        }
        return got;
    }

    std::filesystem::path dir;
    int fd = -1;
};
