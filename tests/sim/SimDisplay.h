#pragma once

// Simulated local display: its table of devices, its text commands and replies, its fault
// switches and its log, apart from any transport.
//
//   SimDisplay display;                 every method is thread-safe; share it with a transport
//   display.setEntry(5, entry);         the table, addresses 1-250 (SimDisplayEntry: unit code,
//   display.entry(5), .addresses()      multiplier, divider, user number, text, start[4] as sent,
//                                       total[4], optional 12-month history)
//   display.setMonthNames(SimMonthNames::Italian); .setT1Layout(true); .setAddrForm(SimAddrForm::Lines)
//   display.settings()                  date, time, refresh, lock, sort and "SET READ" as received
//   display.addFault({SimDisplayFault::Kind::Late, "GET TARR=", "2", 1, 400ms});  .clearFaults()
//       kinds: Silent, Late (delay), Err, Already, Split (second part `delay` later, 40 ms when 0),
//       Drop (the connection), NoFinalCrLf; by command prefix and address, for `times` matches
//       (-1: for good)
//   display.log(), .commands(), .commandCount(), .replyCount(), .clearLog(), .setObserver(f)
//   display.waitForCommands(n, 5s), .waitForReplies(n, 5s), .waitForLog(condition, 5s)
//   Transports: DisplayPtySimulator(display, {folder, "COM1"}) in SimDisplayPty.h (ports/COM1,
//   25 ms gap); simAttachDisplay(module or gateway, display) in SimDisplayTcp.h puts it behind
//   SimDisplayModule and SimGateway (server and calling-in). Their side: display.handle(burst,
//   time) answers a command, then display.recordReply(bytes, time, text) for each write made
//   and display.recordHangUp(time, text) for a dropped connection.

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The monthly readings of one device. Slot n = 1 is the newest month; slot n = k is the month
// k - 1 after it, of the year before.
struct SimDisplayHistory {
    int newestMonth = 1;  // 1 (Jan) to 12 (Dec)
    int newestYear = 24;  // two digits
    int day = 1;          // the day that every month's date shows
    std::array<std::string, 12> values; // values[n - 1]: as the reply shows it ("12 345")
    // dates[n - 1]: the date line slot n shows as it stands, in place of the one its month
    // and year make (a display that writes "05-Mar-24"); empty: the usual "05/Mar/24".
    std::array<std::string, 12> dates;

    bool operator==(const SimDisplayHistory&) const = default;
};

struct SimHistMonth {
    int month = 1; // 1 to 12
    int year = 0;  // two digits
};
// The month and year of slot n (1 to 12).
SimHistMonth simHistSlot(const SimDisplayHistory& history, int n);

struct SimDisplayEntry {
    std::string unit;                  // unit code as sent: "1" kWh, "2" m3, "3" kJ, "4" MJ, or other
    std::string multiplier = "1";
    std::string divider = "1";
    std::string userNumber;
    std::string text;
    std::array<std::string, 4> start {"0", "0", "0", "0"}; // main, P1, P2, cooling, as sent
    std::array<std::string, 4> total {"0", "0", "0", "0"}; // main, P1, P2, cooling
    std::optional<SimDisplayHistory> history;             // none: "No history"

    bool operator==(const SimDisplayEntry&) const = default;
};

enum class SimMonthNames { English, Italian, Russian1251 };
// "GET ADDR": "Active devices: 1-3,7,9", the same with CR between the items, or
// "Active devices: " and then one address a line.
enum class SimAddrForm { List, ListCr, Lines };

// What the display has been told beside its table.
struct SimDisplaySettings {
    std::string date;        // "SET DATE=" text, e.g. "05/03/26"; empty until set
    std::string time;        // "SET TIME=" text, e.g. "09:07"
    std::string refresh;     // "SET REFR=" text, e.g. "04"
    bool locked = false;     // "SET LOCK"
    int sortTables = 0;      // "SET SORT" received
    std::string sortBy;      // "SET SRTP=" text
    int readUpdates = 0;     // "SET READ" received
};

struct SimDisplayFault {
    enum class Kind {
        Silent,      // the command is not heard: no reply, no change
        Late,        // the reply goes out `delay` later
        Err,         // "Err" instead of the reply, no change
        Already,     // "SET ENTR=": "Entry a Already in table" even for a new device
        Split,       // the reply in two parts (bursts, or a packet in two writes)
        Drop,        // the connection drops instead of the reply, no change
        NoFinalCrLf, // the reply's final CR LF is left off
    };
    Kind kind = Kind::Silent;
    std::string prefix;  // commands beginning with this ("" all), e.g. "GET TARR=" or "GET TARR=2,1"
    std::string address; // and naming this address as received ("" any)
    int times = -1;      // for the next `times` matches; -1 for good
    std::chrono::milliseconds delay {0};
};

