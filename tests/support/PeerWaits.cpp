#include "PeerWaits.h"

#include "BusSimulator.h"
#include "SimDisplay.h"
#include "SimDisplayModule.h"
#include "SimGateway.h"

#include <QTcpSocket>

#include <sys/ioctl.h>

#include <algorithm>
#include <cstddef>
#include <optional>

namespace {

using Clock = PeerWaits::Clock;
using Kind = SimLogEntry::Kind;

// The first entry of this kind at or after the frame's write whose bytes are the frame (for
// a gateway: a request packet carrying it).
std::optional<std::size_t> findSent(const std::vector<SimLogEntry>& log, Kind kind, const PeerWaits::Sent& sent)
{
    for (std::size_t i = 0; i < log.size(); ++i) {
        const SimLogEntry& e = log[i];
        if (e.kind != kind || e.time < sent.before)
            continue;
        const std::string& bytes = kind == Kind::Packet && e.packet ? e.packet->payload : e.bytes;
        if (bytes == sent.frame)
            return i;
    }
    return std::nullopt;
}

// How the answers of a frame entry stand against the program's wait.
struct Due {
    std::size_t inTime = 0; // answers due within the time-out
    bool late = false;      // an answer due after it
};

Due dueOf(const std::vector<std::chrono::milliseconds>& delays, std::chrono::milliseconds timeout)
{
    Due d;
    for (std::chrono::milliseconds delay : delays) {
        if (delay <= timeout)
            ++d.inTime;
        else
            d.late = true;
    }
    return d;
}

// The bytes of the first n Reply entries after entry i; nothing while fewer are logged.
template <class Entry>
std::optional<std::size_t> replyBytes(const std::vector<Entry>& log, std::size_t i, std::size_t n)
{
    std::size_t bytes = 0;
    for (std::size_t j = i + 1; j < log.size() && n > 0; ++j) {
        if (log[j].kind == Entry::Kind::Reply) {
            bytes += log[j].bytes.size();
            --n;
        }
    }
    if (n > 0)
        return std::nullopt;
    return bytes;
}

// Every connected socket of the program has handed on what reached it.
bool socketsDrained(TForm11& form)
{
    for (QTcpSocket* s : form.findChildren<QTcpSocket*>()) {
        if (s->state() != QAbstractSocket::ConnectedState)
            continue;
        if (s->bytesAvailable() > 0)
            return false;
        int queued = 0;
        if (::ioctl(static_cast<int>(s->socketDescriptor()), FIONREAD, &queued) == 0 && queued > 0)
            return false;
    }
    return true;
}

std::chrono::milliseconds timeoutOf(const TForm11& form)
{
    return std::chrono::milliseconds(form.responseTimeout());
}

// With an answer due after the time-out the wait lasts that long, as in the program.
bool lateDone(bool late, const PeerWaits::Sent& sent, std::chrono::milliseconds timeout)
{
    return !late || Clock::now() >= sent.before + timeout;
}

// The display's account of a command: its reply's writes made, and `reached` for their bytes;
// a dropped connection once it has dropped.
bool displayDone(TForm11& form, const SimDisplay& display, const PeerWaits::Sent& sent,
                 const std::function<bool(std::size_t bytes)>& reached)
{
    using DKind = SimDisplayLogEntry::Kind;
    const std::vector<SimDisplayLogEntry> log = display.log();
    std::size_t i = 0;
    while (i < log.size() && !(log[i].kind == DKind::Command && log[i].time >= sent.before && log[i].bytes == sent.frame))
        ++i;
    if (i == log.size())
        return false;
    const auto after = log.begin() + static_cast<std::ptrdiff_t>(i) + 1;
    if (log[i].drop)
        return std::any_of(after, log.end(), [](const SimDisplayLogEntry& e) { return e.kind == DKind::HangUp; });
    const std::chrono::milliseconds timeout = timeoutOf(form);
    const Due due = dueOf(log[i].replies, timeout);
    const std::optional<std::size_t> bytes = replyBytes(log, i, due.inTime);
    return bytes && reached(*bytes) && lateDone(due.late, sent, timeout);
}

// A display behind a relay (its Ethernet module, a gateway): the relay has handed its replies
// on and the program's sockets have read them.
template <class Relay>
std::function<bool(const PeerWaits::Sent&)> relayedDone(TForm11& form, const SimDisplay& display, const Relay& relay)
{
    return [&form, &display, &relay](const PeerWaits::Sent& sent) {
        return displayDone(form, display, sent,
                           [&](std::size_t) { return relay.unacknowledged() == 0 && socketsDrained(form); });
    };
}

} // namespace

