#pragma once

// Plain sockets on 127.0.0.1 for the link tests: a peer that connects to the program's
// listening port, and a server for the program's client links. They run on the test's
// thread, so every wait keeps the window's events running (the program's socket events
// must go on while the test waits for them). The sockets themselves are RawSocket's.

#include "RawSocket.h"

#include <QTest>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace netpeers {

// One TCP connection; closed when it goes.
class Peer {
public:
    Peer() = default;
    explicit Peer(RawSocket socket) : socket_(std::move(socket)) {}

    // Connects to the program's port (the kernel completes it; the program accepts later).
    static Peer connectTo(int port) { return Peer(RawSocket::connectTo(static_cast<std::uint16_t>(port))); }

    bool valid() const { return socket_.ok(); }
    // The other end has closed (as far as poll() has seen).
    bool isClosed() const { return eof_; }
    int fd() const { return socket_.fd(); }
    // The socket, for reads that wait without the window's events (nothing of the program
    // runs meanwhile).
    RawSocket& raw() { return socket_; }

    bool send(const std::string& bytes)
    {
        std::string_view rest(bytes);
        while (!rest.empty()) {
            const long n = socket_.sendNow(rest);
            if (n < 0)
                return false;
            rest.remove_prefix(static_cast<std::size_t>(n));
            // The program reads only while its events run.
            if (n == 0)
                QTest::qWait(1);
        }
        return true;
    }

    // Takes what has arrived, without waiting.
    void poll()
    {
        if (valid() && !eof_)
            eof_ = !socket_.receiveNow(received_);
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

    void close() { socket_.close(); }

private:
    RawSocket socket_;
    bool eof_ = false;
    std::string received_;
};

// A listening socket on a port the system chooses.
class Server {
public:
    int port() const { return listener_.port(); }
    std::string portText() const { return std::to_string(port()); }

    // The next connection, waiting with the window's events running; invalid after timeout.
    Peer accept(std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        RawSocket socket;
        const bool accepted = QTest::qWaitFor([&] {
            socket = listener_.acceptNow();
            return socket.ok();
        }, static_cast<int>(timeout.count()));
        return accepted ? Peer(std::move(socket)) : Peer();
    }

private:
    RawListener listener_;
};

} // namespace netpeers
