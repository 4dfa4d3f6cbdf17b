// The gateway simulator met with raw sockets: the packets are read here at their offsets, so
// a fault of the simulator's own packet code cannot hide behind the same fault in the test.
#include "SimGateway.h"

#include "RawSocket.h"
#include "TelegramBuilder.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace std::chrono_literals;
using Kind = SimLogEntry::Kind;

unsigned at(const std::string& b, std::size_t i)
{
    return static_cast<unsigned char>(b.at(i));
}

unsigned sumOf(const std::string& b, std::size_t from, std::size_t to)
{
    unsigned s = 0;
    for (std::size_t i = from; i <= to; ++i)
        s += at(b, i);
    return s & 0xFF;
}

void setByte(std::string& b, std::size_t i, unsigned v)
{
    b.at(i) = static_cast<char>(v & 0xFF);
}

void resum(std::string& p)
{
    setByte(p, 298, sumOf(p, 0, 297));
}

// PacketNo 1, network 0.0.0.0, REQ_UD2 to address 1, written out from the layout.
std::string handBuiltRequest()
{
    std::string p = hexBytes("01 00 00 00 00 00 00 01 00 01 03 04  A8 07 10 00 10 7B 01 7C 16 35 AA");
    p.resize(300, '\0');
    resum(p);
    setByte(p, 299, 0x04);
    return p;
}

std::string mbus(std::uint16_t no, std::string_view frame, simeth::NetNumber net = {})
{
    return simeth::buildRequest(net, no, simeth::mbusBody, frame);
}

std::string text(std::uint16_t no, std::string_view t)
{
    return simeth::buildRequest({}, no, simeth::textBody, t);
}

// A text reply: its text, after checking every byte the program reads.
std::string replyText(const std::string& r, std::uint16_t packetNo, simeth::NetNumber net = {10, 0, 0, 1})
{
    EXPECT_EQ(r.size(), 300u);
    if (r.size() != 300)
        return {};
    EXPECT_EQ(at(r, 0), 0x01u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(at(r, 1 + i), net[i]) << "network byte " << i;
    EXPECT_EQ(at(r, 6) << 8 | at(r, 7), packetNo);
    EXPECT_EQ(at(r, 19), sumOf(r, 0, 18));
    EXPECT_NE(at(r, 21), 0xA5u);
    const std::size_t d = at(r, 22);
    EXPECT_GE(d, 4u);
    EXPECT_EQ(at(r, d + 28), 0x00u) << "status";
    EXPECT_EQ(at(r, d + 29), 0x00u) << "flags 2";
    EXPECT_EQ(at(r, d + 30), 0x00u) << "flags 1";
    EXPECT_EQ(at(r, 298), sumOf(r, 0, 297));
    EXPECT_EQ(at(r, 299), 0x04u);
    return r.substr(25, d - 4);
}

// A status-only reply as status, flags 1, flags 2 (hex text), after checking the frame.
std::string statusOf(const std::string& r)
{
    EXPECT_EQ(r.size(), 300u);
    if (r.size() != 300)
        return {};
    EXPECT_EQ(at(r, 0), 0x01u);
    EXPECT_EQ(at(r, 19), sumOf(r, 0, 18));
    EXPECT_EQ(at(r, 21), 0xA5u);
    EXPECT_EQ(at(r, 298), sumOf(r, 0, 297));
    EXPECT_EQ(at(r, 299), 0x04u);
    return spacedHex(std::string {r[24], r[26], r[25]});
}

SimMeter water(std::uint8_t address, const char* id)
{
    return SimMeter(address, id, "ABC", 1, 0x07, hexBytes("0C 13 78 56 34 12"));
}

class GatewayServer : public ::testing::Test {
protected:
    GatewayServer()
    {
        gw.addMeter(water(1, "12345678"));
        const std::size_t silent = gw.addMeter(water(2, "22222222"));
        SimFaults f;
        f.silent = true;
        gw.setFaults(silent, f);
        conn = RawSocket::connectTo(gw.port());
    }

    std::string exchange(const std::string& request)
    {
        EXPECT_TRUE(conn.write(request));
        return conn.read(300);
    }

    SimGateway gw {SimGateway::Mode::Server};
    RawSocket conn;
};

TEST_F(GatewayServer, AnswersAHandBuiltRequestWithTheMetersTelegramAndLogsIt)
{
    ASSERT_TRUE(conn.ok());
    ASSERT_NE(gw.port(), 0);
    EXPECT_EQ(mbus(1, hexBytes("10 7B 01 7C 16")), handBuiltRequest()) << "the test's packet builder";

    const std::string telegram = gw.meter(0).telegram();
    const std::string reply = exchange(handBuiltRequest());
    EXPECT_EQ(replyText(reply, 1), telegram);
    EXPECT_EQ(at(reply, 22), telegram.size() + 4) << "d = n + 4";

    ASSERT_TRUE(gw.waitForReplies(1, 5s));
    const auto log = gw.log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].kind, Kind::Connect);
    EXPECT_EQ(log[0].connection, 1);
    EXPECT_TRUE(log[1].isPacket(0xA8));
    ASSERT_TRUE(log[1].packet);
    EXPECT_EQ(log[1].packet->packetNo, 1);
    EXPECT_EQ(log[1].packet->net, (simeth::NetNumber {0, 0, 0, 0}));
    EXPECT_EQ(log[1].packet->payload, hexBytes("10 7B 01 7C 16"));
    EXPECT_EQ(log[1].bytes, handBuiltRequest());
    EXPECT_TRUE(log[2].isReqUd2(1));
    EXPECT_EQ(log[3].kind, Kind::Reply);
    EXPECT_EQ(log[3].bytes, reply);
    EXPECT_EQ(gw.packets().size(), 1u);
}

