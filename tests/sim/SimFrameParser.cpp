#include "SimFrameParser.h"

#include <algorithm>

namespace {

constexpr unsigned char shortStart = 0x10;
constexpr unsigned char longStart = 0x68;
constexpr unsigned char stopByte = 0x16;
// Garbage is reported in runs of at most this many bytes, so endless noise cannot grow
// without bound before a start byte or a pause.
constexpr std::size_t garbageRun = 256;

unsigned byteAt(std::string_view b, std::size_t i)
{
    return static_cast<unsigned char>(b[i]);
}

bool isStart(unsigned char b)
{
    return b == shortStart || b == longStart;
}

} // namespace

SimFrameParser::SimFrameParser(std::chrono::milliseconds idleGap)
    : gap_(idleGap)
{
}

SimFrameParser::Examined SimFrameParser::examine(std::string_view b)
{
    Examined e;
    if (byteAt(b, 0) == shortStart) {
        if (b.size() < 5)
            return e;
        std::string reason;
        if (byteAt(b, 3) != ((byteAt(b, 1) + byteAt(b, 2)) & 0xFFu))
            reason = "wrong check sum";
        if (byteAt(b, 4) != stopByte)
            reason += reason.empty() ? "wrong stop byte" : ", wrong stop byte";
        e.size = 5;
        e.verdict = reason.empty() ? Verdict::Complete : Verdict::Bad;
        e.reason = reason;
        return e;
    }
    // Long frame: reject a false start as soon as its head shows it.
    if (b.size() < 2)
        return e;
    const unsigned l = byteAt(b, 1);
    if (l < 3)
        return {Verdict::Bad, 2, "length field below 3"};
    if (b.size() < 3)
        return e;
    if (byteAt(b, 2) != l)
        return {Verdict::Bad, 3, "length fields differ"};
    if (b.size() < 4)
        return e;
    if (byteAt(b, 3) != longStart)
        return {Verdict::Bad, 4, "no second start byte"};
    const std::size_t total = l + 6u;
    if (b.size() < total)
        return e;
    unsigned sum = 0;
    for (std::size_t i = 4; i < 4 + l; ++i)
        sum += byteAt(b, i);
    std::string reason;
    if (byteAt(b, 4 + l) != (sum & 0xFFu))
        reason = "wrong check sum";
    if (byteAt(b, 5 + l) != stopByte)
        reason += reason.empty() ? "wrong stop byte" : ", wrong stop byte";
    e.size = total;
    e.verdict = reason.empty() ? Verdict::Complete : Verdict::Bad;
    e.reason = reason;
    return e;
}

std::string_view SimFrameParser::pending() const
{
    return std::string_view(buf_).substr(head_);
}

void SimFrameParser::consume(std::size_t n)
{
    head_ += n;
    covered_ = covered_ > n ? covered_ - n : 0;
}

void SimFrameParser::compact()
{
    buf_.erase(0, head_);
    head_ = 0;
}

void SimFrameParser::flushGarbage(std::vector<SimParsed>& out, Clock::time_point now)
{
    if (garbage_.empty())
        return;
    out.push_back({SimParsed::Kind::Garbage, garbage_, {}, now});
    garbage_.clear();
}

void SimFrameParser::scan(std::vector<SimParsed>& out, Clock::time_point now)
{
    while (head_ < buf_.size()) {
        const std::string_view b = pending();
        if (!isStart(static_cast<unsigned char>(b[0]))) {
            if (covered_ == 0) {
                garbage_.push_back(b[0]);
                if (garbage_.size() >= garbageRun)
                    flushGarbage(out, now);
            }
            consume(1);
            continue;
        }
        const Examined e = examine(b);
        flushGarbage(out, now);
        if (e.verdict == Verdict::NeedMore)
            return;
        if (e.verdict == Verdict::Complete) {
            out.push_back({SimParsed::Kind::Frame, std::string(b.substr(0, e.size)), {}, now});
            consume(e.size);
            continue;
        }
        // A bad frame: report it unless its bytes were already reported, then look for a
        // start byte again from the byte after this one.
        if (covered_ == 0)
            out.push_back({SimParsed::Kind::BadFrame, std::string(b.substr(0, e.size)), e.reason, now});
        covered_ = std::max(covered_, e.size);
        consume(1);
    }
}

void SimFrameParser::dropPending(std::vector<SimParsed>& out, Clock::time_point now)
{
    flushGarbage(out, now);
    // What is left starts at a start byte and waits for more. Drop it, then look inside it
    // for frames that the false start hid.
    while (head_ < buf_.size()) {
        if (covered_ == 0)
            out.push_back({SimParsed::Kind::Dropped, std::string(pending()),
                           "unfinished frame dropped after an idle gap", now});
        covered_ = buf_.size() - head_;
        consume(1);
        scan(out, now);
    }
    covered_ = 0;
    compact();
    flushGarbage(out, now);
}

std::vector<SimParsed> SimFrameParser::feed(std::string_view bytes, Clock::time_point now)
{
    std::vector<SimParsed> out;
    if ((head_ < buf_.size() || !garbage_.empty()) && now - last_ >= gap_)
        dropPending(out, now);
    // The bytes taken by the last scan go in one step, so a read costs its own size only.
    compact();
    buf_.append(bytes);
    last_ = now;
    scan(out, now);
    return out;
}

std::vector<SimParsed> SimFrameParser::idle(Clock::time_point now)
{
    std::vector<SimParsed> out;
    if ((head_ < buf_.size() || !garbage_.empty()) && now - last_ >= gap_)
        dropPending(out, now);
    return out;
}

std::optional<SimFrameParser::Clock::time_point> SimFrameParser::idleDeadline() const
{
    if (head_ == buf_.size() && garbage_.empty())
        return std::nullopt;
    return last_ + gap_;
}
