#pragma once

#include "SimLog.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Bytes a device logic wants written on one connection, at a moment.
struct SimSend {
    int connection = 0;
    std::chrono::steady_clock::time_point at;
    std::string bytes;
    std::string note;          // the text of the Reply entry once written
    bool held = false;         // waits for SimTcpHost::release() as well as for its moment
    bool closeAfter = false;   // the connection is closed once these bytes are written
    std::optional<SimPacketInfo> packet {}; // a packet's contents, for the Reply entry
    // Called on the host's thread, with its mutex held, once the bytes are written (before the
    // connection is closed, with closeAfter).
    std::function<void(std::chrono::steady_clock::time_point)> done {};
    // The second part of a split: at least this long after the send before it was written, so
    // that a first part written late on a busy machine still leaves the gap between the two.
    std::optional<std::chrono::milliseconds> afterPrevious {};
};

struct SimActions {
    std::vector<SimLogEntry> entries; // logged in order
    std::vector<SimSend> sends;
};

// The device behind the connections: what it does with bytes and time. Every call comes on
// the host's thread with the host's mutex held; what it decides goes into `out`.
class SimStreamLogic {
public:
    using Clock = std::chrono::steady_clock;
    virtual ~SimStreamLogic() = default;

    // A connection was made (accepted, or opened by connect); not called for extra ones.
    virtual void opened(int connection, Clock::time_point now, SimActions& out);
    virtual void received(int connection, std::string_view bytes, Clock::time_point now,
                          SimActions& out) = 0;
    // Called once the moment given by deadline() has come.
    virtual void idle(int connection, Clock::time_point now, SimActions& out);
    virtual std::optional<Clock::time_point> deadline(int connection) const;
    virtual void closed(int connection);
};

// TCP transport of the simulated devices on 127.0.0.1: a listening socket and connections
// made to a port, served by a thread of its own with poll(). Connections are numbered from 1
// in the order they open. Descriptors are closed only on that thread (and by stop()).
// What arrives is logged before anything is written in answer; a Reply entry is logged once
// its bytes are written. Every method may be called from any thread.
class SimTcpHost {
public:
    using Clock = std::chrono::steady_clock;

    explicit SimTcpHost(SimStreamLogic& logic);
    ~SimTcpHost();
    SimTcpHost(const SimTcpHost&) = delete;
    SimTcpHost& operator=(const SimTcpHost&) = delete;

    // Listens on 127.0.0.1 at the port (0: the system chooses); gives the port. Throws
    // std::runtime_error on failure.
    std::uint16_t listen(std::uint16_t port = 0);
    std::uint16_t listeningPort() const;

    // Connects to 127.0.0.1:port and serves the connection; false when it could not connect
    // within the time-out (logged as a Disconnect entry).
    bool connect(std::uint16_t port, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // On the thread, one after the other: connect and close at once, `times` times
    // (one Connect entry "connected and closed (i of n)" each), or open `count` extra
    // connections that stay open and are not the current one ("extra connection (i of n)").
    void connectAndClose(std::uint16_t port, int times);
    void openExtra(std::uint16_t port, int count);

    // Writes bytes on the current connection (the newest one that is not extra) now; false
    // when there is none.
    bool send(std::string bytes, std::string note);
    // Lets `n` held sends go (each one as its moment comes).
    void release(int n = 1);
    // The next `bytes` bytes written on any connection are the last: then it is closed.
    void cutAfter(std::size_t bytes);
    // Closes every connection; returns once they are closed.
    void hangUp();
    std::size_t connectionCount() const;
    // Bytes written on the connections that the peer's TCP has not acknowledged yet (so not
    // yet in its receive queue).
    std::size_t unacknowledged() const;

    // Stops the thread and closes every descriptor. The destructor does it too.
    void stop();

    // Guards the logic's state: hold it to change the logic from another thread.
    std::mutex& mutex() { return mutex_; }
    // Makes the thread look again at the logic's deadlines after a change.
    void wake();

    SimLog& log() { return log_; }
    const SimLog& log() const { return log_; }

private:
    struct Conn {
        int id = 0;
        int fd = -1;
        bool extra = false;
        std::deque<SimSend> out;
        std::size_t written = 0; // of out.front()
    };
    struct Dialer {
        std::uint16_t port = 0;
        int total = 0;
        int done = 0;
        bool keep = false;
        int fd = -1;
        Clock::time_point started;
    };

    void run();
    // The rest is called with mutex_ held, on the thread.
    void apply(SimActions& actions, std::vector<SimLogEntry>& fresh);
    void acceptAll(Clock::time_point now, std::vector<SimLogEntry>& fresh);
    void readFrom(Conn& c, Clock::time_point now, std::vector<SimLogEntry>& fresh);
    void writeDue(Clock::time_point now, std::vector<SimLogEntry>& fresh);
    void dial(Clock::time_point now, bool writable, std::vector<SimLogEntry>& fresh);
    void closeConn(int id, const std::string& how, std::vector<SimLogEntry>& fresh);
    bool frontReady(const Conn& c, Clock::time_point now) const;
    int pollTimeout(Clock::time_point now) const;
    Conn* find(int id);
    int addConn(int fd, bool extra);

    SimStreamLogic& logic_;
    SimLog log_;
    int wakeFd_ = -1;

    mutable std::mutex mutex_;
    std::condition_variable hungUp_;
    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::vector<Conn> conns_;
    std::deque<Dialer> dialers_;
    int nextId_ = 1;
    int credits_ = 0;
    std::optional<std::size_t> cutAfter_;
    unsigned hangUpsAsked_ = 0;
    unsigned hangUpsDone_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};
