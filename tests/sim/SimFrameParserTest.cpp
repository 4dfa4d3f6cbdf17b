// The simulator must see exactly the frames a master sent: a parser that answers a damaged
// frame, loses a good one behind a false start, or keeps a stale half frame would make the
// program's tests pass or fail for the wrong reason.
#include "SimFrameParser.h"

#include "HexFile.h"
#include "SimHex.h"
#include "TelegramBuilder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Clock = SimFrameParser::Clock;
using Kind = SimParsed::Kind;
using namespace std::chrono_literals;

const char* name(Kind k)
{
    switch (k) {
    case Kind::Frame:
        return "Frame";
    case Kind::BadFrame:
        return "Bad";
    case Kind::Garbage:
        return "Garbage";
    case Kind::Dropped:
        break;
    }
    return "Dropped";
}

// "Kind: hex [reason]" per piece, so a table can state the whole expected split.
std::vector<std::string> describe(const std::vector<SimParsed>& parsed)
{
    std::vector<std::string> out;
    for (const SimParsed& p : parsed)
        out.push_back(std::string(name(p.kind)) + ": " + simHex(p.bytes)
                      + (p.reason.empty() ? "" : " [" + p.reason + "]"));
    return out;
}

// Feeds everything at once, then lets the line fall idle.
std::vector<SimParsed> parseAll(const std::string& bytes)
{
    SimFrameParser parser(20ms);
    const auto t0 = Clock::now();
    std::vector<SimParsed> out = parser.feed(bytes, t0);
    for (SimParsed& p : parser.idle(t0 + 20ms))
        out.push_back(std::move(p));
    EXPECT_FALSE(parser.idleDeadline().has_value()) << "nothing may wait after the idle gap";
    return out;
}

struct SplitCase {
    const char* label;
    const char* input;
    std::vector<std::string> expected;
};

void PrintTo(const SplitCase& c, std::ostream* os)
{
    *os << c.label;
}

class FrameSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(FrameSplit, SplitsAsAMasterMeantIt)
{
    const SplitCase& c = GetParam();
    EXPECT_EQ(describe(parseAll(hexBytes(c.input))), c.expected) << c.label;
}

INSTANTIATE_TEST_SUITE_P(Cases, FrameSplit, ::testing::Values(
    SplitCase {"short frame", "10 7B 05 80 16", {"Frame: 10 7B 05 80 16"}},
    SplitCase {"sum wraps", "10 40 FF 3F 16", {"Frame: 10 40 FF 3F 16"}},
    SplitCase {"control frame", "68 03 03 68 73 05 50 C8 16", {"Frame: 68 03 03 68 73 05 50 C8 16"}},
    SplitCase {"select frame",
               "68 0B 0B 68 53 FD 52 78 56 34 12 FF FF FF FF B2 16",
               {"Frame: 68 0B 0B 68 53 FD 52 78 56 34 12 FF FF FF FF B2 16"}},
    SplitCase {"two frames back to back", "10 40 05 45 16 10 7B 05 80 16",
               {"Frame: 10 40 05 45 16", "Frame: 10 7B 05 80 16"}},
    SplitCase {"garbage before a frame", "00 FF E5 10 40 FE 3E 16",
               {"Garbage: 00 FF E5", "Frame: 10 40 FE 3E 16"}},
    SplitCase {"garbage alone, reported when the line falls idle", "01 02 03", {"Garbage: 01 02 03"}},
    SplitCase {"short frame, wrong sum", "10 7B 05 81 16", {"Bad: 10 7B 05 81 16 [wrong check sum]"}},
    SplitCase {"short frame, wrong stop", "10 7B 05 80 17", {"Bad: 10 7B 05 80 17 [wrong stop byte]"}},
    SplitCase {"short frame, both wrong", "10 7B 05 81 17",
               {"Bad: 10 7B 05 81 17 [wrong check sum, wrong stop byte]"}},
    SplitCase {"long frame, wrong sum, reported once although it holds start bytes",
               "68 0B 0B 68 53 FD 52 78 56 34 12 FF FF FF FF B3 16",
               {"Bad: 68 0B 0B 68 53 FD 52 78 56 34 12 FF FF FF FF B3 16 [wrong check sum]"}},
    SplitCase {"long frame, wrong stop", "68 03 03 68 73 05 50 C8 15",
               {"Bad: 68 03 03 68 73 05 50 C8 15 [wrong stop byte]"}},
    SplitCase {"length fields differ, the frame behind the false start is found", "68 10 7B 05 80 16",
               {"Bad: 68 10 7B [length fields differ]", "Frame: 10 7B 05 80 16"}},
    SplitCase {"length below 3", "68 02 02 16", {"Bad: 68 02 [length field below 3]", "Garbage: 02 16"}},
    SplitCase {"no second start byte, the rest is garbage", "68 03 03 69 73 05 50 C8 16",
               {"Bad: 68 03 03 69 [no second start byte]", "Garbage: 73 05 50 C8 16"}},
    SplitCase {"bad frame, then a good one", "10 7B 05 81 16 10 7B 05 80 16",
               {"Bad: 10 7B 05 81 16 [wrong check sum]", "Frame: 10 7B 05 80 16"}},
    SplitCase {"unfinished frame at the end", "10 7B 05",
               {"Dropped: 10 7B 05 [unfinished frame dropped after an idle gap]"}},
    SplitCase {"a long false start hides a whole short frame", "68 FF FF 68 10 7B 05 80 16",
               {"Dropped: 68 FF FF 68 10 7B 05 80 16 [unfinished frame dropped after an idle gap]",
                "Frame: 10 7B 05 80 16"}}));