// The display's answer to one command, for its transport to carry out.
struct SimDisplayReply {
    std::string bytes;                     // nothing to send when empty
    std::chrono::milliseconds delay {0};   // after the command
    std::optional<std::chrono::milliseconds> split; // two parts, the second this much later
    bool drop = false;                     // drop the connection instead of answering
    std::string what;                      // the command in words and what came of it

    // The two parts of a split reply.
    std::string firstPart() const { return bytes.substr(0, bytes.size() / 2); }
    std::string secondPart() const { return bytes.substr(bytes.size() / 2); }
};

struct SimDisplayLogEntry {
    enum class Kind { Command, Reply, HangUp };
    Kind kind = Kind::Command;
    std::chrono::steady_clock::time_point time; // command: its last byte; reply: written
    std::string bytes;
    std::string text; // what came of a command; which part a reply was, or why it failed
    // Command entries: the delay after the command of each write its reply takes, earliest
    // first (a split reply takes two; each is logged as a Reply once made); empty when it
    // gets none. drop: the connection drops instead (logged as a HangUp).
    std::vector<std::chrono::milliseconds> replies {};
    bool drop = false;

    // A command beginning with `prefix`.
    bool isCommand(std::string_view prefix = {}) const;
};

// Kind, bytes (CR, LF and other bytes outside printable ASCII escaped) and text in one line.
std::string simDisplayLogLine(const SimDisplayLogEntry& entry);

class SimDisplay {
public:
    using Clock = std::chrono::steady_clock;
    using LogCondition = std::function<bool(const std::vector<SimDisplayLogEntry>&)>;

    // The table. Addresses outside 1-250 are refused (std::out_of_range).
    void setEntry(int address, SimDisplayEntry entry);
    std::optional<SimDisplayEntry> entry(int address) const;
    void removeEntry(int address);
    std::vector<int> addresses() const; // ascending

    void setMonthNames(SimMonthNames names);
    void setT1Layout(bool on);
    void setAddrForm(SimAddrForm form);
    SimDisplaySettings settings() const;

    void addFault(SimDisplayFault fault);
    void clearFaults();

    // Transports: answers one command received whole at `time` (logged with it); `maxReply`
    // cuts longer replies.
    SimDisplayReply handle(std::string_view command, Clock::time_point time,
                           std::size_t maxReply = std::string::npos);
    void recordReply(std::string bytes, Clock::time_point time, std::string text = {});
    void recordHangUp(Clock::time_point time, std::string text = {});

    // Called with every new log entry, on the transport's thread, outside this object's lock.
    void setObserver(std::function<void(const SimDisplayLogEntry&)> observer);
    std::vector<SimDisplayLogEntry> log() const;
    std::vector<std::string> commands() const; // the commands received, oldest first
    std::size_t commandCount() const;
    std::size_t replyCount() const;            // writes made, a split reply counting twice
    void clearLog();                           // and the counts
    // False when the time-out passes first.
    bool waitForCommands(std::size_t n, std::chrono::milliseconds timeout) const;
    bool waitForReplies(std::size_t n, std::chrono::milliseconds timeout) const;
    bool waitForLog(const LogCondition& condition, std::chrono::milliseconds timeout) const;

private:
    struct Answer {
        std::vector<std::string> lines;
        bool finalCrLf = true;
        std::string what;
    };

    Answer execute(std::string_view command, bool already);
    Answer entryCommand(std::string_view command, std::string_view name, std::string_view args);
    Answer getCommand(std::string_view name, std::string_view args);
    std::vector<std::string> addressLines() const;
    std::string monthName(int month) const;
    void record(SimDisplayLogEntry entry, std::unique_lock<std::mutex>& lock);

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::map<int, SimDisplayEntry> entries_;
    SimMonthNames months_ = SimMonthNames::English;
    bool t1_ = false;
    SimAddrForm addrForm_ = SimAddrForm::List;
    SimDisplaySettings settings_;
    std::vector<SimDisplayFault> faults_;
    std::vector<SimDisplayLogEntry> log_;
    std::size_t commands_ = 0;
    std::size_t replies_ = 0;
    std::function<void(const SimDisplayLogEntry&)> observer_;
};
