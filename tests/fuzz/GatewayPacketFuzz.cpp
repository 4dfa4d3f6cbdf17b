// The gateway links' reply assembly and the reply checks, on any bytes.
//
// Input: byte 0 gives m (0..15), the next m bytes the sizes of the reads (cycled; 0 reads a
// whole packet), the rest is the stream a gateway sends.
//
// Properties:
// - Reads that split the stream anywhere inside its 300-byte packets give the same packets
//   and log lines as one read per packet, and those are the reply checks of each packet.
// - Reads that run past a packet's end cost the block with "Wrong byte count in the
//   telegram, " and the count it would have reached; the block never holds more than 300.
// - A block of any size is checked without a read outside it: a failed check is one line and
//   gives nothing; a good one names the device of bytes 1-4, takes the text of bytes 25 to
//   20+d and the status lines of the bytes the layout gives.
#include "EthPacket.h"
#include "FuzzCheck.h"
#include "GatewayRxBlock.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

unsigned at(std::string_view b, std::size_t i) { return static_cast<unsigned char>(b[i]); }

unsigned sumOf(std::string_view b, std::size_t from, std::size_t to)
{
    unsigned s = 0;
    for (std::size_t i = from; i <= to; ++i)
        s += at(b, i);
    return s & 0xFF;
}

// The four checks in their order on a block of at least 300 bytes: 0 when all pass, else the
// number of the one that fails.
int firstFailure(std::string_view r)
{
    const std::size_t n = r.size();
    if (at(r, 0) != 0x01)
        return 1;
    if (sumOf(r, 0, 18) != at(r, 19))
        return 2;
    if (sumOf(r, 0, n - 3) != at(r, n - 2))
        return 3;
    if (at(r, n - 1) != 0x04)
        return 4;
    return 0;
}

void checkBlock(std::string_view bytes)
{
    // An exact copy on the heap, so that the sanitizer sees any read past its end.
    const auto copy = std::make_unique<char[]>(bytes.size() + 1);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    const std::string_view block(copy.get(), bytes.size());
    const EthReplyCheck r = CheckEthReply(block);

    FUZZ_CHECK(!r.lines.empty());
    // Short blocks are never passed by the links; for them only the bounds matter.
    if (block.size() < 300) {
        FUZZ_CHECK(r.netNumber || (r.lines.size() == 1 && r.text.empty()));
        return;
    }
    const int failed = firstFailure(block);
    static const char* const failures[] = {
        nullptr,
        "Error in START byte of ethernet response...",
        "Error in header CRC of ethernet response...",
        "Error in packet CRC of ethernet response...",
        "Error in STOP byte of ethernet response...",
    };
    if (failed) {
        FUZZ_CHECK(r.lines == Lines {failures[failed]});
        FUZZ_CHECK(r.text.empty() && !r.netNumber);
        return;
    }
    const NetNumberBytes device {static_cast<std::uint8_t>(at(block, 1)), static_cast<std::uint8_t>(at(block, 2)),
                                 static_cast<std::uint8_t>(at(block, 3)), static_cast<std::uint8_t>(at(block, 4))};
    FUZZ_CHECK(r.netNumber && *r.netNumber == device);
    FUZZ_CHECK(r.lines[0] == "Device " + std::to_string(device[0]) + "." + std::to_string(device[1]) + "."
                                 + std::to_string(device[2]) + "." + std::to_string(device[3]));
    Lines status;
    if (at(block, 21) == 0xA5) {
        FUZZ_CHECK(r.text.empty());
        status = ReportEthStatus(static_cast<std::uint8_t>(at(block, 24)), static_cast<std::uint8_t>(at(block, 26)),
                                 static_cast<std::uint8_t>(at(block, 25)));
    } else {
        const std::size_t d = at(block, 22);
        FUZZ_CHECK(r.text == (d < 5 ? std::string() : std::string(block.substr(25, d - 4))));
        status = ReportEthStatus(static_cast<std::uint8_t>(at(block, d + 28)),
                                 static_cast<std::uint8_t>(at(block, d + 30)),
                                 static_cast<std::uint8_t>(at(block, d + 29)));
    }
    FUZZ_CHECK(Lines(r.lines.begin() + 1, r.lines.end()) == status);
}

struct Outcome {
    Lines lines;
    std::vector<std::string> texts;   // the reply text of each checked packet
};

void take(Outcome& o, const GatewayRxBlock::Step& step)
{
    o.lines.insert(o.lines.end(), step.reply.lines.begin(), step.reply.lines.end());
    if (step.checked)
        o.texts.push_back(step.reply.text);
}

void checkAssembly(std::string_view sizes, std::string_view stream)
{
    // One read per packet.
    Outcome whole;
    GatewayRxBlock one;
    for (std::size_t p = 0; p + 300 <= stream.size(); p += 300)
        take(whole, one.add(stream.substr(p, 300)));

    // The same packets in reads that never cross a packet's end.
    Outcome split;
    GatewayRxBlock block;
    std::size_t pos = 0;
    std::size_t k = 0;
    const std::size_t full = stream.size() - stream.size() % 300;
    while (pos < full) {
        std::size_t n = sizes.empty() ? 300 : at(sizes, k++ % sizes.size());
        if (n == 0)
            n = 300;
        n = std::min(n, 300 - pos % 300);
        const GatewayRxBlock::Step step = block.add(stream.substr(pos, n));
        pos += n;
        FUZZ_CHECK(step.checked == (pos % 300 == 0));
        FUZZ_CHECK(block.count() == pos % 300);
        take(split, step);
    }
    FUZZ_CHECK(split.lines == whole.lines && split.texts == whole.texts);

    // Any reads: an overshoot empties the block with its line; a full block is checked.
    GatewayRxBlock any;
    pos = 0;
    k = 0;
    while (pos < stream.size()) {
        std::size_t n = sizes.empty() ? 300 : at(sizes, k++ % sizes.size());
        n = std::min(n == 0 ? std::size_t {300} : n, stream.size() - pos);
        const std::size_t before = any.count();
        const GatewayRxBlock::Step step = any.add(stream.substr(pos, n));
        pos += n;
        FUZZ_CHECK(any.count() <= 300);
        if (before + n > 300) {
            FUZZ_CHECK(!step.checked && any.count() == 0);
            FUZZ_CHECK(step.reply.lines == Lines {"Wrong byte count in the telegram, " + std::to_string(before + n)});
        } else if (before + n == 300) {
            // The block held the reads since it was last emptied: the 300 stream bytes up to here.
            FUZZ_CHECK(step.checked && any.count() == 0
                       && step.reply.lines == CheckEthReply(stream.substr(pos - 300, 300)).lines);
        } else {
            FUZZ_CHECK(!step.checked && step.reply.lines.empty() && any.count() == before + n);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    checkBlock(bytes);
    checkBlock(bytes.substr(0, 300));
    if (size == 0)
        return 0;
    const std::size_t m = std::min<std::size_t>(at(bytes, 0) % 16, size - 1);
    checkAssembly(bytes.substr(1, m), bytes.substr(1 + m));
    return 0;
}
