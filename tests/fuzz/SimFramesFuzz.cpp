// The simulator's frame parser on any byte stream.
//
// Input: the first byte chooses how the rest is cut into reads; the rest is the line's bytes.
// Properties: the same pieces come out whether the bytes arrive in one read or in reads of
// any size within the idle gap; after a pause of the gap between reads the parser starts
// afresh, so each read parses as it would alone; every frame passes the frame checks and is
// a piece of the stream in line order; garbage holds no start byte and comes in runs of at
// most 256 bytes; nothing waits once the line has been idle for the gap.
#include "FuzzCheck.h"
#include "SimFrameParser.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Clock = SimFrameParser::Clock;
using namespace std::chrono_literals;
constexpr auto gap = 50ms;

bool same(const std::vector<SimParsed>& a, const std::vector<SimParsed>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].kind != b[i].kind || a[i].bytes != b[i].bytes || a[i].reason != b[i].reason)
            return false;
    return true;
}

void append(std::vector<SimParsed>& to, std::vector<SimParsed> from)
{
    for (SimParsed& p : from)
        to.push_back(std::move(p));
}

bool passesChecks(std::string_view f)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(f[i])); };
    if (f.size() == 5 && byte(0) == 0x10)
        return byte(3) == ((byte(1) + byte(2)) & 0xFF) && byte(4) == 0x16;
    if (f.size() < 9 || byte(0) != 0x68 || byte(3) != 0x68 || byte(1) != byte(2) || f.size() != byte(1) + 6u)
        return false;
    unsigned sum = 0;
    for (std::size_t i = 4; i + 2 < f.size(); ++i)
        sum += byte(i);
    return byte(f.size() - 2) == (sum & 0xFF) && byte(f.size() - 1) == 0x16;
}

// Reads of 1 to 16 bytes, or of 1 to 256, by a small generator seeded from the first byte.
std::vector<std::string_view> cut(std::string_view bytes, std::uint8_t seed)
{
    std::vector<std::string_view> reads;
    std::uint32_t state = seed * 2654435761u + 1;
    const std::uint32_t most = seed & 0x80 ? 256 : 16;
    while (!bytes.empty()) {
        state = state * 1103515245u + 12345u;
        const std::size_t n = 1 + (state >> 16) % most;
        reads.push_back(bytes.substr(0, n));
        bytes.remove_prefix(std::min(n, bytes.size()));
    }
    return reads;
}

std::vector<SimParsed> parseAlone(std::string_view bytes, Clock::time_point t)
{
    SimFrameParser parser(gap);
    std::vector<SimParsed> out = parser.feed(bytes, t);
    append(out, parser.idle(t + gap));
    FUZZ_CHECK(!parser.idleDeadline());
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const auto t0 = Clock::time_point() + 1h;

    const std::vector<SimParsed> whole = parseAlone(bytes, t0);
    std::size_t at = 0;
    for (const SimParsed& p : whole) {
        FUZZ_CHECK(!p.bytes.empty());
        switch (p.kind) {
        case SimParsed::Kind::Frame: {
            FUZZ_CHECK(passesChecks(p.bytes) && p.reason.empty());
            const std::size_t found = bytes.find(p.bytes, at);
            FUZZ_CHECK(found != std::string_view::npos);
            at = found + p.bytes.size();
            break;
        }
        case SimParsed::Kind::Garbage:
            FUZZ_CHECK(p.bytes.size() <= 256 && p.bytes.find_first_of("\x10\x68") == std::string::npos);
            break;
        case SimParsed::Kind::BadFrame:
            FUZZ_CHECK(!passesChecks(p.bytes) && !p.reason.empty());
            break;
        case SimParsed::Kind::Dropped:
            FUZZ_CHECK(!p.reason.empty());
            break;
        }
    }

    // The same bytes in reads a little apart, all within the gap of each other.
    const std::vector<std::string_view> reads = cut(bytes, data[0]);
    SimFrameParser parser(gap);
    std::vector<SimParsed> pieces;
    auto t = t0;
    for (std::string_view read : reads) {
        append(pieces, parser.feed(read, t));
        append(pieces, parser.idle(t + gap - 1ms));
        t += 1ms * (read.size() % 40);
    }
    append(pieces, parser.idle(t + gap));
    FUZZ_CHECK(!parser.idleDeadline());
    FUZZ_CHECK(same(pieces, whole));

    // The same reads with a pause of the gap before each: each parses as if alone.
    SimFrameParser paused(gap);
    std::vector<SimParsed> afresh, alone;
    t = t0;
    for (std::string_view read : reads) {
        append(afresh, paused.feed(read, t));
        append(alone, parseAlone(read, t));
        t += gap;
    }
    append(afresh, paused.idle(t));
    FUZZ_CHECK(same(afresh, alone));
    return 0;
}