TEST_F(GatewayServer, SilenceAndBadFramesGetStatusOnlyReplies)
{
    EXPECT_EQ(statusOf(exchange(mbus(7, shortFrame(0x7B, 2)))), "01 00 02 ") << "time-out";
    EXPECT_EQ(statusOf(exchange(mbus(8, shortFrame(0x40, 255)))), "01 00 02 ") << "nobody answers 255";
    EXPECT_EQ(statusOf(exchange(mbus(9, hexBytes("00 11 22")))), "01 00 40 ") << "bad M-Bus command";
    EXPECT_EQ(replyText(exchange(mbus(10, shortFrame(0x40, 1))), 10), hexBytes("E5"));
}

TEST_F(GatewayServer, RepliesKeepTheOrderOfTheRequests)
{
    SimFaults late;
    late.late = 80ms;
    gw.setFaults(gw.addMeter(water(3, "33333333")), late);
    ASSERT_TRUE(conn.write(mbus(1, shortFrame(0x7B, 3)) + mbus(2, shortFrame(0x7B, 2)) + mbus(3, shortFrame(0x40, 1))));
    const std::string replies = conn.read(900);
    ASSERT_EQ(replies.size(), 900u);
    EXPECT_EQ(replyText(replies.substr(0, 300), 1), gw.meter(2).telegram()) << "the late meter first";
    EXPECT_EQ(statusOf(replies.substr(300, 300)), "01 00 02 ");
    EXPECT_EQ(replyText(replies.substr(600), 3), hexBytes("E5"));
}

