#include "EthPacket.h"
#include "LinkSendPath.h"
#include "LogModel.h"
#include "ManualDispatcher.h"
#include "MasterFrames.h"
#include "PtyPair.h"
#include "SioComm.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <set>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;

struct Controls : LinkControls {
    bool ethernet = false, tovek = false, xport = false, admin = false;
    bool EthernetTicked() const override { return ethernet; }
    bool TovekServerTicked() const override { return tovek; }
    bool XportTicked() const override { return xport; }
    std::string net = "1.2.3.4";
    std::string NetNumberText() const override { return net; }
    bool IsAdministrator() const override { return admin; }
};

// The sockets: every send recorded with its link; a link is connected when listed.
struct Sockets : LinkSockets {
    std::set<NetLink> connected;
    std::string failure;   // a write error of a connected link, when set
    std::vector<std::pair<NetLink, std::string>> sent;
    bool sendOn(NetLink l, const std::string& bytes, std::string& error) override
    {
        if (!connected.contains(l)) {
            error = "not connected";
            return false;
        }
        if (!failure.empty()) {
            error = failure;
            return false;
        }
        sent.emplace_back(l, bytes);
        return true;
    }
};

struct NoOptions : FrameSettings {
    bool Check_5B() const override { return false; }
    bool Check_value_wendix() const override { return false; }
};

class LinkSendPathTest : public ::testing::Test {
protected:
    LinkSendPathTest() : comm(owner)
    {
        comm.SetDirectWrite(true);
        comm.SetDeviceName(pty.slavePath());
        comm.SetBaudrate(br2400);
    }

    // Everything the line has taken, once the sentinel REQ_UD2 to 99 has arrived behind it.
    std::string lineUpToSentinel()
    {
        const Controls saved = controls;
        controls = Controls {};
        frames.SendReqUd2(99);
        controls = saved;
        const std::string sentinel = ReqUd2Frame(99, false);
        std::string got;
        while (!got.ends_with(sentinel)) {
            const std::string more = pty.readMaster(1, 10s);
            if (more.empty())
                break;
            got += more;
        }
        EXPECT_TRUE(got.ends_with(sentinel)) << "the line took no sentinel";
        return got.substr(0, got.size() - std::min(got.size(), sentinel.size()));
    }

    PtyPair pty;
    ManualDispatcher owner;
    TSioComm comm;
    Controls controls;
    LinkState link;
    LogModel log;
    Sockets sockets;
    LinkSendPath path {controls, link, comm, log, sockets};
    NoOptions options;
    MasterFrames frames {path, options};
};

TEST_F(LinkSendPathTest, TheSerialLineLogsOnlyWhatWasWrittenForAnAdministrator)
{
    const std::string frame("\x10\x7B\x01\x7C\x16", 5);
    const struct {
        bool admin, open;
        const char* logged;   // nullptr: nothing
        bool written;
    } cases[] = {
        {true, true, "Sent:10 7B 01 7C 16 ", true},
        {false, true, nullptr, true},
        {true, false, nullptr, false},
        {false, false, nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "admin " << c.admin << " open " << c.open);
        log.clear();
        controls.admin = c.admin;
        if (c.open)
            comm.Open();
        frames.SendReqUd2(1);
        if (c.logged) {
            ASSERT_EQ(log.count(), 1u);
            EXPECT_EQ(log.line(0), c.logged);
        } else {
            EXPECT_EQ(log.count(), 0u);
        }
        if (!c.open)
            comm.Open();
        controls.admin = false;
        EXPECT_EQ(lineUpToSentinel(), c.written ? frame : "");
        comm.Close();
    }
}

