#include "SimGateway.h"

#include "SimFrameParser.h"
#include "SimTcpHost.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <random>
#include <stdexcept>

namespace {

using Clock = std::chrono::steady_clock;
using Kind = SimLogEntry::Kind;

SimLogEntry::Kind kindOf(SimParsed::Kind k)
{
    switch (k) {
    case SimParsed::Kind::Frame:
        return Kind::Frame;
    case SimParsed::Kind::BadFrame:
        return Kind::BadFrame;
    case SimParsed::Kind::Garbage:
        return Kind::Garbage;
    case SimParsed::Kind::Dropped:
        break;
    }
    return Kind::Dropped;
}

std::string bodyName(std::uint8_t body)
{
    static const char digits[] = "0123456789ABCDEF";
    return std::string {digits[body >> 4], digits[body & 0xF]};
}

std::string hexOf(char byte)
{
    return bodyName(static_cast<std::uint8_t>(byte));
}

std::string joined(const std::vector<std::string>& parts)
{
    std::string s;
    for (const std::string& p : parts)
        s += (s.empty() ? "" : ", ") + p;
    return s;
}

} // namespace

std::string simRandomBytes(std::size_t n, std::uint32_t seed)
{
    std::mt19937 gen(seed);
    std::string bytes(n, '\0');
    for (char& b : bytes)
        b = static_cast<char>(gen() & 0xFF);
    return bytes;
}

// The gateway without its transport: requests in, log entries and replies out.
class SimGateway::Logic : public SimStreamLogic {
public:
    explicit Logic(const SimGatewayOptions& o)
        : options(o)
        , net(o.net)
    {
    }

    void opened(int connection, Clock::time_point now, SimActions& out) override
    {
        rx_[connection] = {};
        if (!firstPacket.empty())
            out.sends.push_back({connection, now, firstPacket, "first packet"});
    }

    void received(int connection, std::string_view bytes, Clock::time_point now, SimActions& out) override
    {
        Rx& r = rx_[connection];
        r.last = now;
        while (!bytes.empty()) {
            if (r.buf.empty())
                r.packet = bytes.front() == 0x01;
            if (!r.packet) {
                r.buf.append(bytes);
                return;
            }
            const std::size_t take = std::min(simeth::packetSize - r.buf.size(), bytes.size());
            r.buf.append(bytes.substr(0, take));
            bytes.remove_prefix(take);
            if (r.buf.size() == simeth::packetSize) {
                const std::string packet = std::move(r.buf);
                r.buf.clear();
                handlePacket(connection, packet, now, out);
            }
        }
    }

    std::optional<Clock::time_point> deadline(int connection) const override
    {
        const auto it = rx_.find(connection);
        if (it == rx_.end() || it->second.buf.empty())
            return std::nullopt;
        return it->second.last + (it->second.packet ? options.packetGap : options.textGap);
    }

    void idle(int connection, Clock::time_point now, SimActions& out) override
    {
        Rx& r = rx_[connection];
        std::string waiting = std::move(r.buf);
        r.buf.clear();
        if (waiting.empty())
            return;
        if (r.packet) {
            out.entries.push_back(entry(Kind::Dropped, now, connection, std::move(waiting),
                                        "unfinished packet"));
            return;
        }
        if (waiting.size() == simeth::packetSize) {
            // A packet with a wrong START byte: checked as a packet, not taken for a text.
            handlePacket(connection, waiting, now, out);
            return;
        }
        out.entries.push_back(entry(Kind::Text, now, connection, waiting, "bare text"));
        if (silent)
            return;
        answerText(connection, waiting, 0, now, out);
    }

    void closed(int connection) override { rx_.erase(connection); }

    SimGatewayOptions options;
    SimBus bus;
    simeth::NetNumber net;
    simeth::Corruption corruption = simeth::Corruption::None;
    std::optional<simeth::Status> statusOnly;
    std::vector<std::size_t> chunks;
    bool coalesced = false;
    bool silent = false;
    std::string firstPacket;
    SimTextHandler handler;
    SimTextResponder responder;
    SimCannedReplies canned;

private:
    struct Rx {
        std::string buf;
        bool packet = false; // the bytes waiting are a packet (they began with 01)
        Clock::time_point last {};
        Clock::time_point lastReply {}; // when the latest reply goes
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