TEST(FrameParser, FrameArrivingInPiecesIsOneFrameTimedByItsLastByte)
{
    SimFrameParser parser(50ms);
    const auto t0 = Clock::now();
    const std::string frame = hexBytes("68 06 06 68 73 00 51 01 7A 07 46 16");
    EXPECT_TRUE(parser.feed(frame.substr(0, 1), t0).empty());
    EXPECT_TRUE(parser.feed(frame.substr(1, 6), t0 + 10ms).empty());
    EXPECT_EQ(parser.idleDeadline(), t0 + 10ms + 50ms);
    EXPECT_TRUE(parser.idle(t0 + 59ms).empty()) << "the gap has not passed yet";
    const auto done = parser.feed(frame.substr(7), t0 + 40ms);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].kind, Kind::Frame);
    EXPECT_EQ(done[0].bytes, frame);
    EXPECT_EQ(done[0].time, t0 + 40ms);
    EXPECT_FALSE(parser.idleDeadline().has_value());
}

TEST(FrameParser, StalePartialIsDroppedBeforeBytesAfterTheGap)
{
    SimFrameParser parser(50ms);
    const auto t0 = Clock::now();
    EXPECT_TRUE(parser.feed(hexBytes("68 0B 0B 68 53"), t0).empty());
    // No idle() call in between: the late bytes themselves show that the line was idle.
    const auto out = parser.feed(hexBytes("10 7B 05 80 16"), t0 + 51ms);
    EXPECT_EQ(describe(out), (std::vector<std::string> {
        "Dropped: 68 0B 0B 68 53 [unfinished frame dropped after an idle gap]",
        "Frame: 10 7B 05 80 16"}));
}

TEST(FrameParser, PartialWithinTheGapIsKept)
{
    SimFrameParser parser(50ms);
    const auto t0 = Clock::now();
    parser.feed(hexBytes("10 7B"), t0);
    EXPECT_TRUE(parser.idle(t0 + 49ms).empty());
    const auto out = parser.feed(hexBytes("05 80 16"), t0 + 49ms);
    EXPECT_EQ(describe(out), std::vector<std::string> {"Frame: 10 7B 05 80 16"});
}