TEST_F(LinkSendPathTest, AFailedWriteOnAnOpenPortNamesTheOperationAndTarget)
{
    controls.admin = true;
    comm.Open();
    // The far end goes away: the master's descriptor number now holds /dev/null.
    const int devnull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    ASSERT_GE(devnull, 0);
    ASSERT_EQ(::dup2(devnull, pty.masterFd()), pty.masterFd());
    ::close(devnull);

    const std::pair<std::function<void()>, const char*> cases[] = {
        {[&] { frames.SendReqUd2(1); }, "Can not write to COM port - reading device 1"},
        {[&] { frames.SendSelectById("12345678"); },
         "Can not write to COM port - reading by secondary 12345678"},
        {[&] { frames.SendSetPrimary(7, 9); },
         "Can not write to COM port - setting primary address, old is 7"},
    };
    for (const auto& [send, message] : cases) {
        log.clear();
        send();
        ASSERT_EQ(log.count(), 1u) << message;
        EXPECT_EQ(log.line(0), message);
    }
}

TEST_F(LinkSendPathTest, ALinkThatIsNotReadyDropsTheFrame)
{
    comm.Open();
    const std::pair<std::function<void()>, const char*> builders[] = {
        {[&] { frames.SendReqUd2(1); }, "ReqUd2"},
        {[&] { frames.SendSndNke(1); }, "SndNke"},
        {[&] { frames.SendSetPrimary(1, 2); }, "SetPrimary"},
    };
    const std::pair<std::function<void()>, const char*> boxes[] = {
        {[&] { controls.xport = true; }, "xport"},
        {[&] { controls.tovek = true; }, "tovek"},
        {[&] { controls.ethernet = true; }, "ethernet"},
        {[&] { controls.xport = controls.tovek = true; }, "tovek and xport"},
    };
    for (const auto& [tick, box] : boxes) {
        for (const auto& [send, builder] : builders) {
            SCOPED_TRACE(testing::Message() << box << " " << builder);
            controls = Controls {};
            controls.admin = true;
            tick();
            link.LanxpReplyText = "old";
            log.clear();
            send();
            EXPECT_EQ(log.count(), 0u);
            EXPECT_EQ(lineUpToSentinel(), "");
            // Only the display module's route clears its reply, ready or not.
            EXPECT_EQ(link.LanxpReplyText, controls.xport && !controls.tovek ? "" : "old");
        }
    }
}

// The packet number on the wire (bytes 6-7), the network number (1-4), the body kind and the
// payload the body carries.
struct Packet {
    int number;
    NetNumberBytes net;
    int kind;
    std::string payload;
};

Packet parsed(const std::string& p)
{
    const auto b = [&](std::size_t i) { return static_cast<std::uint8_t>(p[i]); };
    EXPECT_EQ(p.size(), 300u);
    if (p.size() != 300)
        return {};
    const std::size_t n = static_cast<std::size_t>((b(13) + 256 - 2) % 256);
    return {b(6) * 256 + b(7), {b(1), b(2), b(3), b(4)}, b(12), p.substr(16, n)};
}

class GatewayRouteTest : public LinkSendPathTest {
protected:
    void listening()
    {
        controls.ethernet = true;
        link.ListenOpen = link.ClientOnListen = true;
        sockets.connected = {NetLink::Listening};
    }
};

TEST_F(GatewayRouteTest, EveryBuilderSendsAPacketToTheListeningGatewayAndCountsIt)
{
    comm.Open();
    listening();
    link.NetNumber = {10, 0, 0, 9};
    const std::pair<std::function<void()>, std::string> builders[] = {
        {[&] { frames.SendReqUd2(5); }, ReqUd2Frame(5, false)},
        {[&] { frames.SendSndNke(5); }, SndNkeFrame(5)},
        {[&] { frames.SendSetPrimary(5, 6); }, SetPrimaryFrame(5, 6)},
        {[&] { frames.SendSelectById("12345678"); }, SelectByIdFrame("12345678")},
    };
    int number = 1;
    for (const auto& [send, frame] : builders) {
        SCOPED_TRACE(number);
        link.EthReplyText = "old";
        send();
        ASSERT_EQ(sockets.sent.size(), static_cast<std::size_t>(number));
        EXPECT_EQ(sockets.sent.back().first, NetLink::Listening);
        const Packet p = parsed(sockets.sent.back().second);
        EXPECT_EQ(p.number, number);
        EXPECT_EQ(p.net, (NetNumberBytes {10, 0, 0, 9}));
        EXPECT_EQ(p.kind, 0xA8);
        EXPECT_EQ(p.payload, frame);
        EXPECT_EQ(link.EthReplyText, "");
        EXPECT_EQ(link.PacketNo, ++number);
    }
    EXPECT_EQ(log.count(), 0u);
    EXPECT_EQ(lineUpToSentinel(), "");   // nothing on the serial line meanwhile

    // Without a gateway the frame is dropped quietly.
    link.ClientOnListen = false;
    frames.SendReqUd2(5);
    EXPECT_EQ(sockets.sent.size(), 4u);
    EXPECT_EQ(link.PacketNo, 5);
    EXPECT_EQ(log.count(), 0u);
}

