#pragma once

#include "SimBus.h"
#include "SimFrameParser.h"
#include "SimLog.h"
#include "SimMeter.h"
#include "SimPtyLine.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct BusSimulatorOptions {
    // When set, start() creates <programFolder>/ports/<portName> as a link to the slave
    // and stop() removes it again.
    std::filesystem::path programFolder;
    std::string portName = "COM1";
    // A frame left unfinished this long is dropped.
    std::chrono::milliseconds idleGap {50};
};

// A wired M-Bus with simulated meters at the far end of a pseudo-terminal (a SimPtyLine, run
// on a thread of its own so that its answers keep their times whatever the test's threads do).
//
// Every method may be called from any thread. The meters may be added and their faults
// switched while it runs.
class BusSimulator : private SimPtyLine::Client {
public:
    using Clock = std::chrono::steady_clock;

    explicit BusSimulator(BusSimulatorOptions options = {});
    ~BusSimulator() override;
    BusSimulator(const BusSimulator&) = delete;
    BusSimulator& operator=(const BusSimulator&) = delete;

    // Creates the port link (when a program folder is set) and starts answering. Throws
    // std::runtime_error when the link cannot be made. Calling it while running does nothing.
    void start();
    // Stops answering (answers not yet sent are dropped) and removes the port link.
    void stop();
    bool running() const;

    const std::string& slavePath() const { return line_.slavePath(); }
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
    // The line's client, on its thread.
    std::optional<Clock::time_point> deadline() const override;
    void received(std::string_view bytes, Clock::time_point now, SimPtyLine::Writes& out) override;
    void wrote(std::string bytes, std::string text, Clock::time_point now) override;
    void hungUp(std::string text, Clock::time_point now) override;
    void roundDone() override;

    void record(SimLogEntry entry);
    void handleParsed(std::vector<SimParsed> parsed, SimPtyLine::Writes& out);

    BusSimulatorOptions options_;
    SimFrameParser parser_; // the line thread's own

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    SimBus bus_;
    std::vector<SimLogEntry> log_;
    std::vector<SimLogEntry> fresh_; // logged in this round, not yet shown to the observer
    std::string received_;
    std::size_t frames_ = 0;
    std::size_t replies_ = 0;
    std::function<void(const SimLogEntry&)> observer_;

    SimPtyLine line_; // last: its thread stops before the members above go
};
