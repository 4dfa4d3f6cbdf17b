#include "SimTcpHost.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <linux/sockios.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr auto dialTimeout = std::chrono::seconds(5);

sockaddr_in loopback(std::uint16_t port)
{
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// A non-blocking socket with a connect to 127.0.0.1:port under way (or done); -1 on failure.
int startConnect(std::uint16_t port, std::string& error)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::strerror(errno);
        return -1;
    }
    const sockaddr_in a = loopback(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 && errno != EINPROGRESS) {
        error = std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

// The result of a finished connect.
bool connectedOk(int fd, std::string& error)
{
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
        err = errno;
    if (err != 0)
        error = std::strerror(err);
    return err == 0;
}

std::string peerText(int fd)
{
    sockaddr_in a {};
    socklen_t len = sizeof a;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return "?";
    char host[INET_ADDRSTRLEN] = "?";
    ::inet_ntop(AF_INET, &a.sin_addr, host, sizeof host);
    return std::string(host) + ":" + std::to_string(ntohs(a.sin_port));
}

SimLogEntry entry(SimLogEntry::Kind kind, std::chrono::steady_clock::time_point now, int connection,
                  std::string text, std::string bytes = {})
{
    SimLogEntry e;
    e.kind = kind;
    e.time = now;
    e.connection = connection;
    e.text = std::move(text);
    e.bytes = std::move(bytes);
    return e;
}

int msUntil(std::chrono::steady_clock::time_point at, std::chrono::steady_clock::time_point now)
{
    if (at <= now)
        return 0;
    // Round up, so the wait never ends just before the moment and spins.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(at - now).count();
    return static_cast<int>(std::min<long long>(ms, 60000));
}

} // namespace

void SimStreamLogic::opened(int, Clock::time_point, SimActions&) {}
void SimStreamLogic::idle(int, Clock::time_point, SimActions&) {}
std::optional<SimStreamLogic::Clock::time_point> SimStreamLogic::deadline(int) const
{
    return std::nullopt;
}
void SimStreamLogic::closed(int) {}

SimTcpHost::SimTcpHost(SimStreamLogic& logic)
    : logic_(logic)
{
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0)
        throw std::runtime_error(std::string("eventfd: ") + std::strerror(errno));
    thread_ = std::thread([this] { run(); });
}

SimTcpHost::~SimTcpHost()
{
    stop();
    ::close(wakeFd_);
}

void SimTcpHost::stop()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake();
    if (thread_.joinable())
        thread_.join();
    std::lock_guard lock(mutex_);
    for (Conn& c : conns_)
        ::close(c.fd);
    conns_.clear();
    for (Dialer& d : dialers_)
        if (d.fd >= 0)
            ::close(d.fd);
    dialers_.clear();
    if (listenFd_ >= 0)
        ::close(listenFd_);
    listenFd_ = -1;
    ++hangUpsDone_;
    hungUp_.notify_all();
}

void SimTcpHost::wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

std::uint16_t SimTcpHost::listen(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a = loopback(port);
    socklen_t len = sizeof a;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 64) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        const std::string error = std::strerror(errno);
        ::close(fd);
        throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + error);
    }
    {
        std::lock_guard lock(mutex_);
        if (listenFd_ >= 0 || stopping_) {
            ::close(fd);
            throw std::runtime_error("already listening or stopped");
        }
        listenFd_ = fd;
        port_ = ntohs(a.sin_port);
    }
    wake();
    return listeningPort();
}

std::uint16_t SimTcpHost::listeningPort() const
{
    std::lock_guard lock(mutex_);
    return port_;
}

bool SimTcpHost::connect(std::uint16_t port, std::chrono::milliseconds timeout)
{
    std::string error;
    int fd = startConnect(port, error);
    if (fd >= 0) {
        pollfd p {fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(timeout.count()));
        if (ready <= 0 || !connectedOk(fd, error)) {
            if (ready == 0)
                error = "timed out";
            ::close(fd);
            fd = -1;
        }
    }
    const Clock::time_point now = Clock::now();
    std::vector<SimLogEntry> fresh;
    const std::string to = "127.0.0.1:" + std::to_string(port);
    if (fd < 0) {
        fresh.push_back(entry(SimLogEntry::Kind::Disconnect, now, 0, "could not connect to " + to + ": " + error));
    } else {
        std::lock_guard lock(mutex_);
        if (stopping_) {
            ::close(fd);
            return false;
        }
        const int id = addConn(fd, false);
        fresh.push_back(entry(SimLogEntry::Kind::Connect, now, id, "connected to " + to));
        SimActions actions;
        logic_.opened(id, now, actions);
        apply(actions, fresh);
    }
    log_.add(std::move(fresh));
    wake();
    return fd >= 0;
}