TEST_F(GatewayRouteTest, AFailedSendIsLoggedWithItsRouteAndChangesNothing)
{
    listening();
    sockets.connected.clear();   // the flags say connected, the socket is not
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[&] { frames.SendReqUd2(5); }, "Socket exception during normal read - not connected"},
        {[&] { frames.SendSndNke(5); }, "Socket exception during changing baud - not connected"},
        {[&] { frames.SendSetPrimary(5, 6); }, "Socket exception during secondary set - not connected"},
    };
    for (const auto& [send, line] : cases) {
        log.clear();
        send();
        ASSERT_EQ(log.count(), 1u) << line;
        EXPECT_EQ(log.line(0), line);
    }
    sockets.connected = {NetLink::Listening};
    sockets.failure = "Broken pipe";
    log.clear();
    frames.SendReqUd2(5);
    EXPECT_EQ(log.line(0), "Socket exception during normal read - Broken pipe");
    EXPECT_TRUE(sockets.sent.empty());
    EXPECT_EQ(link.PacketNo, 1);
    EXPECT_TRUE(link.ListenOpen && link.ClientOnListen);

    // The gateway server's route: its flag says connected, the socket is not.
    controls = Controls {};
    controls.tovek = true;
    link.TovekClientConnected = true;
    sockets.connected.clear();
    log.clear();
    frames.SendReqUd2(5);
    ASSERT_EQ(log.count(), 1u);
    EXPECT_EQ(log.line(0), "Socket exception during normal read - not connected");
    EXPECT_TRUE(sockets.sent.empty());
    EXPECT_EQ(link.PacketNo, 1);
    EXPECT_TRUE(link.TovekClientConnected);
}

TEST_F(GatewayRouteTest, TheGatewayServerTakesTheSettingsNumberForEveryPacket)
{
    controls.tovek = true;
    link.TovekClientConnected = true;
    sockets.connected = {NetLink::TovekServer};
    const struct {
        const char* text;
        NetNumberBytes expected;
    } cases[] = {
        {"1.2.3.4", {1, 2, 3, 4}},
        {"5.6.7.8", {5, 6, 7, 8}},
        {"1..2.3", {5, 6, 7, 8}},   // invalid: the last number stays
        {"", {5, 6, 7, 8}},
    };
    int number = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        controls.net = c.text;
        link.EthReplyText = "old";
        frames.SendSndNke(7);
        ASSERT_EQ(sockets.sent.size(), static_cast<std::size_t>(number));
        EXPECT_EQ(sockets.sent.back().first, NetLink::TovekServer);
        const Packet p = parsed(sockets.sent.back().second);
        EXPECT_EQ(p.net, c.expected);
        EXPECT_EQ(p.number, number);
        EXPECT_EQ(p.payload, SndNkeFrame(7));
        EXPECT_EQ(link.EthReplyText, "");
        EXPECT_EQ(link.PacketNo, ++number);
    }
    // Not connected: dropped quietly.
    link.TovekClientConnected = false;
    frames.SendReqUd2(7);
    EXPECT_EQ(sockets.sent.size(), 4u);
    EXPECT_EQ(log.count(), 0u);
}