    void handlePacket(int connection, const std::string& packet, Clock::time_point now, SimActions& out)
    {
        const simeth::Request q = simeth::readRequest(packet);
        const bool good = q.failures.empty();
        SimLogEntry e = entry(good ? Kind::Packet : Kind::BadPacket, now, connection, packet,
                              bodyName(q.body) + " packet " + std::to_string(q.packetNo) + ", network "
                                  + simeth::netText(q.net));
        if (!good)
            e.text += ": wrong " + joined(q.failures);
        e.packet = SimPacketInfo {q.packetNo, q.net, q.body, q.payload};
        out.entries.push_back(std::move(e));
        if (silent)
            return;
        if (!good)
            reply(connection, now, simeth::statusReply(net, q.packetNo, q.complaint), "status for a bad packet", out);
        else if (q.body == simeth::mbusBody)
            answerFrames(connection, q.payload, q.packetNo, now, out);
        else
            answerText(connection, q.payload, q.packetNo, now, out);
    }

    void answerFrames(int connection, const std::string& payload, std::uint16_t packetNo,
                      Clock::time_point now, SimActions& out)
    {
        SimFrameParser parser(options.textGap);
        std::vector<SimParsed> parsed = parser.feed(payload, now);
        for (SimParsed& p : parser.idle(now + std::chrono::hours(1)))
            parsed.push_back(std::move(p));
        bool anyFrame = false;
        std::string answer;
        std::chrono::milliseconds last {0};
        for (SimParsed& p : parsed) {
            SimLogEntry e = entry(kindOf(p.kind), now, connection, std::move(p.bytes), std::move(p.reason));
            if (e.kind == Kind::Frame) {
                anyFrame = true;
                SimOutcome outcome = bus.handle(e.bytes);
                e.text = std::move(outcome.what);
                for (const SimAnswer& a : outcome.answers) {
                    e.answers.push_back(a.delay);
                    answer += a.bytes;
                    last = std::max(last, a.delay);
                }
            }
            out.entries.push_back(std::move(e));
        }
        if (!anyFrame) {
            reply(connection, now, simeth::statusReply(net, packetNo, {0x01, 0, simeth::f2BadMbus}),
                  "status: bad M-Bus command", out);
        } else if (answer.empty()) {
            reply(connection, now + options.silenceDelay,
                  simeth::statusReply(net, packetNo, {0x01, 0, simeth::f2Timeout}), "status: time-out", out);
        } else {
            std::string note = "M-Bus answer of " + std::to_string(answer.size()) + " bytes";
            if (answer.size() > simeth::maxReplyText)
                note += ", cut to " + std::to_string(simeth::maxReplyText);
            reply(connection, now + last, simeth::textReply(net, packetNo, simeth::mbusBody, answer), note, out);
        }
    }

    void answerText(int connection, const std::string& text, std::uint16_t packetNo,
                    Clock::time_point now, SimActions& out)
    {
        if (responder) {
            const SimTextAnswer a = responder(text, now);
            if (a.drop) {
                Rx& r = rx_[connection];
                const Clock::time_point at = std::max(now + a.delay, r.lastReply);
                r.lastReply = at;
                out.sends.push_back(
                    {connection, at, {}, "connection dropped", false, true, {}, simReportPart(a.sent, -1)});
            } else if (!a.reply.empty()) {
                reply(connection, now + a.delay, simeth::textReply(net, packetNo, simeth::textBody, a.reply),
                      "text reply of " + std::to_string(std::min(a.reply.size(), simeth::maxReplyText)) + " bytes",
                      out, a.split, a.sent);
            }
            return;
        }
        const std::optional<std::string> answer = handler ? handler(text) : canned(text);
        if (!answer)
            return;
        reply(connection, now, simeth::textReply(net, packetNo, simeth::textBody, *answer),
              "text reply of " + std::to_string(std::min(answer->size(), simeth::maxReplyText)) + " bytes", out);
    }

