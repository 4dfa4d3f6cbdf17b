#include "BusSimulator.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

SimLogEntry::Kind kindOf(SimParsed::Kind k)
{
    switch (k) {
    case SimParsed::Kind::Frame:
        return SimLogEntry::Kind::Frame;
    case SimParsed::Kind::BadFrame:
        return SimLogEntry::Kind::BadFrame;
    case SimParsed::Kind::Garbage:
        return SimLogEntry::Kind::Garbage;
    case SimParsed::Kind::Dropped:
        break;
    }
    return SimLogEntry::Kind::Dropped;
}

} // namespace

BusSimulator::BusSimulator(BusSimulatorOptions options)
    : options_(std::move(options))
    , parser_(options_.idleGap)
{
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0)
        throw std::runtime_error(std::string("eventfd: ") + std::strerror(errno));
}

BusSimulator::~BusSimulator()
{
    stop();
    ::close(wakeFd_);
}

std::filesystem::path BusSimulator::linkPath() const
{
    if (options_.programFolder.empty())
        return {};
    return options_.programFolder / "ports" / options_.portName;
}

void BusSimulator::start()
{
    std::lock_guard life(lifeMutex_);
    if (thread_.joinable())
        return;
    if (!options_.programFolder.empty()) {
        try {
            pty_.linkAs(linkPath());
        } catch (const std::exception& e) {
            throw std::runtime_error("cannot link " + linkPath().string() + " to "
                                     + slavePath() + ": " + e.what());
        }
        linked_ = true;
    }
    parser_ = SimFrameParser(options_.idleGap);
    {
        std::lock_guard lock(mutex_);
        stopping_ = false;
    }
    thread_ = std::thread([this] { run(); });
    running_ = true;
}

void BusSimulator::stop()
{
    std::lock_guard life(lifeMutex_);
    if (thread_.joinable()) {
        running_ = false;
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake();
        thread_.join();
        std::lock_guard lock(mutex_);
        due_.clear();
        writing_.clear();
        written_ = 0;
    }
    if (linked_) {
        // Remove the link only while it still leads to this simulator's slave.
        std::error_code ec;
        if (std::filesystem::read_symlink(linkPath(), ec) == slavePath() && !ec)
            std::filesystem::remove(linkPath(), ec);
        linked_ = false;
    }
}

bool BusSimulator::running() const
{
    return running_;
}

std::size_t BusSimulator::addMeter(SimMeter meter)
{
    std::lock_guard lock(mutex_);
    return bus_.addMeter(std::move(meter));
}

std::size_t BusSimulator::meterCount() const
{
    std::lock_guard lock(mutex_);
    return bus_.size();
}

SimMeter BusSimulator::meter(std::size_t index) const
{
    std::lock_guard lock(mutex_);
    return bus_.meter(index);
}

void BusSimulator::setFaults(std::size_t index, const SimFaults& faults)
{
    std::lock_guard lock(mutex_);
    bus_.meter(index).setFaults(faults);
}

void BusSimulator::setObserver(std::function<void(const SimLogEntry&)> observer)
{
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

std::vector<SimLogEntry> BusSimulator::log() const
{
    std::lock_guard lock(mutex_);
    return log_;
}

std::vector<SimLogEntry> BusSimulator::frames() const
{
    std::lock_guard lock(mutex_);
    std::vector<SimLogEntry> out;
    for (const SimLogEntry& e : log_)
        if (e.kind == SimLogEntry::Kind::Frame)
            out.push_back(e);
    return out;
}

std::size_t BusSimulator::frameCount() const
{
    std::lock_guard lock(mutex_);
    return frames_;
}

std::size_t BusSimulator::replyCount() const
{
    std::lock_guard lock(mutex_);
    return replies_;
}

std::string BusSimulator::receivedBytes() const
{
    std::lock_guard lock(mutex_);
    return received_;
}

void BusSimulator::clearLog()
{
    std::lock_guard lock(mutex_);
    log_.clear();
    received_.clear();
    frames_ = 0;
    replies_ = 0;
}

bool BusSimulator::waitForFrames(std::size_t n, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return frames_ >= n; });
}

bool BusSimulator::waitForReplies(std::size_t n, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return replies_ >= n; });
}

bool BusSimulator::waitForLog(const std::function<bool(const std::vector<SimLogEntry>&)>& condition,
                              std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return condition(log_); });
}

void BusSimulator::wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

// Called with mutex_ held.
void BusSimulator::record(std::vector<SimLogEntry>& fresh, SimLogEntry entry)
{
    if (entry.kind == SimLogEntry::Kind::Frame)
        ++frames_;
    else if (entry.kind == SimLogEntry::Kind::Reply)
        ++replies_;
    log_.push_back(entry);
    fresh.push_back(std::move(entry));
}