TEST_F(GatewayRouteTest, TextCommandsGoWrappedToTheServerAndBareToTheListeningGateway)
{
    const char* const notConnected = "Socket exception during setting Pexor parameters - not connected";
    // Gateway server: wrapped as text, whether connected or not; a failure leaves the number.
    controls.tovek = true;
    controls.net = "9.9.9.9";
    link.EthReplyText = "old";
    EXPECT_FALSE(path.sendPexorCommand("GET TIME"));
    EXPECT_EQ(log.line(0), notConnected);
    EXPECT_EQ(link.PacketNo, 1);
    EXPECT_EQ(link.EthReplyText, "");
    EXPECT_FALSE(link.TovekClientConnected);
    sockets.connected = {NetLink::TovekServer};
    EXPECT_TRUE(path.sendPexorCommand("GET TIME"));
    ASSERT_EQ(sockets.sent.size(), 1u);
    const Packet p = parsed(sockets.sent[0].second);
    EXPECT_EQ(p.kind, 0xA1);
    EXPECT_EQ(p.payload, "GET TIME");
    EXPECT_EQ(p.net, (NetNumberBytes {9, 9, 9, 9}));
    EXPECT_EQ(link.PacketNo, 2);

    // Listening gateway: the bare text; the flags are left alone.
    controls = Controls {};
    controls.ethernet = true;
    sockets.connected.clear();
    log.clear();
    EXPECT_FALSE(path.sendPexorCommand("GET TIME"));
    EXPECT_EQ(log.line(0), notConnected);
    EXPECT_FALSE(link.ListenOpen || link.ClientOnListen);
    EXPECT_EQ(link.PacketNo, 2);
    sockets.connected = {NetLink::Listening};
    EXPECT_TRUE(path.sendPexorCommand("GET TIME"));
    ASSERT_EQ(sockets.sent.size(), 2u);
    EXPECT_EQ(sockets.sent[1], std::make_pair(NetLink::Listening, std::string("GET TIME")));
    EXPECT_EQ(link.PacketNo, 3);
    EXPECT_FALSE(path.sendPexorCommand(""));   // nothing
    EXPECT_EQ(sockets.sent.size(), 2u);
    EXPECT_EQ(link.PacketNo, 3);
}

TEST_F(GatewayRouteTest, TheDisplayModuleTakesTheRawFrameWhenConnected)
{
    controls.xport = true;
    link.LanxpConnected = true;
    sockets.connected = {NetLink::Xport};
    link.LanxpReplyText = "old";
    frames.SendReqUd2(3);
    ASSERT_EQ(sockets.sent.size(), 1u);
    EXPECT_EQ(sockets.sent[0], std::make_pair(NetLink::Xport, ReqUd2Frame(3, false)));
    EXPECT_EQ(link.LanxpReplyText, "");
    EXPECT_EQ(link.PacketNo, 1);
}

// The secondary search's select frames: the same routes, its own texts, never "Sent:".
TEST_F(GatewayRouteTest, SearchFramesGoQuietlyWithTheSearchsFailureTexts)
{
    const std::string frame = SelectByIdFrame("12345678");
    controls.admin = true;
    comm.Open();
    path.sendSearchFrame(frame);
    EXPECT_EQ(log.count(), 0u);
    controls.admin = false;
    EXPECT_EQ(lineUpToSentinel(), frame);

    listening();
    path.sendSearchFrame(frame);
    ASSERT_EQ(sockets.sent.size(), 1u);
    EXPECT_EQ(parsed(sockets.sent[0].second).payload, frame);
    EXPECT_EQ(link.PacketNo, 2);   // counts as any packet
    sockets.failure = "Broken pipe";
    path.sendSearchFrame(frame);
    ASSERT_EQ(log.count(), 1u);
    EXPECT_EQ(log.line(0), "Socket exception during normal read - Broken pipe");
    EXPECT_EQ(link.PacketNo, 2);

    controls.ethernet = false;
    log.clear();
    const int devnull = ::open("/dev/null", O_RDWR | O_CLOEXEC);   // the far end goes away
    ASSERT_GE(devnull, 0);
    ASSERT_EQ(::dup2(devnull, pty.masterFd()), pty.masterFd());
    ::close(devnull);
    controls.admin = true;
    path.sendSearchFrame(frame);
    ASSERT_EQ(log.count(), 1u);
    EXPECT_EQ(log.line(0), "Can not write to COM port - searching by secondary...");
}

} // namespace
