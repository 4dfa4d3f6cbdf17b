#pragma once

#include "SimBus.h"
#include "SimEthPacket.h"
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

struct SimGatewayOptions {
    simeth::NetNumber net {10, 0, 0, 1};               // its network number
    std::uint16_t listenPort = 0;                       // server mode; 0: the system chooses
    std::chrono::milliseconds textGap {20};             // a bare text ends after this idle time
    std::chrono::milliseconds packetGap {500};          // an unfinished packet is dropped then
    std::chrono::milliseconds silenceDelay {20};        // the time-out reply comes this late
};

// A gateway on TCP with simulated meters behind it, on a thread of its own, 127.0.0.1 only.
// Server mode: it listens (port()) and the program connects. Calling-in mode: it connects to
// the program's listening port (callIn()).
//
// Every request packet is checked (START, header sum, packet sum, STOP, fixed bytes, body
// kind, the body's end AA, LL, body sum) and logged as a Packet entry, or a BadPacket entry
// naming the failed checks, with its packet number, network number, body kind and payload.
// Answers, with its network number and the request's packet number:
//   A8 frames: handed to the bus model (each logged as a Frame entry); the meters' answers,
//     as the master would see them, come back as a text reply (d = n + 4, status 00) once the
//     last answer is due; no answer: status only, status 01, flags2 "time-out";
//     no good frame: status 01, flags2 "bad M-Bus command";
//   A1 texts, and bare texts (a burst not starting with 01, ended by the idle gap; logged as a
//     Text entry): the text handler's reply (canned replies unless set) as a text reply; such
//     a burst of exactly 300 bytes is a packet with a wrong START byte;
//   a packet that fails a check: status 01 with the flags of what failed.
// Everything written is logged as Reply entries, connections as Connect and Disconnect.
//
// Every method may be called from any thread; switches hold from the next request on.
class SimGateway {
public:
    enum class Mode { Server, CallingIn };

    explicit SimGateway(Mode mode, SimGatewayOptions options = {});
    ~SimGateway();
    SimGateway(const SimGateway&) = delete;
    SimGateway& operator=(const SimGateway&) = delete;

    Mode mode() const { return mode_; }
    // Server mode: the port it listens on.
    std::uint16_t port() const;
    // Calling in: connects to the program's listening port; false when that failed.
    bool callIn(std::uint16_t programPort);
    // Closes every connection (and returns once they are closed).
    void hangUp();
    std::size_t connectionCount() const;
    // Bytes written that the program's TCP has not acknowledged yet.
    std::size_t unacknowledged() const;

    // The meters behind it. Telegrams must fit one reply (at most 251 bytes); a longer one
    // throws std::invalid_argument.
    std::size_t addMeter(SimMeter meter);
    SimMeter meter(std::size_t index) const;
    void setFaults(std::size_t index, const SimFaults& faults);

    // Switches.
    void setNetNumber(const simeth::NetNumber& net);
    void setCorruption(simeth::Corruption what);          // every reply damaged so
    void setStatusOnly(std::optional<simeth::Status> status); // every reply status only
    // Replies cut into chunks of these sizes (the reply repeated when they add up to more):
    // the first goes at once, each further one after a releaseChunk(). Empty: whole.
    void setChunks(std::vector<std::size_t> sizes);
    void releaseChunk(int n = 1);
    void setCoalesced(bool on);     // each reply goes twice in one write
    void setSilent(bool on);        // requests are logged and not answered
    // The next `bytes` bytes it writes are the last; then it closes the connection.
    void disconnectAfter(std::size_t bytes);
    // Bytes it sends on every new connection at once (empty: none).
    void setFirstPacket(std::string bytes);
    // Texts: a handler of its own, or (nullptr) the canned replies.
    void setTextHandler(SimTextHandler handler);
    // Answers with their timing, ahead of the handler (nullptr: none); a reply longer than 251
    // bytes is cut. The reply switches above apply to its packet.
    void setTextResponder(SimTextResponder responder);
    void setCannedReply(std::string text, std::string reply);
    void setDefaultReply(std::optional<std::string> reply);

    // Raw bytes and floods on the current connection (false without one).
    bool sendRaw(std::string bytes);
    bool sendGarbage(std::size_t count, std::uint32_t seed);
    // Floods of the program's listening port, run on the thread (see SimTcpHost).
    void connectAndClose(std::uint16_t programPort, int times);
    void openExtraConnections(std::uint16_t programPort, int count);

    // The log since the start or the last clearLog, oldest first.
    std::vector<SimLogEntry> log() const;
    std::vector<SimLogEntry> packets() const; // Packet and BadPacket entries
    void clearLog();
    bool waitForLog(const SimLog::Condition& condition, std::chrono::milliseconds timeout) const;
    bool waitForPackets(std::size_t n, std::chrono::milliseconds timeout) const; // Packet and BadPacket
    bool waitForReplies(std::size_t n, std::chrono::milliseconds timeout) const;
    // Called on the simulator's thread with every new entry.
    void setObserver(std::function<void(const SimLogEntry&)> observer);

    class Logic;

private:
    Mode mode_;
    std::unique_ptr<Logic> logic_;
    std::unique_ptr<class SimTcpHost> host_; // after logic_: stopped before it goes
};

// n bytes of seeded random data.
std::string simRandomBytes(std::size_t n, std::uint32_t seed);
