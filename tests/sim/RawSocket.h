#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Plain sockets on 127.0.0.1 for tests that talk to the simulators or the program byte by
// byte. Every wait has a time-out. The calls that never wait let a caller wait its own way
// (a test on the window's thread keeps the window's events running meanwhile).
class RawSocket {
public:
    explicit RawSocket(int fd = -1)
        : fd_(fd)
    {
    }
    ~RawSocket();
    RawSocket(RawSocket&& other) noexcept;
    RawSocket& operator=(RawSocket&& other) noexcept;
    RawSocket(const RawSocket&) = delete;
    RawSocket& operator=(const RawSocket&) = delete;

    static RawSocket connectTo(std::uint16_t port);

    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    bool write(std::string_view bytes);
    // Reads until n bytes came, the peer closed or the time-out passed.
    std::string read(std::size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Whether bytes wait now (no waiting).
    bool pending() const;
    // Reads and drops what comes until the peer closes; false when the time-out passes first.
    bool waitClosed(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    void close();

    // Without waiting: sends what the socket takes now and gives how many bytes that was (0
    // when it is full), or -1 when the connection failed.
    long sendNow(std::string_view bytes);
    // Without waiting: appends what has arrived to `into`; false once the peer has closed or
    // the connection failed.
    bool receiveNow(std::string& into);

private:
    int fd_ = -1;
};

// A listening socket on 127.0.0.1 at a port the system chooses.
class RawListener {
public:
    RawListener();
    ~RawListener();
    RawListener(const RawListener&) = delete;
    RawListener& operator=(const RawListener&) = delete;

    std::uint16_t port() const { return port_; }
    RawSocket accept(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Without waiting: the next connection, or an invalid socket when none has come.
    RawSocket acceptNow();

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

// The descriptors this process holds open now.
std::size_t openDescriptorCount();
