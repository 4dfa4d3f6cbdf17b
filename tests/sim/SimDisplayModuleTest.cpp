// The display module simulator met with raw sockets: raw M-Bus answers, text replies, split
// replies, a dropped line and a flood.
#include "SimDisplayModule.h"

#include "RawSocket.h"
#include "SimGateway.h"
#include "TelegramBuilder.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Kind = SimLogEntry::Kind;

class DisplayModule : public ::testing::Test {
protected:
    DisplayModule()
    {
        mod.addMeter(SimMeter(1, "12345678", "ABC", 1, 0x07, hexBytes("0C 13 78 56 34 12")));
        conn = RawSocket::connectTo(mod.port());
    }

    SimDisplayModule mod;
    RawSocket conn;
};

TEST_F(DisplayModule, AnswersFramesRawAndTextsFromTheHandler)
{
    ASSERT_TRUE(conn.ok());
    const std::string telegram = mod.meter(0).telegram();
    ASSERT_TRUE(conn.write(shortFrame(0x7B, 1)));
    EXPECT_EQ(conn.read(telegram.size()), telegram);
    ASSERT_TRUE(mod.waitForReplies(1, 5s));
    const auto frames = mod.frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_TRUE(frames[0].isReqUd2(1));
    EXPECT_EQ(frames[0].connection, 1);

    ASSERT_TRUE(conn.write(shortFrame(0x40, 1) + shortFrame(0x40, 1)));
    EXPECT_EQ(conn.read(2), hexBytes("E5 E5")) << "two frames in one burst";

    mod.setCannedReply("GET ADDR", "ADDR=5\r\n");
    ASSERT_TRUE(conn.write("GET ADDR"));
    EXPECT_EQ(conn.read(8), "ADDR=5\r\n");
    ASSERT_TRUE(conn.write(hexBytes("10 7B 01")));
    EXPECT_EQ(conn.read(2), "OK") << "an unfinished frame is a text";

    mod.setTextHandler([](std::string_view t) -> std::optional<std::string> {
        if (t == "QUIET")
            return std::nullopt;
        return "<" + std::string(t) + ">";
    });
    ASSERT_TRUE(conn.write("QUIET"));
    ASSERT_TRUE(mod.waitForLog([](const auto& log) { return !log.empty() && log.back().bytes == "QUIET"; }, 5s));
    ASSERT_TRUE(conn.write("PING"));
    EXPECT_EQ(conn.read(6), "<PING>") << "nothing came for QUIET";
}

TEST_F(DisplayModule, SplitsRepliesInTwoBurstsApart)
{
    mod.setSplitReplies(true);
    const std::string telegram = mod.meter(0).telegram();
    ASSERT_TRUE(conn.write(shortFrame(0x7B, 1)));
    EXPECT_EQ(conn.read(telegram.size()), telegram);
    ASSERT_TRUE(mod.waitForReplies(2, 5s));
    std::vector<SimLogEntry> replies;
    for (const SimLogEntry& e : mod.log())
        if (e.kind == Kind::Reply)
            replies.push_back(e);
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0].bytes + replies[1].bytes, telegram);
    EXPECT_EQ(replies[0].bytes.size(), telegram.size() / 2);
    EXPECT_GE(replies[1].time - replies[0].time, 50ms);
}

TEST_F(DisplayModule, DropsTheLineAndFloodsUnasked)
{
    ASSERT_TRUE(mod.waitForLog([](const auto& log) { return !log.empty(); }, 5s)); // accepted
    ASSERT_TRUE(mod.sendUnasked(1 << 20, 3));
    EXPECT_EQ(conn.read(1 << 20), simRandomBytes(1 << 20, 3));

    mod.setDropLine(true);
    ASSERT_TRUE(conn.write(shortFrame(0x7B, 1)));
    EXPECT_TRUE(conn.waitClosed());
    ASSERT_TRUE(mod.waitForLog([](const auto& log) { return !log.empty() && log.back().kind == Kind::Disconnect; }, 5s));
    EXPECT_EQ(mod.connectionCount(), 0u);
    EXPECT_FALSE(mod.sendUnasked(10, 1));
    EXPECT_EQ(mod.frames().size(), 0u) << "the dropped request reached no meter";
}

TEST(DisplayModuleDescriptors, NoneLeftBehind)
{
    const std::size_t before = openDescriptorCount();
    {
        SimDisplayModule mod;
        RawSocket a = RawSocket::connectTo(mod.port());
        RawSocket b = RawSocket::connectTo(mod.port());
        ASSERT_TRUE(a.write("X"));
        EXPECT_EQ(a.read(2), "OK");
        ASSERT_TRUE(mod.waitForLog([](const auto& log) {
            return std::count_if(log.begin(), log.end(), [](const SimLogEntry& e) { return e.kind == Kind::Connect; }) == 2;
        }, 5s));
    }
    EXPECT_EQ(openDescriptorCount(), before);
}

} // namespace
