#pragma once

#include "SimBus.h"
#include "SimLog.h"
#include "SimMeter.h"
#include "SimTextReplies.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct SimDisplayOptions {
    std::uint16_t listenPort = 0;             // 0: the system chooses
    std::chrono::milliseconds gap {20};       // a request ends after this idle time
    std::chrono::milliseconds splitGap {50};  // between the two bursts of a split reply
};

// The Ethernet module of the display with simulated meters behind it: a TCP server on
// 127.0.0.1 with a thread of its own. What the program sends comes in bursts, each ended by
// the idle gap. A burst made of M-Bus frames only goes to the bus model (each frame logged as
// a Frame entry) and the meters' answers go back raw, each at its moment; any other burst is
// a text command (a Text entry), answered raw by the text handler (canned replies unless
// set). Everything written is logged as Reply entries, connections as Connect and Disconnect.
//
// Every method may be called from any thread; switches hold from the next request on.
class SimDisplayModule {
public:
    explicit SimDisplayModule(SimDisplayOptions options = {});
    ~SimDisplayModule();
    SimDisplayModule(const SimDisplayModule&) = delete;
    SimDisplayModule& operator=(const SimDisplayModule&) = delete;

    std::uint16_t port() const;
    void hangUp(); // closes every connection, returns once they are closed
    std::size_t connectionCount() const;
    // Bytes written that the program's TCP has not acknowledged yet.
    std::size_t unacknowledged() const;

    std::size_t addMeter(SimMeter meter);
    SimMeter meter(std::size_t index) const;
    void setFaults(std::size_t index, const SimFaults& faults);

    // Switches.
    void setSplitReplies(bool on); // every reply in two bursts, splitGap apart
    void setDropLine(bool on);     // a request closes the connection, unanswered
    void setTextHandler(SimTextHandler handler); // nullptr: the canned replies
    // Answers with their timing, ahead of the handler and the switches above (nullptr: none).
    void setTextResponder(SimTextResponder responder);
    void setCannedReply(std::string text, std::string reply);
    void setDefaultReply(std::optional<std::string> reply);

    // Seeded random bytes, unasked, on the current connection (false without one).
    bool sendUnasked(std::size_t count, std::uint32_t seed);
    bool sendRaw(std::string bytes);

    std::vector<SimLogEntry> log() const;
    std::vector<SimLogEntry> frames() const; // Frame entries
    void clearLog();
    bool waitForLog(const SimLog::Condition& condition, std::chrono::milliseconds timeout) const;
    bool waitForFrames(std::size_t n, std::chrono::milliseconds timeout) const;
    bool waitForReplies(std::size_t n, std::chrono::milliseconds timeout) const;
    void setObserver(std::function<void(const SimLogEntry&)> observer);

    class Logic;

private:
    std::unique_ptr<Logic> logic_;
    std::unique_ptr<class SimTcpHost> host_; // after logic_: stopped before it goes
};