void SimTcpHost::connectAndClose(std::uint16_t port, int times)
{
    {
        std::lock_guard lock(mutex_);
        dialers_.push_back({port, times, 0, false, -1, {}});
    }
    wake();
}

void SimTcpHost::openExtra(std::uint16_t port, int count)
{
    {
        std::lock_guard lock(mutex_);
        dialers_.push_back({port, count, 0, true, -1, {}});
    }
    wake();
}

bool SimTcpHost::send(std::string bytes, std::string note)
{
    {
        std::lock_guard lock(mutex_);
        auto it = std::find_if(conns_.rbegin(), conns_.rend(), [](const Conn& c) { return !c.extra; });
        if (it == conns_.rend())
            return false;
        SimActions actions;
        actions.sends.push_back({it->id, Clock::now(), std::move(bytes), std::move(note)});
        std::vector<SimLogEntry> none;
        apply(actions, none);
    }
    wake();
    return true;
}

void SimTcpHost::release(int n)
{
    {
        std::lock_guard lock(mutex_);
        credits_ += n;
    }
    wake();
}

void SimTcpHost::cutAfter(std::size_t bytes)
{
    {
        std::lock_guard lock(mutex_);
        cutAfter_ = bytes;
    }
    wake();
}

void SimTcpHost::hangUp()
{
    std::unique_lock lock(mutex_);
    const unsigned ticket = ++hangUpsAsked_;
    wake();
    hungUp_.wait_for(lock, std::chrono::seconds(10), [&] { return hangUpsDone_ >= ticket || stopping_; });
}

std::size_t SimTcpHost::connectionCount() const
{
    std::lock_guard lock(mutex_);
    return conns_.size();
}

std::size_t SimTcpHost::unacknowledged() const
{
    std::lock_guard lock(mutex_); // descriptors close only with it held
    std::size_t n = 0;
    for (const Conn& c : conns_) {
        int queued = 0;
        if (c.fd >= 0 && ::ioctl(c.fd, SIOCOUTQ, &queued) == 0 && queued > 0)
            n += static_cast<std::size_t>(queued);
    }
    return n;
}

SimTcpHost::Conn* SimTcpHost::find(int id)
{
    for (Conn& c : conns_)
        if (c.id == id)
            return &c;
    return nullptr;
}

int SimTcpHost::addConn(int fd, bool extra)
{
    Conn c;
    c.id = nextId_++;
    c.fd = fd;
    c.extra = extra;
    conns_.push_back(std::move(c));
    return conns_.back().id;
}

void SimTcpHost::apply(SimActions& actions, std::vector<SimLogEntry>& fresh)
{
    for (SimLogEntry& e : actions.entries)
        fresh.push_back(std::move(e));
    actions.entries.clear();
    for (SimSend& s : actions.sends) {
        Conn* c = find(s.connection);
        if (!c)
            continue;
        // In time order, never ahead of what is being written already.
        auto pos = c->out.end();
        while (pos != c->out.begin() && std::prev(pos)->at > s.at
               && !(std::prev(pos) == c->out.begin() && c->written > 0))
            --pos;
        c->out.insert(pos, std::move(s));
    }
    actions.sends.clear();
}

void SimTcpHost::closeConn(int id, const std::string& how, std::vector<SimLogEntry>& fresh)
{
    auto it = std::find_if(conns_.begin(), conns_.end(), [&](const Conn& c) { return c.id == id; });
    if (it == conns_.end())
        return;
    ::close(it->fd);
    conns_.erase(it);
    fresh.push_back(entry(SimLogEntry::Kind::Disconnect, Clock::now(), id, how));
    logic_.closed(id);
}

