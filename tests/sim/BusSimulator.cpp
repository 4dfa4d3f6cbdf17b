#include "BusSimulator.h"

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
    , line_({options_.programFolder, options_.portName}, *this, mutex_)
{
}

BusSimulator::~BusSimulator()
{
    line_.stop();
}

std::filesystem::path BusSimulator::linkPath() const
{
    return line_.linkPath();
}

void BusSimulator::start()
{
    if (line_.running())
        return;
    {
        std::lock_guard lock(mutex_);
        parser_ = SimFrameParser(options_.idleGap);
    }
    line_.start();
}

void BusSimulator::stop()
{
    line_.stop();
}

bool BusSimulator::running() const
{
    return line_.running();
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

// The line's calls below come with mutex_ held, but for roundDone().

void BusSimulator::record(SimLogEntry entry)
{
    if (entry.kind == SimLogEntry::Kind::Frame)
        ++frames_;
    else if (entry.kind == SimLogEntry::Kind::Reply)
        ++replies_;
    log_.push_back(entry);
    fresh_.push_back(std::move(entry));
}

void BusSimulator::handleParsed(std::vector<SimParsed> parsed, SimPtyLine::Writes& out)
{
    for (SimParsed& p : parsed) {
        SimLogEntry entry {kindOf(p.kind), p.time, std::move(p.bytes), std::move(p.reason)};
        if (entry.kind == SimLogEntry::Kind::Frame) {
            SimOutcome outcome = bus_.handle(entry.bytes);
            entry.text = std::move(outcome.what);
            for (SimAnswer& a : outcome.answers) {
                entry.answers.push_back(a.delay);
                out.write(p.time + a.delay, std::move(a.bytes),
                          a.meters > 1 ? "collision of " + std::to_string(a.meters) + " meters"
                                       : std::string("one meter"));
            }
        }
        record(std::move(entry));
    }
}

std::optional<BusSimulator::Clock::time_point> BusSimulator::deadline() const
{
    return parser_.idleDeadline();
}

void BusSimulator::received(std::string_view bytes, Clock::time_point now, SimPtyLine::Writes& out)
{
    if (!bytes.empty()) {
        received_ += bytes;
        handleParsed(parser_.feed(bytes, now), out);
    }
    handleParsed(parser_.idle(now), out);
}

void BusSimulator::wrote(std::string bytes, std::string text, Clock::time_point now)
{
    record({SimLogEntry::Kind::Reply, now, std::move(bytes), std::move(text)});
}

void BusSimulator::hungUp(std::string, Clock::time_point)
{
    // The bus never asks its line to hang up.
}

void BusSimulator::roundDone()
{
    std::vector<SimLogEntry> fresh;
    std::function<void(const SimLogEntry&)> observer;
    {
        std::lock_guard lock(mutex_);
        fresh.swap(fresh_);
        observer = observer_;
    }
    if (fresh.empty())
        return;
    changed_.notify_all();
    if (observer)
        for (const SimLogEntry& e : fresh)
            observer(e);
}