TEST_F(GatewayServer, EveryCheckOfTheRequestIsLoggedAndAnsweredWithItsFlag)
{
    struct Damage {
        const char* name;
        std::function<void(std::string&)> apply;
        const char* status; // status, flags 1, flags 2
    };
    const std::size_t n = 5; // the REQ_UD2 payload
    const std::vector<Damage> damages = {
        {"START", [](std::string& p) { setByte(p, 0, 0x02); setByte(p, 10, sumOf(p, 0, 9)); }, "01 08 00 "},
        {"header sum", [](std::string& p) { setByte(p, 10, at(p, 10) + 1); }, "01 01 00 "},
        {"packet sum", [](std::string& p) { setByte(p, 298, at(p, 298) + 1); }, "01 02 00 "},
        {"STOP", [](std::string& p) { setByte(p, 299, 0x05); }, "01 40 00 "},
        {"body kind", [](std::string& p) { setByte(p, 12, 0xA2); }, "01 20 00 "},
        {"LL", [&](std::string& p) { setByte(p, 13, at(p, 13) + 1); setByte(p, 16 + n, at(p, 16 + n) + 1); }, "01 04 00 "},
        {"body sum", [&](std::string& p) { setByte(p, 16 + n, at(p, 16 + n) + 1); }, "01 02 00 "},
        {"AA", [&](std::string& p) { setByte(p, 17 + n, 0xAB); }, "01 04 00 "},
    };
    for (const Damage& d : damages) {
        gw.clearLog();
        std::string p = mbus(3, shortFrame(0x7B, 1));
        d.apply(p);
        if (std::string(d.name) != "packet sum")
            resum(p);
        EXPECT_EQ(statusOf(exchange(p)), d.status) << d.name;
        const auto bad = gw.packets();
        ASSERT_EQ(bad.size(), 1u) << d.name;
        EXPECT_EQ(bad[0].kind, Kind::BadPacket) << d.name;
        EXPECT_TRUE(bad[0].text.ends_with(std::string(": wrong ") + d.name)) << bad[0].text;
        EXPECT_EQ(bad[0].packet->packetNo, 3) << d.name;
    }
    EXPECT_EQ(replyText(exchange(mbus(4, shortFrame(0x7B, 1))), 4), gw.meter(0).telegram())
        << "a good request after the bad ones";
}

TEST_F(GatewayServer, TextsGetCannedRepliesOrTheHandlers)
{
    gw.setCannedReply("GET TIME", "12:00");
    EXPECT_EQ(replyText(exchange(text(5, "GET TIME")), 5), "12:00");
    EXPECT_EQ(replyText(exchange(text(6, "WHAT")), 6), "OK") << "the default reply";

    ASSERT_TRUE(conn.write("VER?"));
    EXPECT_EQ(replyText(conn.read(300), 0), "OK") << "a bare text, ended by the idle gap";
    ASSERT_TRUE(gw.waitForLog([](const auto& log) {
        return std::any_of(log.begin(), log.end(), [](const SimLogEntry& e) {
            return e.kind == Kind::Text && e.bytes == "VER?";
        });
    }, 5s));

    gw.setDefaultReply(std::string(300, 'x'));
    const std::string longReply = exchange(text(7, "LONG"));
    EXPECT_EQ(at(longReply, 22), 255u);
    EXPECT_EQ(replyText(longReply, 7), std::string(251, 'x')) << "cut to 251 bytes";

    gw.setTextHandler([](std::string_view t) -> std::optional<std::string> {
        if (t == "QUIET")
            return std::nullopt;
        return "got " + std::string(t);
    });
    EXPECT_EQ(replyText(exchange(text(8, "abc")), 8), "got abc");
    ASSERT_TRUE(conn.write(text(9, "QUIET")));
    EXPECT_EQ(replyText(exchange(text(10, "next")), 10), "got next") << "no answer to QUIET";
}

TEST_F(GatewayServer, ReplySwitches)
{
    gw.setNetNumber({192, 168, 0, 77});
    EXPECT_EQ(replyText(exchange(mbus(1, shortFrame(0x40, 1))), 1, {192, 168, 0, 77}), hexBytes("E5"));

    gw.setCorruption(simeth::Corruption::Start);
    std::string r = exchange(mbus(2, shortFrame(0x40, 1)));
    EXPECT_EQ(at(r, 0), 0x02u);
    EXPECT_EQ(at(r, 19), sumOf(r, 0, 18));
    EXPECT_EQ(at(r, 298), sumOf(r, 0, 297));
    gw.setCorruption(simeth::Corruption::HeaderSum);
    r = exchange(mbus(3, shortFrame(0x40, 1)));
    EXPECT_NE(at(r, 19), sumOf(r, 0, 18));
    EXPECT_EQ(at(r, 298), sumOf(r, 0, 297));
    gw.setCorruption(simeth::Corruption::PacketSum);
    r = exchange(mbus(4, shortFrame(0x40, 1)));
    EXPECT_EQ(at(r, 19), sumOf(r, 0, 18));
    EXPECT_NE(at(r, 298), sumOf(r, 0, 297));
    gw.setCorruption(simeth::Corruption::Stop);
    r = exchange(mbus(5, shortFrame(0x40, 1)));
    EXPECT_EQ(at(r, 299), 0x05u);
    EXPECT_EQ(at(r, 298), sumOf(r, 0, 297));
    gw.setCorruption(simeth::Corruption::None);

    gw.setStatusOnly(simeth::Status {0x01, 0x81, 0x02});
    EXPECT_EQ(statusOf(exchange(mbus(6, shortFrame(0x7B, 1)))), "01 81 02 ");
    gw.setStatusOnly(std::nullopt);

    gw.setCoalesced(true);
    ASSERT_TRUE(conn.write(mbus(7, shortFrame(0x40, 1))));
    const std::string two = conn.read(600);
    ASSERT_EQ(two.size(), 600u);
    EXPECT_EQ(two.substr(0, 300), two.substr(300));
    EXPECT_EQ(replyText(two.substr(0, 300), 7, {192, 168, 0, 77}), hexBytes("E5"));
    gw.setCoalesced(false);

    gw.setSilent(true);
    ASSERT_TRUE(conn.write(mbus(8, shortFrame(0x7B, 1))));
    ASSERT_TRUE(gw.waitForPackets(8, 5s));
    gw.setSilent(false);
    EXPECT_EQ(replyText(exchange(mbus(9, shortFrame(0x40, 1))), 9, {192, 168, 0, 77}), hexBytes("E5"))
        << "nothing came for the silent request";
}

