#pragma once

#include "SimBurstFramer.h"
#include "SimDisplay.h"
#include "SimPtyLine.h"

#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>

struct DisplayPtyOptions {
    // When set, start() links <programFolder>/ports/<portName> to the pty; stop() unlinks it.
    std::filesystem::path programFolder;
    std::string portName = "COM1";
    // A command is one burst, ended by this much silence on the line.
    std::chrono::milliseconds idleGap {25};
};

// The display on a serial line of its own (a pseudo-terminal, served on its own thread). Each
// burst the program writes is one command for the display; its reply goes out once the gap
// has passed, and later, in two bursts, or as a hang-up (the master closed) as the display's
// faults say. The display is the caller's and must outlive this object.
class DisplayPtySimulator : private SimPtyLine::Client {
public:
    using Clock = SimPtyLine::Clock;

    explicit DisplayPtySimulator(SimDisplay& display, DisplayPtyOptions options = {});
    ~DisplayPtySimulator() override;

    // start() throws std::runtime_error when the link cannot be made.
    void start();
    void stop();
    bool running() const { return line_.running(); }
    bool hungUp() const { return line_.hungUp(); }
    const std::string& slavePath() const { return line_.slavePath(); }
    std::filesystem::path linkPath() const { return line_.linkPath(); }

    SimDisplay& display() { return display_; }

private:
    std::optional<Clock::time_point> deadline() const override;
    void received(std::string_view bytes, Clock::time_point now, SimPtyLine::Writes& out) override;
    void wrote(std::string bytes, std::string text, Clock::time_point now) override;
    void hungUp(std::string text, Clock::time_point now) override;
    void roundDone() override {}

    void answer(const SimBurstFramer::Burst& burst, Clock::time_point now, SimPtyLine::Writes& out);

    SimDisplay& display_;
    DisplayPtyOptions options_;
    std::mutex mutex_;
    SimBurstFramer framer_;
    SimPtyLine line_; // last: its thread stops before the members above go
};