void SimTcpHost::acceptAll(Clock::time_point now, std::vector<SimLogEntry>& fresh)
{
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        const int id = addConn(fd, false);
        fresh.push_back(entry(SimLogEntry::Kind::Connect, now, id, "accepted from " + peerText(fd)));
        SimActions actions;
        logic_.opened(id, now, actions);
        apply(actions, fresh);
    }
}

void SimTcpHost::readFrom(Conn& conn, Clock::time_point now, std::vector<SimLogEntry>& fresh)
{
    const int id = conn.id;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::recv(conn.fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n > 0) {
            SimActions actions;
            logic_.received(id, std::string_view(buf, static_cast<std::size_t>(n)), now, actions);
            apply(actions, fresh);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n < 0 && errno == EINTR)
            continue;
        closeConn(id, n == 0 ? "closed by the peer" : std::string("receive failed: ") + std::strerror(errno), fresh);
        return;
    }
}

bool SimTcpHost::frontReady(const Conn& c, Clock::time_point now) const
{
    if (c.out.empty() || c.out.front().at > now)
        return false;
    return !c.out.front().held || c.written > 0 || credits_ > 0;
}

void SimTcpHost::writeDue(Clock::time_point now, std::vector<SimLogEntry>& fresh)
{
    std::vector<std::pair<int, std::string>> toClose;
    for (Conn& c : conns_) {
        while (frontReady(c, now)) {
            SimSend& s = c.out.front();
            if (s.held && c.written == 0)
                --credits_;
            s.held = false;
            std::size_t chunk = s.bytes.size() - c.written;
            bool cut = false;
            if (cutAfter_ && *cutAfter_ <= chunk) {
                chunk = *cutAfter_;
                cut = true;
            }
            ssize_t n = 0;
            if (chunk > 0) {
                n = ::send(c.fd, s.bytes.data() + c.written, chunk, MSG_NOSIGNAL | MSG_DONTWAIT);
                if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
                    break; // the socket is full: poll for room
                if (n < 0) {
                    toClose.emplace_back(c.id, std::string("send failed: ") + std::strerror(errno));
                    break;
                }
            }
            const std::size_t sent = static_cast<std::size_t>(n);
            c.written += sent;
            if (cutAfter_)
                *cutAfter_ -= sent;
            if (cut && *cutAfter_ == 0) {
                fresh.push_back(entry(SimLogEntry::Kind::Reply, now, c.id,
                                      s.note + (s.note.empty() ? "" : ", ") + "cut after "
                                          + std::to_string(c.written) + " bytes",
                                      s.bytes.substr(0, c.written)));
                cutAfter_.reset();
                toClose.emplace_back(c.id, "closed by the simulator after the cut");
                break;
            }
            if (c.written < s.bytes.size())
                continue;
            const bool close = s.closeAfter;
            if (!s.bytes.empty()) {
                fresh.push_back(entry(SimLogEntry::Kind::Reply, now, c.id, s.note, std::move(s.bytes)));
                fresh.back().packet = std::move(s.packet);
            }
            const auto done = std::move(s.done);
            c.out.pop_front();
            c.written = 0;
            if (!c.out.empty() && c.out.front().afterPrevious)
                c.out.front().at = std::max(c.out.front().at, now + *c.out.front().afterPrevious);
            if (done)
                done(now);
            if (close) {
                toClose.emplace_back(c.id, "closed by the simulator");
                break;
            }
        }
    }
    for (const auto& [id, how] : toClose)
        closeConn(id, how, fresh);
}