TEST_F(GatewayServer, ChunksGoOneAtATimeOnTheTestsSignal)
{
    const std::string whole = exchange(mbus(1, shortFrame(0x7B, 1)));
    ASSERT_EQ(whole.size(), 300u);
    ASSERT_TRUE(gw.waitForReplies(1, 5s));

    gw.clearLog();
    gw.setChunks({150, 150});
    ASSERT_TRUE(conn.write(mbus(1, shortFrame(0x7B, 1))));
    EXPECT_EQ(conn.read(150), whole.substr(0, 150));
    ASSERT_TRUE(gw.waitForReplies(1, 5s));
    const auto log = gw.log();
    EXPECT_EQ(log.back().text, "M-Bus answer of 27 bytes, chunk 1 of 2");
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const SimLogEntry& e) { return e.kind == Kind::Reply; }), 1);
    EXPECT_FALSE(conn.pending()) << "the second chunk waits for the signal";
    gw.releaseChunk();
    EXPECT_EQ(conn.read(150), whole.substr(150));

    gw.setChunks({200, 200});
    ASSERT_TRUE(conn.write(mbus(1, shortFrame(0x7B, 1))));
    EXPECT_EQ(conn.read(200), whole.substr(0, 200));
    gw.releaseChunk();
    EXPECT_EQ(conn.read(200), whole.substr(200) + whole.substr(0, 100));
    EXPECT_FALSE(conn.pending());
}

TEST_F(GatewayServer, DisconnectsAfterNBytesAndGreetsNewConnections)
{
    gw.disconnectAfter(120);
    ASSERT_TRUE(conn.write(mbus(1, shortFrame(0x7B, 1))));
    EXPECT_EQ(conn.read(300).size(), 120u);
    EXPECT_TRUE(conn.waitClosed());
    ASSERT_TRUE(gw.waitForLog([](const auto& log) { return !log.empty() && log.back().kind == Kind::Disconnect; }, 5s));

    const std::string hello = simeth::statusReply({1, 2, 3, 4}, 0, {});
    gw.setFirstPacket(hello);
    RawSocket next = RawSocket::connectTo(gw.port());
    EXPECT_EQ(next.read(300), hello);
    ASSERT_TRUE(next.write(mbus(2, shortFrame(0x40, 1))));
    EXPECT_EQ(replyText(next.read(300), 2), hexBytes("E5")) << "served normally after the cut";
}

TEST_F(GatewayServer, RawBytesAndSeededFloods)
{
    ASSERT_TRUE(gw.waitForLog([](const auto& log) { return !log.empty(); }, 5s)); // accepted
    ASSERT_TRUE(gw.sendGarbage(100000, 7));
    const std::string flood = conn.read(100000);
    EXPECT_EQ(flood, simRandomBytes(100000, 7));
    EXPECT_NE(flood, simRandomBytes(100000, 8));
    ASSERT_TRUE(gw.sendRaw("abc"));
    EXPECT_EQ(conn.read(3), "abc");
}

