#pragma once

#include "PtyPair.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// A simulated device's end of a serial line: a pseudo-terminal, its slave optionally linked
// as <programFolder>/ports/<portName>, served on a thread of its own. The thread hands what
// arrives, and the passing of time, to a client (the device's framing and model) and writes
// the client's answers at their moments, so they keep their times whatever the test's
// threads do.
//
// The line keeps the slave open (raw, unlocked) for its whole life, so the program may open
// and close the port as often as it likes; what is written while the port is closed waits in
// the slave's input queue, as on a real line.
class SimPtyLine {
public:
    using Clock = std::chrono::steady_clock;

    struct Options {
        // When set, start() creates <programFolder>/ports/<portName> as a link to the slave
        // and stop() removes it again.
        std::filesystem::path programFolder;
        std::string portName = "COM1";
    };

    // What the client asks the line to do, each at its moment, in the order of the moments.
    class Writes {
    public:
        void write(Clock::time_point at, std::string bytes, std::string text);
        // Two bursts: the second goes out `gap` after the first has gone out whole.
        void writeSplit(Clock::time_point at, std::string first, std::string second,
                        std::chrono::milliseconds gap);
        // Closes the master: the line hangs up for good (after the writes due before it).
        void hangUp(Clock::time_point at, std::string text);

    private:
        friend class SimPtyLine;
        struct Due {
            Clock::time_point at;
            std::string bytes;
            std::string text;
            bool hangUp = false;
            std::string then; // a second burst, `gap` after this one
            std::chrono::milliseconds gap {0};
        };
        std::vector<Due> added_;
    };

    // The device behind the line. Every call comes on the line's thread; all but roundDone()
    // with the client's mutex held.
    class Client {
    public:
        virtual ~Client() = default;
        // When received() should be called again though no byte arrives; nothing: no need.
        virtual std::optional<Clock::time_point> deadline() const = 0;
        // Bytes that arrived at `now` (empty when only time passed).
        virtual void received(std::string_view bytes, Clock::time_point now, Writes& out) = 0;
        // A write went out whole, or failed (`text` then says why).
        virtual void wrote(std::string bytes, std::string text, Clock::time_point now) = 0;
        virtual void hungUp(std::string text, Clock::time_point now) = 0;
        // After each round of the calls above, without the mutex (to notify waiters).
        virtual void roundDone() = 0;
    };

    SimPtyLine(Options options, Client& client, std::mutex& clientMutex);
    ~SimPtyLine();
    SimPtyLine(const SimPtyLine&) = delete;
    SimPtyLine& operator=(const SimPtyLine&) = delete;

    // Creates the port link (when a program folder is set) and starts the thread. Throws
    // std::runtime_error when the link cannot be made. Calling it while running does nothing.
    void start();
    // Stops the thread (writes not yet made are dropped) and removes the port link.
    void stop();
    bool running() const { return running_; }
    bool hungUp() const { return hungUp_; }
    // Closes the master now, from any thread, without waiting for a burst (after the writes
    // already due).
    void hangUpNow(std::string text);

    const std::string& slavePath() const { return pty_.slavePath(); }
    // <programFolder>/ports/<portName>, or empty without a program folder.
    std::filesystem::path linkPath() const;

private:
    using Due = Writes::Due;

    void run();
    void wake();
    void writeDue(Clock::time_point now);
    int pollTimeout(Clock::time_point now) const;

    Options options_;
    Client& client_;
    std::mutex& clientMutex_;
    PtyPair pty_;
    int wakeFd_ = -1;

    // The thread's own once started (hangUpNow adds to due_ under the client's mutex, as
    // the thread uses it); cleared by stop() after the join.
    std::vector<Due> due_;    // waiting for their moment, earliest first
    std::deque<Due> writing_; // due, not yet taken whole by the line
    std::size_t written_ = 0; // bytes of writing_.front() already written

    std::mutex lifeMutex_; // start and stop
    std::thread thread_;
    bool linked_ = false;
    std::atomic<bool> stopping_ {false};
    std::atomic<bool> running_ {false};
    std::atomic<bool> hungUp_ {false};
};
