#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The lines of the log, as byte strings. The log window only shows them; readers of the
// log (the display reply decoders among them) read the lines from here.
class LogModel {
public:
    enum class Change { Appended, Cleared };
    // first and count name the appended lines; both are 0 for Cleared.
    using Listener = std::function<void(Change, std::size_t first, std::size_t count)>;

    // Appends text, split at every CR LF (a lone CR or LF stays inside its line). A text
    // ending in CR LF leaves one empty line after it; an empty text adds one empty line.
    void add(std::string_view text);
    // Removes every line.
    void clear();

    std::size_t count() const { return lines_.size(); }
    // The line at index i, or an empty text past the end.
    const std::string& line(std::size_t i) const;
    const std::vector<std::string>& lines() const { return lines_; }

    void setListener(Listener listener) { listener_ = std::move(listener); }

private:
    std::vector<std::string> lines_;
    Listener listener_;
};
