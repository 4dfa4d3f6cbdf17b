#pragma once

#include "PtyPair.h"
#include "SimBus.h"
#include "SimFrameParser.h"
#include "SimLog.h"
#include "SimMeter.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct BusSimulatorOptions {
    // When set, start() creates <programFolder>/ports/<portName> as a link to the slave
    // and stop() removes it again.
    std::filesystem::path programFolder;
    std::string portName = "COM1";
    // A frame left unfinished this long is dropped.
    std::chrono::milliseconds idleGap {50};
};

// A wired M-Bus with simulated meters at the far end of a pseudo-terminal, run on a thread
// of its own so that its answers keep their times whatever the test's threads do.
//
// It holds the master side and keeps the slave open (raw, unlocked) for its whole life, so
// the program may open and close the port as often as it likes; what the simulator writes
// while the port is closed waits in the slave's input queue, as on a real line.
//
// Every method may be called from any thread. The meters may be added and their faults
// switched while it runs.
class BusSimulator {
public:
    using Clock = std::chrono::steady_clock;

    explicit BusSimulator(BusSimulatorOptions options = {});
    ~BusSimulator();
    BusSimulator(const BusSimulator&) = delete;
    BusSimulator& operator=(const BusSimulator&) = delete;

    // Creates the port link (when a program folder is set) and starts answering. Throws
    // std::runtime_error when the link cannot be made. Calling it while running does nothing.
    void start();
    // Stops answering (answers not yet sent are dropped) and removes the port link.
    void stop();
    bool running() const;

    const std::string& slavePath() const { return pty_.slavePath(); }
    // <programFolder>/ports/<portName>, or empty without a program folder.
    std::filesystem::path linkPath() const;

    // Adds a meter; gives its index for the calls below.
    std::size_t addMeter(SimMeter meter);
    std::size_t meterCount() const;
    // The meter as it is now (its model follows the configuration frames it obeyed).
    SimMeter meter(std::size_t index) const;
    void setFaults(std::size_t index, const SimFaults& faults);

    // Called on the simulator's thread with every new log entry, after it was logged.
    // The callback may call this object's methods.
    void setObserver(std::function<void(const SimLogEntry&)> observer);

    // The log since start (or since clearLog), oldest first.
    std::vector<SimLogEntry> log() const;
    // Only the received frames that passed the checks.
    std::vector<SimLogEntry> frames() const;
    std::size_t frameCount() const;
    std::size_t replyCount() const;
    // Every byte received from the program, in order.
    std::string receivedBytes() const;
    // Forgets the log and the received bytes; counts start again from 0.
    void clearLog();

    // Waits until at least n frames that passed the checks (or n replies) have been logged
    // since the last clearLog; false when the time-out passes first.
    bool waitForFrames(std::size_t n, std::chrono::milliseconds timeout) const;
    bool waitForReplies(std::size_t n, std::chrono::milliseconds timeout) const;
    // Waits until the condition holds on the log; false when the time-out passes first.
    bool waitForLog(const std::function<bool(const std::vector<SimLogEntry>&)>& condition,
                    std::chrono::milliseconds timeout) const;

private:
    struct Due {
        Clock::time_point at;
        std::string bytes;
        std::size_t meters;
    };

    void run();
    void wake();
    void record(std::vector<SimLogEntry>& fresh, SimLogEntry entry);
    void handleParsed(std::vector<SimParsed> parsed, std::vector<SimLogEntry>& fresh);
    void writeDue(Clock::time_point now, std::vector<SimLogEntry>& fresh);
    void publish(const std::vector<SimLogEntry>& fresh);
    int pollTimeout(Clock::time_point now) const;

    BusSimulatorOptions options_;
    PtyPair pty_;
    int wakeFd_ = -1;
    SimFrameParser parser_; // the simulator thread's own

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    SimBus bus_;
    std::vector<SimLogEntry> log_;
    std::string received_;
    std::size_t frames_ = 0;
    std::size_t replies_ = 0;
    std::vector<Due> due_;        // answers waiting for their moment, earliest first
    std::deque<Due> writing_;     // answers due that the line has not taken whole yet
    std::size_t written_ = 0;     // bytes of writing_.front() already written
    std::function<void(const SimLogEntry&)> observer_;
    bool stopping_ = false;

    std::mutex lifeMutex_; // start and stop
    std::thread thread_;
    bool linked_ = false;
    std::atomic<bool> running_ {false};
};