TEST(FrameParser, EndlessNoiseIsReportedInBoundedRuns)
{
    const auto out = parseAll(std::string(600, '\0'));
    std::size_t total = 0;
    for (const SimParsed& p : out) {
        EXPECT_EQ(p.kind, Kind::Garbage);
        EXPECT_LE(p.bytes.size(), 256u);
        total += p.bytes.size();
    }
    EXPECT_EQ(total, 600u);
    EXPECT_GE(out.size(), 3u);
}

TEST(FrameParser, EveryByteValueBetweenFramesIsSkippedOrFramed)
{
    // Each byte value alone before a good frame: the good frame is always found, and only a
    // start byte can make anything but garbage out of the lone byte.
    const std::string good = hexBytes("10 7B 01 7C 16");
    for (int b = 0; b < 256; ++b) {
        const auto out = parseAll(std::string(1, static_cast<char>(b)) + good);
        ASSERT_FALSE(out.empty());
        EXPECT_EQ(out.back().kind, Kind::Frame) << "byte " << b;
        EXPECT_EQ(out.back().bytes, good) << "byte " << b;
        if (b != 0x10 && b != 0x68) {
            ASSERT_EQ(out.size(), 2u) << "byte " << b;
            EXPECT_EQ(out[0].kind, Kind::Garbage);
        }
    }
}

TEST(FrameParser, OneLargeReadOfManyFramesSplitsIntoAllOfThem)
{
    // 20,000 frames with noise between some of them, as one read and as reads of 1000 bytes.
    std::string stream;
    std::vector<std::string> expected;
    for (int i = 0; i < 20000; ++i) {
        if (i % 3 == 0) {
            stream += hexBytes("00 FF E5");
            expected.push_back("Garbage: 00 FF E5");
        }
        const auto address = static_cast<std::uint8_t>(i % 251);
        const std::string frame = i % 7 == 0 ? longFrame(0x53, address, 0x51, hexBytes("01 7A") + char(i % 250))
                                             : shortFrame(i % 2 ? 0x7B : 0x5B, address);
        stream += frame;
        expected.push_back("Frame: " + simHex(frame));
    }
    EXPECT_EQ(describe(parseAll(stream)), expected);

    SimFrameParser parser(20ms);
    const auto t0 = Clock::now();
    std::vector<SimParsed> pieces;
    for (std::size_t at = 0; at < stream.size(); at += 1000)
        for (SimParsed& p : parser.feed(std::string_view(stream).substr(at, 1000), t0))
            pieces.push_back(std::move(p));
    EXPECT_EQ(describe(pieces), expected);
    EXPECT_FALSE(parser.idleDeadline().has_value());
}

TEST(FrameParser, RecordedMasterFramesPassOrFailAsTheyShould)
{
    // manual_frame1 has a damaged start byte and invalid_length an L of 0; the others are
    // sound frames on the line (what is wrong with some of them lies in their contents).
    for (const auto& file : telegramFiles("master")) {
        const std::string bytes = readHexFile(file);
        const auto out = parseAll(bytes);
        const std::string stem = file.stem().string();
        const bool good = stem != "manual_frame1" && stem != "invalid_length";
        std::size_t frames = 0;
        for (const SimParsed& p : out)
            if (p.kind == Kind::Frame) {
                ++frames;
                EXPECT_EQ(p.bytes, bytes) << stem << ": only the whole file may be a frame";
            }
        EXPECT_EQ(frames, good ? 1u : 0u) << stem << ": " << ::testing::PrintToString(describe(out));
    }
}

TEST(FrameParser, MeterTelegramsAreFramesToo)
{
    // The parser accepts any well-formed long frame, and a byte string of several of them
    // splits into exactly those.
    std::string all;
    std::vector<std::string> each;
    for (const auto& file : telegramFiles("meters")) {
        each.push_back(readHexFile(file));
        all += each.back();
    }
    const auto out = parseAll(all);
    ASSERT_EQ(out.size(), each.size());
    for (std::size_t i = 0; i < out.size(); ++i) {
        EXPECT_EQ(out[i].kind, Kind::Frame);
        EXPECT_EQ(out[i].bytes, each[i]);
    }
}

} // namespace
