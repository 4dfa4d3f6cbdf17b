#include "SimDisplayModule.h"

#include "SimFrameParser.h"
#include "SimGateway.h"
#include "SimTcpHost.h"

#include <algorithm>
#include <map>

namespace {

using Clock = std::chrono::steady_clock;
using Kind = SimLogEntry::Kind;

std::size_t countOf(const std::vector<SimLogEntry>& log, Kind kind)
{
    return static_cast<std::size_t>(
        std::count_if(log.begin(), log.end(), [kind](const SimLogEntry& e) { return e.kind == kind; }));
}

} // namespace

// The display module without its transport: bursts in, log entries and raw replies out.
class SimDisplayModule::Logic : public SimStreamLogic {
public:
    explicit Logic(const SimDisplayOptions& o)
        : options(o)
    {
    }

    void received(int connection, std::string_view bytes, Clock::time_point now, SimActions&) override
    {
        Rx& r = rx_[connection];
        r.buf.append(bytes);
        r.last = now;
    }

    std::optional<Clock::time_point> deadline(int connection) const override
    {
        const auto it = rx_.find(connection);
        if (it == rx_.end() || it->second.buf.empty())
            return std::nullopt;
        return it->second.last + options.gap;
    }

    void idle(int connection, Clock::time_point now, SimActions& out) override
    {
        std::string burst = std::move(rx_[connection].buf);
        rx_[connection].buf.clear();
        if (burst.empty())
            return;
        if (dropLine) {
            out.entries.push_back(entry(Kind::Dropped, now, connection, std::move(burst),
                                        "request not answered: the line is dropped"));
            out.sends.push_back({connection, now, {}, {}, false, true});
            return;
        }
        SimFrameParser parser(options.gap);
        std::vector<SimParsed> parsed = parser.feed(burst, now);
        for (SimParsed& p : parser.idle(now + std::chrono::hours(1)))
            parsed.push_back(std::move(p));
        const bool frames = std::all_of(parsed.begin(), parsed.end(),
                                        [](const SimParsed& p) { return p.kind == SimParsed::Kind::Frame; });
        if (!frames) {
            out.entries.push_back(entry(Kind::Text, now, connection, burst, "text"));
            if (responder) {
                answerTimed(connection, now, responder(burst, now), out);
                return;
            }
            const std::optional<std::string> answer = handler ? handler(burst) : canned(burst);
            if (answer)
                send(connection, now, *answer, "text reply", out, splitGap());
            return;
        }
        for (SimParsed& p : parsed) {
            SimOutcome outcome = bus.handle(p.bytes);
            out.entries.push_back(entry(Kind::Frame, now, connection, std::move(p.bytes), std::move(outcome.what)));
            for (SimAnswer& a : outcome.answers) {
                out.entries.back().answers.push_back(a.delay);
                send(connection, now + a.delay, std::move(a.bytes),
                     a.meters > 1 ? "collision of " + std::to_string(a.meters) + " meters" : "one meter", out,
                     splitGap());
            }
        }
    }

    void closed(int connection) override { rx_.erase(connection); }

    SimDisplayOptions options;
    SimBus bus;
    bool split = false;
    bool dropLine = false;
    SimTextHandler handler;
    SimTextResponder responder;
    SimCannedReplies canned;

private:
    struct Rx {
        std::string buf;
        Clock::time_point last {};
    };

    static SimLogEntry entry(Kind kind, Clock::time_point now, int connection, std::string bytes,
                             std::string text)
    {
        SimLogEntry e;
        e.kind = kind;
        e.time = now;
        e.bytes = std::move(bytes);
        e.text = std::move(text);
        e.connection = connection;
        return e;
    }

    // The gap of the split replies setSplitReplies asks for; none while they are off.
    std::optional<std::chrono::milliseconds> splitGap() const
    {
        return split ? std::optional(options.splitGap) : std::nullopt;
    }

    // Queues a reply; with `gap`, in two writes this far apart (the second at least that long
    // after the first has gone). `sent` is told of each write.
    void send(int connection, Clock::time_point at, std::string bytes, std::string note, SimActions& out,
              std::optional<std::chrono::milliseconds> gap,
              const std::function<void(int, Clock::time_point)>& sent = {})
    {
        if (!gap || bytes.size() < 2) {
            out.sends.push_back({connection, at, std::move(bytes), std::move(note), false, false, {},
                                 simReportPart(sent, 0)});
            return;
        }
        const std::size_t half = bytes.size() / 2;
        out.sends.push_back({connection, at, bytes.substr(0, half), note + ", first part", false, false, {},
                             simReportPart(sent, 1)});
        out.sends.push_back({connection, at + *gap, bytes.substr(half), note + ", second part", false, false, {},
                             simReportPart(sent, 2), *gap});
    }