    // What a reply carries, for the log: packet number, network number, kind and text.
    static SimPacketInfo replyInfo(const std::string& p)
    {
        SimPacketInfo info;
        info.packetNo = static_cast<std::uint16_t>(static_cast<unsigned char>(p[6]) << 8 | static_cast<unsigned char>(p[7]));
        for (std::size_t i = 0; i < 4; ++i)
            info.net[i] = static_cast<std::uint8_t>(p[1 + i]);
        info.body = static_cast<std::uint8_t>(p[21]);
        const std::size_t d = static_cast<unsigned char>(p[22]);
        if (info.body != simeth::statusOnly && d > 4)
            info.payload = p.substr(25, d - 4);
        return info;
    }

    // Applies the reply switches and queues what goes out; `split`: in two writes this far
    // apart; `sent` is told of each write.
    void reply(int connection, Clock::time_point at, std::string packet, std::string note, SimActions& out,
               std::optional<std::chrono::milliseconds> split = {},
               const std::function<void(int, Clock::time_point)>& sent = {})
    {
        // One request after the other: no reply overtakes the one before it.
        Rx& r = rx_[connection];
        at = std::max(at, r.lastReply);
        r.lastReply = split ? at + *split : at;
        if (statusOnly) {
            packet = simeth::statusReply(net, static_cast<std::uint16_t>(
                                                  static_cast<unsigned char>(packet[6]) << 8
                                                  | static_cast<unsigned char>(packet[7])),
                                         *statusOnly);
            note = "status only";
        }
        simeth::corrupt(packet, corruption);
        const SimPacketInfo info = replyInfo(packet);
        if (info.body == simeth::statusOnly)
            note += ", status " + hexOf(packet[24]) + " flags1 " + hexOf(packet[26]) + " flags2 " + hexOf(packet[25]);
        std::string stream = packet;
        if (coalesced) {
            stream += packet;
            note += ", twice in one write";
        }
        if (chunks.empty() && split) {
            const std::size_t half = stream.size() / 2;
            out.sends.push_back({connection, at, stream.substr(0, half), note + ", first write", false, false, info,
                                 simReportPart(sent, 1)});
            out.sends.push_back({connection, at + *split, stream.substr(half), note + ", second write", false, false,
                                 info, simReportPart(sent, 2), *split});
            return;
        }
        if (chunks.empty()) {
            out.sends.push_back(
                {connection, at, std::move(stream), std::move(note), false, false, info, simReportPart(sent, 0)});
            return;
        }
        const std::size_t total = std::accumulate(chunks.begin(), chunks.end(), std::size_t {0});
        while (stream.size() < total)
            stream += packet;
        std::size_t from = 0;
        for (std::size_t i = 0; i < chunks.size(); ++i) {
            out.sends.push_back({connection, at, stream.substr(from, chunks[i]),
                                 note + ", chunk " + std::to_string(i + 1) + " of " + std::to_string(chunks.size()),
                                 i > 0, false, info, i + 1 == chunks.size() ? simReportPart(sent, 0) : nullptr});
            from += chunks[i];
        }
    }