// Called with mutex_ held.
void BusSimulator::handleParsed(std::vector<SimParsed> parsed, std::vector<SimLogEntry>& fresh)
{
    for (SimParsed& p : parsed) {
        SimLogEntry entry {kindOf(p.kind), p.time, std::move(p.bytes), std::move(p.reason)};
        if (entry.kind == SimLogEntry::Kind::Frame) {
            SimOutcome outcome = bus_.handle(entry.bytes);
            entry.text = std::move(outcome.what);
            for (SimAnswer& a : outcome.answers)
                due_.push_back({p.time + a.delay, std::move(a.bytes), a.meters});
            std::stable_sort(due_.begin(), due_.end(),
                             [](const Due& x, const Due& y) { return x.at < y.at; });
        }
        record(fresh, std::move(entry));
    }
}

// Called with mutex_ held.
void BusSimulator::writeDue(Clock::time_point now, std::vector<SimLogEntry>& fresh)
{
    auto firstLater = std::find_if(due_.begin(), due_.end(), [&](const Due& d) { return d.at > now; });
    for (auto it = due_.begin(); it != firstLater; ++it)
        writing_.push_back(std::move(*it));
    due_.erase(due_.begin(), firstLater);

    while (!writing_.empty()) {
        Due& d = writing_.front();
        const ssize_t n = ::write(pty_.masterFd(), d.bytes.data() + written_, d.bytes.size() - written_);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return; // the line is full: poll for room
        if (n > 0)
            written_ += static_cast<std::size_t>(n);
        if (n < 0 || written_ == d.bytes.size()) {
            std::string text = n < 0 ? std::string("write failed: ") + std::strerror(errno)
                : d.meters > 1       ? "collision of " + std::to_string(d.meters) + " meters"
                                     : std::string("one meter");
            record(fresh, {SimLogEntry::Kind::Reply, now, std::move(d.bytes), std::move(text)});
            writing_.pop_front();
            written_ = 0;
        }
    }
}

// Called with mutex_ held.
int BusSimulator::pollTimeout(Clock::time_point now) const
{
    std::optional<Clock::time_point> next = parser_.idleDeadline();
    if (!due_.empty() && (!next || due_.front().at < *next))
        next = due_.front().at;
    if (!next)
        return -1;
    if (*next <= now)
        return 0;
    // Round up, so the wait never ends just before the moment and spins.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(*next - now);
    return static_cast<int>(std::min<std::chrono::milliseconds::rep>(ms.count(), 60000));
}

void BusSimulator::publish(const std::vector<SimLogEntry>& fresh)
{
    if (fresh.empty())
        return;
    std::function<void(const SimLogEntry&)> observer;
    {
        std::lock_guard lock(mutex_);
        observer = observer_;
    }
    changed_.notify_all();
    if (observer)
        for (const SimLogEntry& e : fresh)
            observer(e);
}

void BusSimulator::run()
{
    bool masterHungUp = false;
    for (;;) {
        int timeout;
        short masterEvents = POLLIN;
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
            timeout = pollTimeout(Clock::now());
            if (!writing_.empty())
                masterEvents |= POLLOUT;
        }
        if (masterHungUp && (timeout < 0 || timeout > 10))
            timeout = 10; // a hung-up master polls as ready at once: look again shortly
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {masterHungUp ? -1 : pty_.masterFd(), masterEvents, 0}};
        const int ready = ::poll(fds, 2, timeout);
        if (ready < 0 && errno != EINTR)
            return;
        if (fds[0].revents & POLLIN) {
            std::uint64_t count;
            [[maybe_unused]] const ssize_t n = ::read(wakeFd_, &count, sizeof count);
        }
        masterHungUp = false;

        std::vector<SimLogEntry> fresh;
        std::string chunk;
        if (fds[1].revents & POLLIN) {
            char buf[4096];
            for (;;) {
                const ssize_t n = ::read(pty_.masterFd(), buf, sizeof buf);
                if (n <= 0)
                    break;
                chunk.append(buf, static_cast<std::size_t>(n));
            }
        } else if (fds[1].revents & (POLLHUP | POLLERR)) {
            masterHungUp = true;
        }
        const Clock::time_point now = Clock::now();
        {
            std::lock_guard lock(mutex_);
            if (!chunk.empty()) {
                received_ += chunk;
                handleParsed(parser_.feed(chunk, now), fresh);
            }
            handleParsed(parser_.idle(now), fresh);
            writeDue(Clock::now(), fresh);
        }
        publish(fresh);
    }
}