    void answerTimed(int connection, Clock::time_point now, const SimTextAnswer& a, SimActions& out)
    {
        const Clock::time_point at = now + a.delay;
        if (a.drop)
            out.sends.push_back({connection, at, {}, {}, false, true, {}, simReportPart(a.sent, -1)});
        else if (!a.reply.empty())
            send(connection, at, a.reply, "text reply", out, a.split, a.sent);
    }

    std::map<int, Rx> rx_;
};

SimDisplayModule::SimDisplayModule(SimDisplayOptions options)
    : logic_(std::make_unique<Logic>(options))
    , host_(std::make_unique<SimTcpHost>(*logic_))
{
    host_->listen(options.listenPort);
}

SimDisplayModule::~SimDisplayModule()
{
    host_->stop();
}

std::uint16_t SimDisplayModule::port() const
{
    return host_->listeningPort();
}

void SimDisplayModule::hangUp()
{
    host_->hangUp();
}

std::size_t SimDisplayModule::connectionCount() const
{
    return host_->connectionCount();
}

std::size_t SimDisplayModule::unacknowledged() const
{
    return host_->unacknowledged();
}

std::size_t SimDisplayModule::addMeter(SimMeter meter)
{
    std::lock_guard lock(host_->mutex());
    return logic_->bus.addMeter(std::move(meter));
}

SimMeter SimDisplayModule::meter(std::size_t index) const
{
    std::lock_guard lock(host_->mutex());
    return logic_->bus.meter(index);
}

void SimDisplayModule::setFaults(std::size_t index, const SimFaults& faults)
{
    std::lock_guard lock(host_->mutex());
    logic_->bus.meter(index).setFaults(faults);
}

void SimDisplayModule::setSplitReplies(bool on)
{
    std::lock_guard lock(host_->mutex());
    logic_->split = on;
}

void SimDisplayModule::setDropLine(bool on)
{
    std::lock_guard lock(host_->mutex());
    logic_->dropLine = on;
}

void SimDisplayModule::setTextHandler(SimTextHandler handler)
{
    std::lock_guard lock(host_->mutex());
    logic_->handler = std::move(handler);
}

void SimDisplayModule::setTextResponder(SimTextResponder responder)
{
    std::lock_guard lock(host_->mutex());
    logic_->responder = std::move(responder);
}

void SimDisplayModule::setCannedReply(std::string text, std::string reply)
{
    std::lock_guard lock(host_->mutex());
    logic_->canned.set(std::move(text), std::move(reply));
}

void SimDisplayModule::setDefaultReply(std::optional<std::string> reply)
{
    std::lock_guard lock(host_->mutex());
    logic_->canned.setDefault(std::move(reply));
}

bool SimDisplayModule::sendUnasked(std::size_t count, std::uint32_t seed)
{
    return host_->send(simRandomBytes(count, seed), "unasked random bytes, seed " + std::to_string(seed));
}

bool SimDisplayModule::sendRaw(std::string bytes)
{
    return host_->send(std::move(bytes), "raw bytes");
}

std::vector<SimLogEntry> SimDisplayModule::log() const
{
    return host_->log().entries();
}

std::vector<SimLogEntry> SimDisplayModule::frames() const
{
    std::vector<SimLogEntry> out;
    for (SimLogEntry& e : host_->log().entries())
        if (e.kind == Kind::Frame)
            out.push_back(std::move(e));
    return out;
}

void SimDisplayModule::clearLog()
{
    host_->log().clear();
}

bool SimDisplayModule::waitForLog(const SimLog::Condition& condition, std::chrono::milliseconds timeout) const
{
    return host_->log().waitFor(condition, timeout);
}

bool SimDisplayModule::waitForFrames(std::size_t n, std::chrono::milliseconds timeout) const
{
    return waitForLog([n](const std::vector<SimLogEntry>& log) { return countOf(log, Kind::Frame) >= n; }, timeout);
}

bool SimDisplayModule::waitForReplies(std::size_t n, std::chrono::milliseconds timeout) const
{
    return waitForLog([n](const std::vector<SimLogEntry>& log) { return countOf(log, Kind::Reply) >= n; }, timeout);
}

void SimDisplayModule::setObserver(std::function<void(const SimLogEntry&)> observer)
{
    host_->log().setObserver(std::move(observer));
}
