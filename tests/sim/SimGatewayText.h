#pragma once

#include "SimBurstFramer.h"
#include "SimPtyLine.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// A gateway's RS-232 service port: text commands without a terminator, each burst on the line
// one command. A GET is answered by a canned text of two lines, each ended by CR LF; a SET by
// "OK", and its key and value are kept; anything else by "ERROR".
//
//     GatewayTextSimulator gw({folder});   // ports/COM1
//     gw.start();
//     ... the program sends "GET MAIN" ...
//     ASSERT_TRUE(gw.waitForCommands(1, 5s));
//     EXPECT_EQ(gw.commands()[0].bytes, "GET MAIN");
class GatewayTextSimulator : private SimPtyLine::Client {
public:
    using Clock = SimPtyLine::Clock;

    struct Command {
        std::string bytes;      // exactly as received
        Clock::time_point at;   // arrival of its last byte
    };

    explicit GatewayTextSimulator(std::filesystem::path programFolder = {}, std::string portName = "COM1",
                                  std::chrono::milliseconds idleGap = std::chrono::milliseconds(25));
    ~GatewayTextSimulator() override;

    void start();
    void stop();
    const std::string& slavePath() const { return line_.slavePath(); }
    std::filesystem::path linkPath() const { return line_.linkPath(); }

    // The answer the gateway gives to a command, and what it keeps of it: the key of a SET
    // (up to the first "=") and its value (after it; empty without one).
    static std::string answerTo(std::string_view command);
    static std::string cannedAnswer(std::string_view getKey);
    struct Setting {
        std::string key;
        std::string value;
    };
    static std::optional<Setting> settingOf(std::string_view command);

    // Switches: silent answers nothing; hangUp() closes the line's far end for good.
    void setSilent(bool silent);
    void hangUp();
    bool hungUp() const { return line_.hungUp(); }

    std::vector<Command> commands() const;
    std::size_t replyCount() const;
    // The SET keys and their last values.
    std::map<std::string, std::string> store() const;
    void clearLog();
    bool waitForCommands(std::size_t n, std::chrono::milliseconds timeout) const;
    bool waitForReplies(std::size_t n, std::chrono::milliseconds timeout) const;

private:
    std::optional<Clock::time_point> deadline() const override;
    void received(std::string_view bytes, Clock::time_point now, SimPtyLine::Writes& out) override;
    void wrote(std::string bytes, std::string text, Clock::time_point now) override;
    void hungUp(std::string text, Clock::time_point now) override;
    void roundDone() override { changed_.notify_all(); }
    void command(SimBurstFramer::Burst burst, Clock::time_point now, SimPtyLine::Writes& out);

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    SimBurstFramer framer_;
    std::vector<Command> commands_;
    std::size_t replies_ = 0;
    std::map<std::string, std::string> store_;
    bool silent_ = false;
    SimPtyLine line_;   // last: its thread stops before the members above go
};
