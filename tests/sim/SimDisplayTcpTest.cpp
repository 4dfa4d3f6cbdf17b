// The display behind the display's Ethernet module and behind a gateway in both modes, met
// with raw sockets on 127.0.0.1.
#include "SimDisplayTcp.h"

#include "RawSocket.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Kind = SimDisplayLogEntry::Kind;
using Fault = SimDisplayFault::Kind;

// The text of a gateway's text reply, after the checks that place it.
std::string replyText(const std::string& packet, std::uint16_t packetNo)
{
    EXPECT_EQ(packet.size(), 300u);
    if (packet.size() != 300)
        return {};
    EXPECT_EQ(static_cast<unsigned char>(packet[6]) << 8 | static_cast<unsigned char>(packet[7]), packetNo);
    EXPECT_EQ(static_cast<unsigned char>(packet[21]), simeth::textBody);
    const std::size_t d = static_cast<unsigned char>(packet[22]);
    return packet.substr(25, d - 4);
}

std::vector<SimDisplayLogEntry> of(const SimDisplay& display, Kind kind)
{
    std::vector<SimDisplayLogEntry> out;
    for (const SimDisplayLogEntry& e : display.log())
        if (e.kind == kind)
            out.push_back(e);
    return out;
}

class DisplayBehindTcp : public ::testing::Test {
protected:
    DisplayBehindTcp()
    {
        for (int a : {1, 2, 3})
            display.setEntry(a, {});
    }
    SimDisplay display;
};

TEST_F(DisplayBehindTcp, ModuleAnswersBurstsRawWithTheDisplaysFaults)
{
    SimDisplayModule module;
    simAttachDisplay(module, display);
    RawSocket conn = RawSocket::connectTo(module.port());
    ASSERT_TRUE(conn.ok());
    ASSERT_TRUE(conn.write("GET ADDR"));
    EXPECT_EQ(conn.read(21), "Active devices: 1-3\r\n");
    ASSERT_TRUE(display.waitForReplies(1, 5s));
    EXPECT_EQ(display.commands(), std::vector<std::string> {"GET ADDR"});

    display.addFault({Fault::Split, "GET ENTR=", "", 1, 150ms});
    ASSERT_TRUE(conn.write("GET ENTR=2,1"));
    const std::string whole = "Total pulses *1/1\r\nStart: 0\r\nTotal: 0\r\n";
    EXPECT_EQ(conn.read(whole.size()), whole);
    ASSERT_TRUE(display.waitForReplies(3, 5s));
    const auto replies = of(display, Kind::Reply);
    ASSERT_EQ(replies.size(), 3u);
    EXPECT_EQ(replies[1].bytes + replies[2].bytes, whole) << "two bursts";
    EXPECT_GE(replies[2].time - of(display, Kind::Command)[1].time, 150ms);

    display.addFault({Fault::Drop, "DEL ENTR=", "3", 1});
    ASSERT_TRUE(conn.write("DEL ENTR=3"));
    EXPECT_TRUE(conn.waitClosed());
    ASSERT_TRUE(display.waitForLog([](const auto& l) { return l.back().kind == Kind::HangUp; }, 5s));
    EXPECT_TRUE(display.entry(3));
}

TEST_F(DisplayBehindTcp, GatewayServerAnswersTextPacketsWithinOneReply)
{
    SimGateway gw(SimGateway::Mode::Server);
    simAttachDisplay(gw, display);
    RawSocket conn = RawSocket::connectTo(gw.port());
    ASSERT_TRUE(conn.ok());
    ASSERT_TRUE(conn.write(simeth::buildRequest({}, 7, simeth::textBody, "SET ENTR=4")));
    EXPECT_EQ(replyText(conn.read(300), 7), "Entry 4 Active\r\n");

    for (int a = 5; a <= 250; ++a)
        display.setEntry(a, {});
    display.setAddrForm(SimAddrForm::Lines);
    ASSERT_TRUE(conn.write(simeth::buildRequest({}, 8, simeth::textBody, "GET ADDR")));
    const std::string cut = replyText(conn.read(300), 8);
    EXPECT_EQ(cut.size(), 251u);
    EXPECT_EQ(cut.substr(0, 21), "Active devices: \r\n1\r\n");

    display.addFault({Fault::Split, "GET ENTR=", "", 1, 100ms});
    display.addFault({Fault::Late, "GET ENTR=", "", 1, 100ms});
    ASSERT_TRUE(conn.write(simeth::buildRequest({}, 9, simeth::textBody, "GET ENTR=1,2")));
    EXPECT_EQ(replyText(conn.read(300), 9), "User #: \r\nText: ");
    ASSERT_TRUE(gw.waitForReplies(4, 5s));
    const auto log = gw.log();
    EXPECT_NE(log.back().text.find("second write"), std::string::npos) << log.back().text;
    EXPECT_EQ(log.back().bytes.size(), 150u) << "the packet in two writes";
    const auto commands = of(display, Kind::Command);
    const auto replies = of(display, Kind::Reply);
    ASSERT_EQ(replies.size(), 4u);
    EXPECT_GE(replies[2].time - commands[2].time, 100ms);
    EXPECT_GE(replies[3].time - commands[2].time, 200ms);
}

TEST_F(DisplayBehindTcp, CallingInGatewayTakesBareTexts)
{
    RawListener program;
    SimGateway gw(SimGateway::Mode::CallingIn);
    simAttachDisplay(gw, display);
    gw.setFirstPacket(simeth::statusReply({10, 0, 0, 1}, 0, {}));
    ASSERT_TRUE(gw.callIn(program.port()));
    RawSocket conn = program.accept();
    ASSERT_TRUE(conn.ok());
    EXPECT_EQ(conn.read(300).size(), 300u) << "the first packet";
    ASSERT_TRUE(conn.write("GET HIST=1,1"));
    EXPECT_EQ(replyText(conn.read(300), 0), "No history\r\n");
    EXPECT_EQ(display.commands(), std::vector<std::string> {"GET HIST=1,1"});

    display.addFault({Fault::Silent, "GET MAIN", "", 1});
    ASSERT_TRUE(conn.write("GET MAIN"));
    ASSERT_TRUE(display.waitForCommands(2, 5s));
    ASSERT_TRUE(conn.write("SET ENTR=1"));
    EXPECT_EQ(replyText(conn.read(300), 0), "Entry 1 Already in table\r\n") << "nothing for the silent one";
}

} // namespace
