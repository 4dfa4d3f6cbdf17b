#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

// What a simulated device answers to a text command: the reply text, or nothing for no
// answer at all. Runs on the simulator's thread, with the simulator's lock held (it must not
// call the simulator back).
using SimTextHandler = std::function<std::optional<std::string>(std::string_view text)>;

// A text command's answer with its timing, for devices whose answers a test steers command by
// command (the simulated display).
struct SimTextAnswer {
    std::string reply;                              // nothing is sent when empty
    std::chrono::milliseconds delay {0};            // after the command
    std::optional<std::chrono::milliseconds> split; // in two writes this far apart (the display
                                                    // module: two bursts; a gateway: its packet)
    bool drop = false;                              // the connection is closed instead
    // Called on the simulator's thread, with its lock held, as each write goes out (part 0 the
    // whole reply, 1 and 2 the writes of a split one), and as a dropped connection is closed
    // (part -1).
    std::function<void(int part, std::chrono::steady_clock::time_point)> sent;
};
using SimTextResponder =
    std::function<SimTextAnswer(std::string_view text, std::chrono::steady_clock::time_point received)>;

// What a write tells once it has gone out: `sent` of this part (as SimTextAnswer::sent
// numbers them), at the write's moment; nothing when there is no one to tell.
inline std::function<void(std::chrono::steady_clock::time_point)>
simReportPart(const std::function<void(int part, std::chrono::steady_clock::time_point)>& sent, int part)
{
    if (!sent)
        return {};
    return [sent, part](std::chrono::steady_clock::time_point t) { sent(part, t); };
}

// Canned replies: a fixed reply per command text, and one for every other text ("OK" until
// changed; nothing makes the device silent to them).
class SimCannedReplies {
public:
    void set(std::string text, std::string reply) { replies_[std::move(text)] = std::move(reply); }
    void setDefault(std::optional<std::string> reply) { default_ = std::move(reply); }

    std::optional<std::string> operator()(std::string_view text) const
    {
        const auto it = replies_.find(std::string(text));
        return it != replies_.end() ? std::optional<std::string>(it->second) : default_;
    }

private:
    std::map<std::string, std::string> replies_;
    std::optional<std::string> default_ {"OK"};
};
