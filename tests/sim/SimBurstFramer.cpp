#include "SimBurstFramer.h"

#include <algorithm>

SimBurstFramer::SimBurstFramer(std::chrono::milliseconds gap, std::size_t limit)
    : gap_(gap)
    , limit_(limit == 0 ? 1 : limit)
{
}

SimBurstFramer::Burst SimBurstFramer::take()
{
    Burst b {std::move(buf_), last_};
    buf_.clear();
    return b;
}

std::vector<SimBurstFramer::Burst> SimBurstFramer::feed(std::string_view bytes, Clock::time_point now)
{
    std::vector<Burst> out;
    if (!buf_.empty() && now - last_ >= gap_)
        out.push_back(take());
    if (!bytes.empty())
        last_ = now;
    while (!bytes.empty()) {
        const std::size_t n = std::min(limit_ - buf_.size(), bytes.size());
        buf_.append(bytes.substr(0, n));
        bytes.remove_prefix(n);
        if (buf_.size() == limit_)
            out.push_back(take());
    }
    return out;
}

std::optional<SimBurstFramer::Burst> SimBurstFramer::idle(Clock::time_point now)
{
    if (!buf_.empty() && now - last_ >= gap_)
        return take();
    return std::nullopt;
}

std::optional<SimBurstFramer::Clock::time_point> SimBurstFramer::deadline() const
{
    if (buf_.empty())
        return std::nullopt;
    return last_ + gap_;
}
