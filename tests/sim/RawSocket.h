#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Plain blocking-free sockets on 127.0.0.1 for tests that talk to the simulators byte by
// byte. Every wait has a time-out.
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

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

// The descriptors this process holds open now.
std::size_t openDescriptorCount();
