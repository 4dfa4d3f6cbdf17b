#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

// What a simulated device answers to a text command: the reply text, or nothing for no
// answer at all. Runs on the simulator's thread, with the simulator's lock held (it must not
// call the simulator back).
using SimTextHandler = std::function<std::optional<std::string>(std::string_view text)>;

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