    std::map<int, Rx> rx_;
};

SimGateway::SimGateway(Mode mode, SimGatewayOptions options)
    : mode_(mode)
    , logic_(std::make_unique<Logic>(options))
    , host_(std::make_unique<SimTcpHost>(*logic_))
{
    if (mode == Mode::Server)
        host_->listen(options.listenPort);
}

SimGateway::~SimGateway()
{
    host_->stop();
}

std::uint16_t SimGateway::port() const
{
    return host_->listeningPort();
}

bool SimGateway::callIn(std::uint16_t programPort)
{
    return host_->connect(programPort);
}

void SimGateway::hangUp()
{
    host_->hangUp();
}

std::size_t SimGateway::connectionCount() const
{
    return host_->connectionCount();
}

std::size_t SimGateway::unacknowledged() const
{
    return host_->unacknowledged();
}

std::size_t SimGateway::addMeter(SimMeter meter)
{
    if (meter.telegram().size() > simeth::maxReplyText)
        throw std::invalid_argument("a telegram of " + std::to_string(meter.telegram().size())
                                    + " bytes does not fit a gateway reply (at most 251)");
    std::lock_guard lock(host_->mutex());
    return logic_->bus.addMeter(std::move(meter));
}

SimMeter SimGateway::meter(std::size_t index) const
{
    std::lock_guard lock(host_->mutex());
    return logic_->bus.meter(index);
}

void SimGateway::setFaults(std::size_t index, const SimFaults& faults)
{
    std::lock_guard lock(host_->mutex());
    logic_->bus.meter(index).setFaults(faults);
}

void SimGateway::setNetNumber(const simeth::NetNumber& net)
{
    std::lock_guard lock(host_->mutex());
    logic_->net = net;
}

void SimGateway::setCorruption(simeth::Corruption what)
{
    std::lock_guard lock(host_->mutex());
    logic_->corruption = what;
}

void SimGateway::setStatusOnly(std::optional<simeth::Status> status)
{
    std::lock_guard lock(host_->mutex());
    logic_->statusOnly = status;
}

void SimGateway::setChunks(std::vector<std::size_t> sizes)
{
    std::lock_guard lock(host_->mutex());
    logic_->chunks = std::move(sizes);
}

void SimGateway::releaseChunk(int n)
{
    host_->release(n);
}

void SimGateway::setCoalesced(bool on)
{
    std::lock_guard lock(host_->mutex());
    logic_->coalesced = on;
}

void SimGateway::setSilent(bool on)
{
    std::lock_guard lock(host_->mutex());
    logic_->silent = on;
}

void SimGateway::disconnectAfter(std::size_t bytes)
{
    host_->cutAfter(bytes);
}

void SimGateway::setFirstPacket(std::string bytes)
{
    std::lock_guard lock(host_->mutex());
    logic_->firstPacket = std::move(bytes);
}

void SimGateway::setTextHandler(SimTextHandler handler)
{
    std::lock_guard lock(host_->mutex());
    logic_->handler = std::move(handler);
}

void SimGateway::setTextResponder(SimTextResponder responder)
{
    std::lock_guard lock(host_->mutex());
    logic_->responder = std::move(responder);
}

void SimGateway::setCannedReply(std::string text, std::string reply)
{
    std::lock_guard lock(host_->mutex());
    logic_->canned.set(std::move(text), std::move(reply));
}

void SimGateway::setDefaultReply(std::optional<std::string> reply)
{
    std::lock_guard lock(host_->mutex());
    logic_->canned.setDefault(std::move(reply));
}

bool SimGateway::sendRaw(std::string bytes)
{
    return host_->send(std::move(bytes), "raw bytes");
}

bool SimGateway::sendGarbage(std::size_t count, std::uint32_t seed)
{
    return host_->send(simRandomBytes(count, seed), "random bytes, seed " + std::to_string(seed));
}

void SimGateway::connectAndClose(std::uint16_t programPort, int times)
{
    host_->connectAndClose(programPort, times);
}

void SimGateway::openExtraConnections(std::uint16_t programPort, int count)
{
    host_->openExtra(programPort, count);
}

std::vector<SimLogEntry> SimGateway::log() const
{
    return host_->log().entries();
}

std::vector<SimLogEntry> SimGateway::packets() const
{
    std::vector<SimLogEntry> out;
    for (SimLogEntry& e : host_->log().entries())
        if (e.kind == Kind::Packet || e.kind == Kind::BadPacket)
            out.push_back(std::move(e));
    return out;
}

void SimGateway::clearLog()
{
    host_->log().clear();
}

bool SimGateway::waitForLog(const SimLog::Condition& condition, std::chrono::milliseconds timeout) const
{
    return host_->log().waitFor(condition, timeout);
}

bool SimGateway::waitForPackets(std::size_t n, std::chrono::milliseconds timeout) const
{
    return waitForLog([n](const std::vector<SimLogEntry>& log) {
        return static_cast<std::size_t>(std::count_if(log.begin(), log.end(), [](const SimLogEntry& e) {
                   return e.kind == Kind::Packet || e.kind == Kind::BadPacket;
               })) >= n;
    }, timeout);
}

bool SimGateway::waitForReplies(std::size_t n, std::chrono::milliseconds timeout) const
{
    return waitForLog([n](const std::vector<SimLogEntry>& log) {
        return static_cast<std::size_t>(std::count_if(log.begin(), log.end(), [](const SimLogEntry& e) {
                   return e.kind == Kind::Reply;
               })) >= n;
    }, timeout);
}

void SimGateway::setObserver(std::function<void(const SimLogEntry&)> observer)
{
    host_->log().setObserver(std::move(observer));
}
