#include "ConversionError.h"
#include "EthReplyPacket.h"
#include "EthPacket.h"
#include "GatewayRxBlock.h"
#include "HexCommand.h"
#include "LinkPorts.h"
#include "TelegramBuilder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

TEST(EthPacket, RequestsAreLaidOutByteForByte)
{
    const NetNumberBytes zero {};
    EXPECT_EQ(BuildEthHeader(zero, 1), bytesOf({0x01, 0, 0, 0, 0, 0, 0, 0x01, 0, 0x01, 0x03, 0x04}));
    // Only the low 16 bits of the packet number, high byte first; the header sum follows them.
    const std::string h258 = BuildEthHeader(NetNumberBytes {1, 2, 3, 4}, 258);
    EXPECT_EQ(h258.substr(1, 7), bytesOf({1, 2, 3, 4, 0, 0x01, 0x02}));
    EXPECT_EQ(at(h258, 10), sum(h258, 0, 9));
    EXPECT_EQ(BuildEthHeader(zero, 65537).substr(6, 2), bytesOf({0x00, 0x01}));
    EXPECT_EQ(BuildEthHeader(zero, -1).substr(6, 2), bytesOf({0xFF, 0xFF}));

    std::string packet("\x10\x7B\x01\x7C\x16", 5);
    WrapMbusTelegram(packet, zero, 1);
    ASSERT_EQ(packet.size(), 300u);
    EXPECT_EQ(packet.substr(0, 12), BuildEthHeader(zero, 1));
    EXPECT_EQ(packet.substr(12, 11), bytesOf({0xA8, 0x07, 0x10, 0x00, 0x10, 0x7B, 0x01, 0x7C, 0x16, 0x35, 0xAA}));
    EXPECT_EQ(packet.substr(23, 298 - 23), std::string(298 - 23, '\0'));
    EXPECT_EQ(at(packet, 298), sum(packet, 0, 297));
    EXPECT_EQ(at(packet, 299), 0x04);

    std::string text = "GET TIME";
    WrapTextCommand(text, NetNumberBytes {9, 8, 7, 6}, 2);
    ASSERT_EQ(text.size(), 300u);
    EXPECT_EQ(text.substr(1, 4), bytesOf({9, 8, 7, 6}));
    EXPECT_EQ(text.substr(12, 4), bytesOf({0xA1, 10, 0x00, 0x00}));
    EXPECT_EQ(text.substr(16, 8), "GET TIME");
    EXPECT_EQ(at(text, 24), sum(text, 13, 23));
    EXPECT_EQ(at(text, 25), 0xAA);
    EXPECT_EQ(at(text, 298), sum(text, 0, 297));
}

TEST(EthPacket, TwoHundredEightyBytesFillThePacketAndOneMoreGivesNone)
{
    std::string text(280, 'x');
    WrapTextCommand(text, NetNumberBytes {}, 1);
    ASSERT_EQ(text.size(), 300u);
    EXPECT_EQ(at(text, 13), (280 + 2) % 256);   // LL wraps
    EXPECT_EQ(text.substr(16, 280), std::string(280, 'x'));
    EXPECT_EQ(at(text, 296), sum(text, 13, 295));   // the body sum, then AA at 297: no padding
    EXPECT_EQ(at(text, 297), 0xAA);

    std::string longer(281, 'x');
    WrapTextCommand(longer, NetNumberBytes {}, 1);
    EXPECT_EQ(longer, "");
    std::string frame(281, '\x10');
    WrapMbusTelegram(frame, NetNumberBytes {}, 1);
    EXPECT_EQ(frame, "");

    std::string packet = "kept";
    EXPECT_FALSE(FinishEthPacket(std::string(299, 'a'), packet));
    EXPECT_EQ(packet, "kept");
    ASSERT_TRUE(FinishEthPacket(std::string(298, 'a'), packet));
    EXPECT_EQ(packet.size(), 300u);
}

