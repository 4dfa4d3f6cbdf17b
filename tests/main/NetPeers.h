#pragma once

// Plain sockets on 127.0.0.1 for the link tests: a peer that connects to the program's
// listening port, and a server for the program's client links. They run on the test's
// thread, so every wait keeps the window's events running (the program's socket events
// must go on while the test waits for them).

#include <QTest>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>

namespace netpeers {

inline sockaddr_in loopback(int port)
{
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    return a;
}

// One TCP connection; closed when it goes.
class Peer {
public:
    Peer() = default;
    explicit Peer(int fd) : fd_(fd) {}
    Peer(Peer&& o) noexcept : fd_(o.fd_), eof_(o.eof_), received_(std::move(o.received_)) { o.fd_ = -1; }
    Peer& operator=(Peer&& o) noexcept
    {
        close();
        fd_ = o.fd_;
        eof_ = o.eof_;
        received_ = std::move(o.received_);
        o.fd_ = -1;
        return *this;
    }
    ~Peer() { close(); }

    // Connects to the program's port (the kernel completes it; the program accepts later).
    static Peer connectTo(int port)
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in a = loopback(port);
        if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
            ::close(fd);
            return Peer();
        }
        return Peer(fd);
    }

    bool valid() const { return fd_ >= 0; }
    // The other end has closed (as far as poll() has seen).
    bool isClosed() const { return eof_; }
    int fd() const { return fd_; }

    bool send(const std::string& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                return false;
            // The program reads only while its events run.
            QTest::qWait(1);
        }
        return true;
    }

    // Takes what has arrived, without waiting.
    void poll()
    {
        if (fd_ < 0 || eof_)
            return;
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0) {
                received_.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
                eof_ = true;
            return;
        }
    }

    // Waits, with the window's events running, until n bytes have arrived in all.
    bool waitReceived(std::size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        return QTest::qWaitFor([&] { poll(); return received_.size() >= n; }, static_cast<int>(timeout.count()));
    }
    // Waits until the program has closed the connection.
    bool waitClosed(std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        return QTest::qWaitFor([&] { poll(); return eof_; }, static_cast<int>(timeout.count()));
    }
    // The bytes received so far, and taking the first n of them.
    const std::string& received() const { return received_; }
    std::string take(std::size_t n)
    {
        const std::string head = received_.substr(0, n);
        received_.erase(0, n);
        return head;
    }

    void close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
    bool eof_ = false;
    std::string received_;
};

// A listening socket on a port the system chooses.
class Server {
public:
    Server()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_in a = loopback(0);
        socklen_t len = sizeof a;
        if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(fd_, 64) == 0
            && ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port_ = ntohs(a.sin_port);
    }
    ~Server()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    int port() const { return port_; }
    std::string portText() const { return std::to_string(port_); }

    // The next connection, waiting with the window's events running; invalid after timeout.
    Peer accept(std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        int fd = -1;
        const bool accepted = QTest::qWaitFor([&] {
            fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            return fd >= 0;
        }, static_cast<int>(timeout.count()));
        if (!accepted)
            return Peer();
        return Peer(fd);
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

} // namespace netpeers