TEST(GatewayCallingIn, CallsInAndFloodsTheListeningPort)
{
    RawListener program;
    SimGateway gw(SimGateway::Mode::CallingIn);
    gw.addMeter(water(1, "12345678"));
    EXPECT_EQ(gw.port(), 0);
    ASSERT_TRUE(gw.callIn(program.port()));
    RawSocket gateway = program.accept();
    ASSERT_TRUE(gateway.ok());
    ASSERT_TRUE(gateway.write(mbus(1, shortFrame(0x7B, 1))));
    EXPECT_EQ(replyText(gateway.read(300), 1), gw.meter(0).telegram());

    gw.connectAndClose(program.port(), 5);
    for (int i = 0; i < 5; ++i) {
        RawSocket brief = program.accept();
        ASSERT_TRUE(brief.ok()) << i;
        EXPECT_TRUE(brief.waitClosed()) << i;
    }
    ASSERT_TRUE(gw.waitForLog([](const auto& log) { return !log.empty() && log.back().text == "connected and closed (5 of 5)"; }, 5s));

    gw.openExtraConnections(program.port(), 3);
    std::vector<RawSocket> extras;
    for (int i = 0; i < 3; ++i)
        extras.push_back(program.accept());
    ASSERT_TRUE(gw.waitForLog([](const auto& log) { return !log.empty() && log.back().text == "extra connection (3 of 3)"; }, 5s));
    EXPECT_EQ(gw.connectionCount(), 4u);
    EXPECT_FALSE(extras[0].pending()) << "extra connections stay open and quiet";
    ASSERT_TRUE(gw.sendRaw("xyz"));
    EXPECT_EQ(gateway.read(3), "xyz") << "raw bytes go on the gateway's own connection";
    extras.clear();
    ASSERT_TRUE(gw.waitForLog([](const auto& log) {
        return std::count_if(log.begin(), log.end(), [](const SimLogEntry& e) {
                   return e.kind == Kind::Disconnect && e.text == "closed by the peer";
               }) == 3;
    }, 5s));

    gw.hangUp();
    EXPECT_TRUE(gateway.waitClosed());
    EXPECT_EQ(gw.connectionCount(), 0u);
    EXPECT_FALSE(gw.sendRaw("x"));

    std::uint16_t port = 0;
    {
        RawListener gone; // nobody listens on its port once it is closed
        port = gone.port();
    }
    EXPECT_FALSE(gw.callIn(port));
    EXPECT_EQ(gw.log().back().kind, Kind::Disconnect);
}

TEST(GatewayMeters, TelegramsMustFitAReply)
{
    SimGateway gw(SimGateway::Mode::Server);
    EXPECT_NO_THROW(gw.addMeter(SimMeter(1, "12345678", "ABC", 1, 7, std::string(251 - 21, '\x01'))));
    EXPECT_THROW(gw.addMeter(SimMeter(2, "12345678", "ABC", 1, 7, std::string(252 - 21, '\x01'))),
                 std::invalid_argument);
}

TEST(GatewayDescriptors, NoneLeftBehindInEitherMode)
{
    const std::size_t before = openDescriptorCount();
    {
        RawListener program;
        SimGateway server(SimGateway::Mode::Server);
        SimGateway callingIn(SimGateway::Mode::CallingIn);
        RawSocket a = RawSocket::connectTo(server.port());
        ASSERT_TRUE(a.write(mbus(1, shortFrame(0x40, 1))));
        EXPECT_EQ(a.read(300).size(), 300u);
        ASSERT_TRUE(callingIn.callIn(program.port()));
        callingIn.openExtraConnections(program.port(), 2);
        callingIn.connectAndClose(program.port(), 2);
        std::vector<RawSocket> accepted;
        for (int i = 0; i < 5; ++i)
            accepted.push_back(program.accept());
        ASSERT_TRUE(callingIn.waitForLog([](const auto& log) {
            return std::any_of(log.begin(), log.end(), [](const SimLogEntry& e) {
                return e.text == "connected and closed (2 of 2)";
            });
        }, 5s));
        EXPECT_GT(openDescriptorCount(), before);
    }
    EXPECT_EQ(openDescriptorCount(), before);
}

} // namespace