TEST(EthPacket, NetNumbersAreFourDecimalPartsOfAtMost255)
{
    NetNumberBytes net {1, 1, 1, 1};
    EXPECT_TRUE(ParseNetNumber("10.0.0.255", net));
    EXPECT_EQ(net, (NetNumberBytes {10, 0, 0, 255}));
    EXPECT_EQ(NetNumberText(net), "10.0.0.255");
    for (const char* bad : {"10.0.0.256", "10.0.0", "10..0.1", "-1.0.0.0", " 1.2.3.4", "1.2.3.4 ", "1.2.3.4.5",
                            "99999999999.0.0.1", "1.2.3.+4", "", "...", "1.2.3.a"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(ParseNetNumber(bad, net));
        EXPECT_EQ(net, (NetNumberBytes {10, 0, 0, 255}));
    }
}

TEST(EthPacket, DottedAddressCheck)
{
    // Exactly three dots, each part at most 255, no lower bound.
    for (const char* good : {"192.168.1.10", "0.0.0.0", "255.255.255.255", "-1.0.0.0", "007.1.2.3"})
        EXPECT_TRUE(IsValidIp(good)) << good;
    for (const char* wrong : {"192.168.1", "1.2.3.256", "1.2.3.4.5", "2147483647.0.0.0", "", "1234"})
        EXPECT_FALSE(IsValidIp(wrong)) << wrong;
    // A part that is no 32-bit decimal integer cannot be converted: an error rather than an answer.
    for (const char* error : {"1..2.3", ".1.2.3", "1.2.3.", "a.1.2.3", "1.2.3.4x", " 1.2.3.4", "2147483648.0.0.0",
                              "99999999999.1.2.3"})
        EXPECT_THROW(IsValidIp(error), ConversionError) << error;
    try {
        IsValidIp("1..2.3");
        FAIL();
    } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(), "'' is not a valid integer value");
    }
}

