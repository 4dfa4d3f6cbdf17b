#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// What a gateway request packet carried, as the gateway simulator read it.
struct SimPacketInfo {
    std::uint16_t packetNo = 0;             // the two bytes at offset 6, high byte first
    std::array<std::uint8_t, 4> net {};     // the network number at offsets 1-4
    std::uint8_t body = 0;                  // A8 an M-Bus frame, A1 a text command
    std::string payload;                    // the frame or the text
};

// One line of a simulator's log.
struct SimLogEntry {
    enum class Kind {
        Frame,      // an M-Bus frame received that passed the checks (and was handled)
        BadFrame,   // a frame received that failed a check; not answered
        Garbage,    // bytes received and skipped on the way to a start byte
        Dropped,    // an unfinished frame (or packet) dropped after an idle gap; not answered
        Reply,      // bytes the simulator wrote to the line
        Packet,     // a gateway request packet that passed every check
        BadPacket,  // a gateway request packet that failed a check (text: which)
        Text,       // a text command received (a packet's text body, or a bare burst)
        Connect,    // a TCP connection made or accepted
        Disconnect, // a TCP connection ended (text: how)
    };
    Kind kind = Kind::Frame;
    std::chrono::steady_clock::time_point time; // steady clock: received, written
    std::string bytes;
    std::string text; // what it was and what came of it, or why it failed
    int connection = 0; // TCP simulators: the connection, numbered from 1 in opening order
    // Packet and BadPacket entries; a gateway's Reply entries too (body: the reply kind at
    // offset 21, A5 for status only; payload: the reply text).
    std::optional<SimPacketInfo> packet {};
    // Frame entries of the bus models: the delay after the frame of each answer the meters
    // gave, earliest first; empty when none answers. Each answer is logged as a Reply once
    // written (a gateway sends a packet's answers together, in one reply).
    std::vector<std::chrono::milliseconds> answers {};

    // Frame tests: a received short frame with this C field (and address, unless -1).
    bool isShortFrame(std::uint8_t c, int address = -1) const;
    bool isReqUd2(int address = -1) const; // C 7B or 5B
    bool isSndNke(int address = -1) const;
    // A received long frame with this C field (unless -1) and CI field (unless -1).
    bool isLongFrame(int c = -1, int ci = -1) const;
    // A request packet that passed the checks, with this body kind (unless -1).
    bool isPacket(int body = -1) const;
};

// "Frame", "BadFrame", ... and a printable line: kind, hex bytes (a packet's payload; long
// byte strings cut), text.
const char* simKindName(SimLogEntry::Kind kind);
std::string simLogLine(const SimLogEntry& entry);

// A log that several threads share: one thread adds, others read and wait for conditions.
// Observers are called outside the lock, on the adding thread.
class SimLog {
public:
    using Condition = std::function<bool(const std::vector<SimLogEntry>&)>;

    void add(std::vector<SimLogEntry> fresh);
    std::vector<SimLogEntry> entries() const;
    std::size_t count(SimLogEntry::Kind kind) const;
    void clear();
    // Waits until the condition holds on the entries; false when the time-out passes first.
    bool waitFor(const Condition& condition, std::chrono::milliseconds timeout) const;
    void setObserver(std::function<void(const SimLogEntry&)> observer);

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<SimLogEntry> entries_;
    std::function<void(const SimLogEntry&)> observer_;
};