void SimTcpHost::dial(Clock::time_point now, bool writable, std::vector<SimLogEntry>& fresh)
{
    while (!dialers_.empty()) {
        Dialer& d = dialers_.front();
        if (d.done >= d.total) {
            dialers_.pop_front();
            continue;
        }
        const std::string of = " (" + std::to_string(d.done + 1) + " of " + std::to_string(d.total) + ")";
        std::string error;
        if (d.fd < 0) {
            d.fd = startConnect(d.port, error);
            d.started = now;
            if (d.fd < 0) {
                fresh.push_back(entry(SimLogEntry::Kind::Disconnect, now, 0, "could not connect: " + error + of));
                ++d.done;
                continue;
            }
            pollfd p {d.fd, POLLOUT, 0};
            writable = ::poll(&p, 1, 0) > 0;
        }
        if (!writable) {
            if (now - d.started < dialTimeout)
                return;
            error = "timed out";
        }
        const bool ok = writable && connectedOk(d.fd, error);
        ++d.done;
        writable = false;
        if (!ok) {
            ::close(d.fd);
            fresh.push_back(entry(SimLogEntry::Kind::Disconnect, now, 0, "could not connect: " + error + of));
        } else if (d.keep) {
            const int id = addConn(d.fd, true);
            fresh.push_back(entry(SimLogEntry::Kind::Connect, now, id, "extra connection" + of));
        } else {
            ::close(d.fd);
            fresh.push_back(entry(SimLogEntry::Kind::Connect, now, 0, "connected and closed" + of));
        }
        d.fd = -1;
    }
}

int SimTcpHost::pollTimeout(Clock::time_point now) const
{
    int timeout = -1;
    auto consider = [&](int ms) {
        if (timeout < 0 || ms < timeout)
            timeout = ms;
    };
    for (const Conn& c : conns_) {
        // A due send that is still waiting waits for room (POLLOUT), not for time.
        if (!c.out.empty() && c.out.front().at > now
            && (!c.out.front().held || c.written > 0 || credits_ > 0))
            consider(msUntil(c.out.front().at, now));
        if (const auto at = logic_.deadline(c.id))
            consider(msUntil(*at, now));
    }
    if (!dialers_.empty() && dialers_.front().fd >= 0)
        consider(msUntil(dialers_.front().started + dialTimeout, now));
    return timeout;
}

void SimTcpHost::run()
{
    for (;;) {
        std::vector<pollfd> fds;
        std::vector<int> ids; // the connection of each entry of fds from index 3 on
        int timeout;
        std::vector<SimLogEntry> fresh;
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
            if (hangUpsDone_ < hangUpsAsked_) {
                while (!conns_.empty())
                    closeConn(conns_.front().id, "closed by the simulator", fresh);
                hangUpsDone_ = hangUpsAsked_;
                hungUp_.notify_all();
            }
            const Clock::time_point now = Clock::now();
            timeout = pollTimeout(now);
            fds.push_back({wakeFd_, POLLIN, 0});
            fds.push_back({listenFd_, POLLIN, 0});
            fds.push_back({dialers_.empty() ? -1 : dialers_.front().fd, POLLOUT, 0});
            for (const Conn& c : conns_) {
                const bool waitRoom = frontReady(c, now);
                fds.push_back({c.fd, static_cast<short>(POLLIN | (waitRoom ? POLLOUT : 0)), 0});
                ids.push_back(c.id);
            }
            if (!dialers_.empty() && dialers_.front().fd < 0)
                timeout = 0; // a dial to start
        }
        log_.add(std::move(fresh));
        fresh.clear();

        const int ready = ::poll(fds.data(), fds.size(), timeout);
        if (ready < 0 && errno != EINTR)
            return;
        if (fds[0].revents & POLLIN) {
            std::uint64_t count;
            [[maybe_unused]] const ssize_t n = ::read(wakeFd_, &count, sizeof count);
        }
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
            Clock::time_point now = Clock::now();
            if (listenFd_ >= 0 && (fds[1].revents & POLLIN))
                acceptAll(now, fresh);
            dial(now, fds[2].fd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP)), fresh);
            for (std::size_t i = 0; i < ids.size(); ++i)
                if (fds[i + 3].revents & (POLLIN | POLLHUP | POLLERR))
                    if (Conn* c = find(ids[i]))
                        readFrom(*c, now, fresh);
            now = Clock::now();
            std::vector<int> live;
            for (const Conn& c : conns_)
                live.push_back(c.id);
            for (int id : live) {
                const auto at = logic_.deadline(id);
                if (at && *at <= now && find(id)) {
                    SimActions actions;
                    logic_.idle(id, now, actions);
                    apply(actions, fresh);
                }
            }
        }
        // What came in is in the log before anything is written in answer.
        log_.add(std::move(fresh));
        fresh.clear();
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
            writeDue(Clock::now(), fresh);
        }
        log_.add(std::move(fresh));
    }
}
