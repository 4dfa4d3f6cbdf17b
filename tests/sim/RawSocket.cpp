#include "RawSocket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <filesystem>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

sockaddr_in loopback(std::uint16_t port)
{
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

int msLeft(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

} // namespace

RawSocket::~RawSocket()
{
    close();
}

RawSocket::RawSocket(RawSocket&& other) noexcept
    : fd_(other.fd_)
{
    other.fd_ = -1;
}

RawSocket& RawSocket::operator=(RawSocket&& other) noexcept
{
    if (this != &other) {
        close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

void RawSocket::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

RawSocket RawSocket::connectTo(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return RawSocket();
    const sockaddr_in a = loopback(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return RawSocket();
    }
    return RawSocket(fd);
}

bool RawSocket::write(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string RawSocket::read(std::size_t n, std::chrono::milliseconds timeout)
{
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (got.size() < n) {
        pollfd p {fd_, POLLIN, 0};
        if (::poll(&p, 1, msLeft(deadline)) <= 0)
            break;
        char buf[65536];
        const ssize_t r = ::recv(fd_, buf, std::min(sizeof buf, n - got.size()), MSG_DONTWAIT);
        if (r == 0 || (r < 0 && errno != EAGAIN && errno != EINTR))
            break;
        if (r > 0)
            got.append(buf, static_cast<std::size_t>(r));
    }
    return got;
}

long RawSocket::sendNow(std::string_view bytes)
{
    for (;;) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0)
            return static_cast<long>(n);
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
}

bool RawSocket::receiveNow(std::string& into)
{
    char buf[4096];
    for (;;) {
        const ssize_t n = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
        if (n > 0) {
            into.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

bool RawSocket::pending() const
{
    pollfd p {fd_, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
}

bool RawSocket::waitClosed(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        pollfd p {fd_, POLLIN, 0};
        if (::poll(&p, 1, msLeft(deadline)) <= 0)
            return false;
        char buf[4096];
        const ssize_t r = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
        if (r == 0 || (r < 0 && errno == ECONNRESET))
            return true;
    }
}

RawListener::RawListener()
{
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in a = loopback(0);
    socklen_t len = sizeof a;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 || ::listen(fd_, 64) != 0
        || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return;
    port_ = ntohs(a.sin_port);
}

RawListener::~RawListener()
{
    if (fd_ >= 0)
        ::close(fd_);
}

RawSocket RawListener::accept(std::chrono::milliseconds timeout)
{
    pollfd p {fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0)
        return RawSocket();
    return acceptNow();
}

RawSocket RawListener::acceptNow()
{
    // The listening socket never blocks: without a connection waiting this gives none.
    return RawSocket(::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC));
}

std::size_t openDescriptorCount()
{
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}