struct PeerWaits::State {
    std::vector<Sent> sent;
};

PeerWaits::PeerWaits() : state_(std::make_shared<State>()) {}

const std::vector<PeerWaits::Sent>& PeerWaits::sent() const
{
    return state_->sent;
}

PeerWaits::Clock::time_point PeerWaits::firstSent(const std::string& frame) const
{
    for (const Sent& s : state_->sent)
        if (s.frame == frame)
            return s.before;
    return Clock::time_point::max();
}

void PeerWaits::install(TForm11& form, std::function<bool(const Sent&)> done)
{
    std::shared_ptr<State> state = state_;
    state->sent.clear();
    std::function<bool()> peerDone;
    if (done)
        peerDone = [state, done = std::move(done)] { return state->sent.empty() || done(state->sent.back()); };
    form.setPeerForTest({
        [state](const std::string& frame, Clock::time_point before) { state->sent.push_back({frame, before}); },
        std::move(peerDone),
    });
}

void PeerWaits::record(TForm11& form)
{
    install(form, nullptr);
}

void PeerWaits::follow(TForm11& form, const BusSimulator& bus)
{
    install(form, [&form, &bus](const Sent& sent) {
        if (!form.Comm1.Active())
            return true;   // nothing reaches a closed port
        const std::vector<SimLogEntry> log = bus.log();
        const std::optional<std::size_t> i = findSent(log, Kind::Frame, sent);
        if (!i)
            return false;
        const Due due = dueOf(log[*i].answers, timeoutOf(form));
        const std::optional<std::size_t> bytes = replyBytes(log, *i, due.inTime);
        // The line hands written bytes on a little later: they must be in the port's queue.
        return bytes && form.Comm1.InQueCount() >= static_cast<int>(*bytes) && lateDone(due.late, sent, timeoutOf(form));
    });
}

void PeerWaits::follow(TForm11& form, const SimGateway& gateway)
{
    install(form, [&form, &gateway](const Sent& sent) {
        const std::vector<SimLogEntry> log = gateway.log();
        const std::optional<std::size_t> i = findSent(log, Kind::Packet, sent);
        if (!i)
            return false;
        // The packet's frames follow it; its one reply comes when their last answer is due.
        bool late = false;
        for (std::size_t j = *i + 1; j < log.size() && log[j].kind == Kind::Frame; ++j)
            late = late || dueOf(log[j].answers, timeoutOf(form)).late;
        if (late)
            return lateDone(late, sent, timeoutOf(form));
        const std::uint16_t packetNo = log[*i].packet->packetNo;
        const bool replied = std::any_of(log.begin() + static_cast<std::ptrdiff_t>(*i) + 1, log.end(),
                                         [&](const SimLogEntry& e) {
                                             return e.kind == Kind::Reply && e.packet && e.packet->packetNo == packetNo;
                                         });
        return replied && gateway.unacknowledged() == 0 && socketsDrained(form);
    });
}

void PeerWaits::follow(TForm11& form, const SimDisplay& display)
{
    install(form, [&form, &display](const Sent& sent) {
        return !form.Comm1.Active() || displayDone(form, display, sent, [&form](std::size_t bytes) {
            return form.Comm1.InQueCount() >= static_cast<int>(bytes);
        });
    });
}

void PeerWaits::follow(TForm11& form, const SimDisplay& display, const SimDisplayModule& module)
{
    install(form, relayedDone(form, display, module));
}

void PeerWaits::follow(TForm11& form, const SimDisplay& display, const SimGateway& gateway)
{
    install(form, relayedDone(form, display, gateway));
}

void PeerWaits::follow(TForm11& form, const SimDisplayModule& module)
{
    install(form, [&form, &module](const Sent& sent) {
        const std::vector<SimLogEntry> log = module.log();
        const std::optional<std::size_t> i = findSent(log, Kind::Frame, sent);
        if (!i)
            return false;
        const Due due = dueOf(log[*i].answers, timeoutOf(form));
        return replyBytes(log, *i, due.inTime) && module.unacknowledged() == 0 && socketsDrained(form)
            && lateDone(due.late, sent, timeoutOf(form));
    });
}