TEST(EthPacket, EachFailedCheckLogsItsLineAloneAndGivesNothing)
{
    const std::string good = replyWith("OK");
    const struct {
        std::size_t offset;
        const char* line;
    } cases[] = {
        {0, "Error in START byte of ethernet response..."},
        {19, "Error in header CRC of ethernet response..."},
        {298, "Error in packet CRC of ethernet response..."},
        {299, "Error in STOP byte of ethernet response..."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        std::string p = good;
        p[c.offset] = static_cast<char>(at(p, c.offset) + 1);
        const EthReplyCheck r = CheckEthReply(p);
        EXPECT_EQ(r.lines, Lines {c.line});
        EXPECT_EQ(r.text, "");
        EXPECT_FALSE(r.netNumber);
    }
    // STOP 05 with both sums right fails only the STOP check.
    std::string stop = good;
    stop[299] = 0x05;
    EXPECT_EQ(CheckEthReply(stop).lines, Lines {"Error in STOP byte of ethernet response..."});
    // A sum broken by a byte the header covers fails the header first.
    std::string header = good;
    header[3] = 0x44;
    EXPECT_EQ(CheckEthReply(header).lines, Lines {"Error in header CRC of ethernet response..."});
}

TEST(EthPacket, GoodRepliesGiveTheDeviceItsStatusAndTheText)
{
    const EthReplyCheck done = CheckEthReply(statusOnlyReply({}, {10, 0, 0, 255}));
    EXPECT_EQ(done.lines, (Lines {"Device 10.0.0.255", "Done!"}));
    EXPECT_EQ(done.netNumber, (NetNumberBytes {10, 0, 0, 255}));
    EXPECT_EQ(done.text, "");

    // Status only: status 24, flags2 25, flags1 26; the lines come flags1 first.
    const EthReplyCheck three =
        CheckEthReply(statusOnlyReply({.status = 0x01, .flags1 = 0x81, .flags2 = 0x02}));
    EXPECT_EQ(three.lines, (Lines {"Device 10.0.0.7", "Error in header checksum...", "Bad network number...",
                                   "Timeout expired..."}));

    // d = 9: five text bytes from 25, the status at 37, flags2 at 38, flags1 at 39.
    const std::string nine = replyWith("ABCDE", {.status = 0x01, .flags1 = 0x02, .flags2 = 0x40});
    const EthReplyCheck r9 = CheckEthReply(nine);
    EXPECT_EQ(r9.text, "ABCDE");
    EXPECT_EQ(r9.lines, (Lines {"Device 10.0.0.7", "Error in telegram checksum...", "Bad m-bus command..."}));
    std::string moved = nine;
    moved[37] = 0;   // the status where d says: now 00
    moved[298] = static_cast<char>(sum(moved, 0, 297));
    EXPECT_EQ(CheckEthReply(moved).lines, (Lines {"Device 10.0.0.7", "Done!"}));

    // d below 5: no text; the status still at d+28.
    const EthReplyCheck r4 = CheckEthReply(replyWith("", {.status = 0x02, .flags1 = 0x04}));
    EXPECT_EQ(r4.text, "");
    EXPECT_EQ(r4.lines, (Lines {"Device 10.0.0.7", "Wrong telegram length..."}));
    std::string d0 = replyWith("");
    d0[22] = 0;   // the status at 28
    d0[298] = static_cast<char>(sum(d0, 0, 297));
    EXPECT_EQ(CheckEthReply(d0).lines, (Lines {"Device 10.0.0.7", "Done!"}));

    // d = 255: 251 text bytes, the status bytes at 283..285, still inside the block.
    const std::string longText(251, 'T');
    const EthReplyCheck r255 = CheckEthReply(replyWith(longText, {.status = 0x09, .flags2 = 0x80}));
    EXPECT_EQ(r255.text, longText);
    EXPECT_EQ(r255.lines, (Lines {"Device 10.0.0.7", "Bad packet, general communication error..."}));

    // A non-zero status with no flag, and flags2 bits 2 to 5, log nothing.
    EXPECT_EQ(CheckEthReply(replyWith("x", {.status = 0x07, .flags2 = 0x3C})).lines,
              Lines {"Device 10.0.0.7"});
}

TEST(EthPacket, TheTwelveFlagTextsInTheirOrder)
{
    EXPECT_EQ(ReportEthStatus(0x00, 0xFF, 0xFF), Lines {"Done!"});
    EXPECT_EQ(ReportEthStatus(0x01, 0xFF, 0xFF),
              (Lines {"Error in header checksum...", "Error in telegram checksum...", "Wrong telegram length...",
                      "Bad telegram, unknow Start charachter...", "Action denied, no rights to perform it...",
                      "Unknown telegram...", "Start/Stop charachter not recognized...", "Bad network number...",
                      "Packet number does not match...", "Timeout expired...", "Bad m-bus command...",
                      "Bad packet, general communication error..."}));
}

TEST(EthPacket, RandomBlocksOfAnySizeAreCheckedWithoutAReadOutsideThem)
{
    std::mt19937 random(20260203);
    std::uniform_int_distribution<int> byte(0, 255);
    std::size_t good = 0;
    for (int i = 0; i < 100000; ++i) {
        // Mostly full blocks, some short ones; an exact heap allocation, so that the
        // sanitizers see a read past its end.
        const std::size_t size = i % 10 == 0 ? static_cast<std::size_t>(byte(random)) : 300;
        const auto block = std::make_unique<char[]>(size ? size : 1);
        for (std::size_t k = 0; k < size; ++k)
            block[k] = static_cast<char>(byte(random));
        if (size == 300 && i % 2 == 0) {   // half pass the checks, so the text and status paths run
            std::string p(block.get(), size);
            p[0] = 0x01;
            p[19] = static_cast<char>(sum(p, 0, 18));
            p[298] = static_cast<char>(sum(p, 0, 297));
            p[299] = 0x04;
            std::copy(p.begin(), p.end(), block.get());
        }
        const EthReplyCheck r = CheckEthReply(std::string_view(block.get(), size));
        ASSERT_FALSE(r.lines.empty());
        if (r.netNumber) {
            ++good;
            ASSERT_EQ(r.lines[0], "Device " + NetNumberText(*r.netNumber));
            ASSERT_LE(r.text.size(), 251u);
        } else {
            ASSERT_EQ(r.lines.size(), 1u);
            ASSERT_EQ(r.text, "");
        }
    }
    EXPECT_GE(good, 40000u);
}

TEST(GatewayRxBlockTest, ReadsAreAssembledIntoPacketsAndAnOvershootCostsTheBlock)
{
    const std::string packet = replyWith("HELLO");
    GatewayRxBlock block;

    // 150 + 150: one check, after the second read.
    EXPECT_FALSE(block.add(packet.substr(0, 150)).checked);
    EXPECT_EQ(block.count(), 150u);
    GatewayRxBlock::Step step = block.add(packet.substr(150));
    ASSERT_TRUE(step.checked);
    EXPECT_EQ(step.reply.text, "HELLO");
    EXPECT_EQ(step.reply.lines, (Lines {"Device 10.0.0.7", "Done!"}));
    EXPECT_EQ(block.count(), 0u);

    // 200 + 200: the second read would reach 400; both are lost and the block is empty.
    EXPECT_TRUE(block.add(packet.substr(0, 200)).reply.lines.empty());
    step = block.add(packet.substr(0, 200));
    EXPECT_FALSE(step.checked);
    EXPECT_EQ(step.reply.lines, Lines {"Wrong byte count in the telegram, 400"});
    EXPECT_EQ(block.count(), 0u);
    // ... and the next packet is checked as if nothing had happened.
    step = block.add(packet);
    ASSERT_TRUE(step.checked);
    EXPECT_EQ(step.reply.text, "HELLO");

    // Two packets in a row, a read each; an empty read does nothing.
    EXPECT_TRUE(block.add(packet).checked);
    EXPECT_TRUE(block.add("").reply.lines.empty());
    EXPECT_TRUE(block.add(statusOnlyReply()).checked);

    // A cleared block starts afresh: a half packet does not prefix the next one.
    block.add(packet.substr(0, 150));
    block.clear();
    step = block.add(packet);
    ASSERT_TRUE(step.checked);
    EXPECT_EQ(step.reply.text, "HELLO");
}

TEST(LinkPortsTest, PortTextsGiveTheirPortOrNone)
{
    EXPECT_EQ(ListenPortOf("abc"), 59615);
    EXPECT_EQ(ListenPortOf("0"), 0);
    EXPECT_EQ(ListenPortOf("65535"), 65535);
    EXPECT_EQ(ListenPortOf("1234"), 1234);
    for (const char* refused : {"70000", "65536", "-1", "99999999999999999999"}) {
        SCOPED_TRACE(refused);
        EXPECT_EQ(ListenPortOf(refused), std::nullopt);
    }
    EXPECT_EQ(ClientPortOf("", 10001), 10001);
    EXPECT_EQ(ClientPortOf("", 59615), 59615);
    EXPECT_EQ(ClientPortOf("4001", 10001), 4001);
    for (const char* refused : {"abc", "70000", "0", "-5", "1 2"}) {
        SCOPED_TRACE(refused);
        EXPECT_EQ(ClientPortOf(refused, 10001), std::nullopt);
    }
}

TEST(HexCommandTest, HexTextsGiveTheirBytesOrTheirRefusal)
{
    EXPECT_EQ(ParseHexCommand("10 7B 01 7C 16").bytes, bytesOf({0x10, 0x7B, 0x01, 0x7C, 0x16}));
    EXPECT_EQ(ParseHexCommand("1  2 ").bytes, bytesOf({0x01, 0x02}));
    const HexCommand blanks = ParseHexCommand("   ");
    EXPECT_EQ(blanks.error, "");
    EXPECT_EQ(blanks.bytes, "");
    const struct {
        const char* text;
        const char* error;
    } refused[] = {
        {"A", "Wrong custom hex command, 2 symbols at least..."},
        {"x", "Wrong custom hex command, 2 symbols at least..."},
        {"68 3 0a", "Wrong custom hex command, 0..F uppercase allowed"},
        {"10 7B\t01", "Wrong custom hex command, 0..F uppercase allowed"},
        {"107B017C16", "Wrong custom hex command, 2 hex digits per byte..."},
        {"1 234", "Wrong custom hex command, 2 hex digits per byte..."},
        {"1 234 zz", "Wrong custom hex command, 0..F uppercase allowed"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.text);
        const HexCommand c = ParseHexCommand(r.text);
        EXPECT_EQ(c.error, r.error);
        EXPECT_EQ(c.bytes, "");
    }
}

} // namespace
