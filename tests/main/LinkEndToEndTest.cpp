// Reads and searches through each TCP link against the gateway and display-module
// simulators, the gateway packets' numbering from the simulator's packet log, and a good
// gateway after hostile ones. The request timer is stepped by hand once the reply is in.
#include "ClosedPort.h"
#include "LinkAppFixture.h"
#include "SimDisplayModule.h"
#include "SimGateway.h"
#include "StringGridView.h"
#include "TSettings.h"
#include "TelegramBuilder.h"
#include "UpDownEdit.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <set>

namespace {

using Kind = SimLogEntry::Kind;

SimMeter heatMeter(int address)
{
    char id[9];
    std::snprintf(id, sizeof id, "%08d", address);
    return SimMeter(static_cast<std::uint8_t>(address), id, "EMH", 1, 0x04, hexBytes("0C 06 27 04 00 00"));
}

std::string row(int address)
{
    char id[9];
    std::snprintf(id, sizeof id, "%08d", address);
    return std::string(id) + "|" + std::to_string(address) + "|EMH|427.000|kWh|Heat (rt)|2:05:09 PM|2/3/26|0x00|";
}

std::size_t countOf(const std::vector<SimLogEntry>& log, Kind kind)
{
    return static_cast<std::size_t>(std::count_if(log.begin(), log.end(), [&](const SimLogEntry& e) { return e.kind == kind; }));
}

std::vector<SimPacketInfo> packetsOf(const SimGateway& gw)
{
    std::vector<SimPacketInfo> p;
    for (const SimLogEntry& e : gw.packets())
        if (e.packet)
            p.push_back(*e.packet);
    return p;
}

class LinkEndToEnd : public LinkAppFixture {
protected:
    ~LinkEndToEnd() override
    {
        // The program goes before its peers: the simulators see their connections end.
        gateway.reset();
        module.reset();
    }

    void byHand() { f().Timer_respond->setInterval(3600 * 1000); }

    // A gateway that calls in, with meters at these addresses, connected and taken.
    void listeningGateway(std::initializer_list<int> meters)
    {
        startListening();
        byHand();
        gateway = std::make_unique<SimGateway>(SimGateway::Mode::CallingIn);
        for (const int a : meters)
            gateway->addMeter(heatMeter(a));
        ASSERT_TRUE(gateway->callIn(static_cast<std::uint16_t>(port())));
        ASSERT_TRUE(QTest::qWaitFor([&] { return f().Link.ClientOnListen; }, 10000));
    }
    void gatewayServer(std::initializer_list<int> meters, const std::string& netNumber = "10.0.0.1")
    {
        gateway = std::make_unique<SimGateway>(SimGateway::Mode::Server);
        for (const int a : meters)
            gateway->addMeter(heatMeter(a));
        startWith("TovekServer=1\r\n",
                  "[LANXP]\r\nPort=" + std::to_string(gateway->port()) + "\r\nNetNumber=" + netNumber + "\r\n");
        byHand();
    }
    void displayModule(std::initializer_list<int> meters)
    {
        module = std::make_unique<SimDisplayModule>();
        for (const int a : meters)
            module->addMeter(heatMeter(a));
        startWith("UseLANXP=1\r\n", "[LANXP]\r\nPort=" + std::to_string(module->port()) + "\r\n");
        byHand();
    }

    std::size_t deviceLines()
    {
        const auto& lines = f().Log.lines();
        return static_cast<std::size_t>(
            std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.starts_with("Device "); }));
    }

    // Ticks the request timer until it stops. Before each tick every packet the program has
    // sent on this connection (PacketNo counts them) has reached the gateway, been answered,
    // and the answer checked by the program.
    int stepGateway(int maxTicks = 40)
    {
        int ticks = 0;
        for (; f().Timer_respond->isActive() && ticks < maxTicks; ++ticks) {
            const bool in = QTest::qWaitFor([&] {
                const std::vector<SimLogEntry> log = gateway->log();
                const std::size_t packets = countOf(log, Kind::Packet) + countOf(log, Kind::BadPacket);
                const std::size_t replies = countOf(log, Kind::Reply);
                return packets == sentOnConnection() && replies == packets && deviceLines() == checkedBefore + replies;
            }, 10000);
            EXPECT_TRUE(in) << "tick " << ticks;
            f().Timer_respondTimer();
        }
        return ticks;
    }
    // Packets sent on this connection: the gateway's log holds them unless cleared since.
    std::size_t sentOnConnection() { return static_cast<std::size_t>(f().Link.PacketNo - 1); }

    // The same for the display module: the i-th frame it got has been answered in `bursts`
    // writes (when its address is one of answering) and the answer has reached the program.
    int stepModule(const std::set<int>& answering, std::size_t bursts = 1, int maxTicks = 40)
    {
        int ticks = 0;
        for (; f().Timer_respond->isActive() && ticks < maxTicks; ++ticks) {
            const std::size_t nth = framesBefore + static_cast<std::size_t>(ticks) + 1;
            const bool in = QTest::qWaitFor([&] {
                const std::vector<SimLogEntry> log = module->log();
                std::size_t frames = 0, writes = 0;
                std::string answer;
                int address = -1;
                for (const SimLogEntry& e : log) {
                    if (e.kind == Kind::Frame && ++frames == nth) {
                        address = static_cast<unsigned char>(e.bytes[2]);
                    } else if (e.kind == Kind::Reply && frames == nth) {
                        answer += e.bytes;
                        ++writes;
                    }
                }
                if (frames < nth)
                    return false;
                if (!answering.contains(address))
                    return true;
                return writes == bursts && f().Link.LanxpReplyText == answer;
            }, 10000);
            EXPECT_TRUE(in) << "tick " << ticks;
            f().Timer_respondTimer();
        }
        framesBefore += static_cast<std::size_t>(ticks);
        return ticks;
    }

    // "Read selected" on a fresh row of this address.
    void readSelected(int address)
    {
        StringGrid& grid = f().Grid_vantrel->grid();
        grid.setRowCount(3);
        grid.clearRow(1);
        grid.setCell(0, 1, "old");
        grid.setCell(1, 1, std::to_string(address));
        grid.selectRow(1);
        f().Grid_vantrelSelectCell(1, 1);
        f().Butt_readonce->click();
    }
    // A search of first..last, the table cleared first.
    void search(int first, int last)
    {
        f().UD_address_min->setValue(first);
        f().UD_address_max->setValue(last);
        prompts.queueAnswer(Prompts::Answer::Yes);
        f().Butt_find_primary->click();
    }

    std::unique_ptr<SimGateway> gateway;
    std::unique_ptr<SimDisplayModule> module;
    std::size_t checkedBefore = 0;   // reply checks before the gateway's log was cleared
    std::size_t framesBefore = 0;
};

TEST_F(LinkEndToEnd, ReadAndSearchThroughTheListeningGateway)
{
    listeningGateway({4, 6});
    readSelected(6);
    EXPECT_EQ(stepGateway(), 1);
    EXPECT_EQ(gridRow(1), row(6));

    search(4, 6);
    ASSERT_TRUE(f().SearchActive);
    EXPECT_EQ(stepGateway(), 3);
    EXPECT_FALSE(f().SearchActive);
    EXPECT_EQ(gridRow(1), row(4));
    EXPECT_EQ(gridRow(2), row(6));
    EXPECT_EQ(f().Grid_vantrel->grid().RowCount(), 4);
    // The silent address: the gateway's time-out status, nothing in the table.
    EXPECT_EQ(logCount("Timeout expired..."), 1u);
    EXPECT_TRUE(f().Link.ClientOnListen);   // the gateway stays
}

TEST_F(LinkEndToEnd, ReadAndSearchThroughTheGatewayServer)
{
    gatewayServer({4, 6});
    readSelected(6);
    EXPECT_EQ(stepGateway(), 1);
    EXPECT_EQ(gridRow(1), row(6));
    EXPECT_EQ(logCount("Connected TCP/IP, at 2:05:09 PM, server 127.0.0.1"), 1u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return gateway->connectionCount() == 0; }, 10000));
    EXPECT_EQ(logCount("Disconnected TCP/IP connection at 2:05:09 PM, from server 127.0.0.1"), 1u);

    checkedBefore = deviceLines();
    gateway->clearLog();
    search(4, 6);
    ASSERT_TRUE(f().SearchActive);
    EXPECT_EQ(stepGateway(), 3);
    EXPECT_EQ(gridRow(1), row(4));
    EXPECT_EQ(gridRow(2), row(6));
    EXPECT_EQ(f().Grid_vantrel->grid().RowCount(), 4);
    // One connection for the whole search.
    EXPECT_EQ(logCount("Connected TCP/IP, at 2:05:09 PM, server 127.0.0.1"), 2u);
    EXPECT_FALSE(f().Link.TovekClientConnected);

    // Nobody there: the refused connect is logged and nothing goes out.
    const ClosedPort closed;
    settings().Edit_lanxp_port->setText(QString::fromStdString(closed.text()));
    gateway->clearLog();
    EXPECT_FALSE(f().PrepareLink());
    EXPECT_EQ(logCount("Socket error #10061"), 1u);
    readSelected(6);
    EXPECT_FALSE(f().Timer_respond->isActive());
    EXPECT_TRUE(gateway->packets().empty());
}

TEST_F(LinkEndToEnd, ReadAndSearchThroughTheDisplayModule)
{
    displayModule({4, 6});
    readSelected(6);
    EXPECT_EQ(stepModule({4, 6}), 1);
    EXPECT_EQ(gridRow(1), row(6));
    EXPECT_EQ(logCount("Connected TCP/IP, at 2:05:09 PM"), 1u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return module->connectionCount() == 0; }, 10000));
    EXPECT_EQ(logCount("Disconnected TCP/IP connection at 2:05:09 PM"), 1u);

    search(4, 6);
    EXPECT_EQ(stepModule({4, 6}), 3);
    EXPECT_EQ(gridRow(1), row(4));
    EXPECT_EQ(gridRow(2), row(6));
    EXPECT_EQ(f().Grid_vantrel->grid().RowCount(), 4);

    // A reply in two bursts arrives whole.
    module->setSplitReplies(true);
    readSelected(4);
    EXPECT_EQ(stepModule({4}, 2), 1);
    EXPECT_EQ(gridRow(1), row(4));
}

TEST_F(LinkEndToEnd, TheGlobalInitialisationGoesOutBeforeItsPause)
{
    // The meters get the global SND_NKE, then the pause the program waits for them, then the
    // first request.
    listeningGateway({4});
    settings().Global_init->setChecked(true);
    search(4, 4);
    ASSERT_TRUE(f().SearchActive);
    ASSERT_TRUE(QTest::qWaitFor([&] { return gateway->packets().size() >= 2; }, 10000));
    const std::vector<SimLogEntry> p = gateway->packets();
    ASSERT_TRUE(p[0].packet && p[1].packet);
    EXPECT_EQ(p[0].packet->payload, std::string("\x10\x40\xFF\x3F\x16", 5));
    EXPECT_EQ(p[1].packet->payload, std::string("\x10\x7B\x04\x7F\x16", 5));
    // The program waits 1300 ms; a wide margin for a busy machine.
    EXPECT_GE(p[1].time - p[0].time, std::chrono::milliseconds(1000));
    f().Butt_find_primaryClick();   // stop
    EXPECT_FALSE(f().SearchActive);
}

TEST_F(LinkEndToEnd, PacketsAreNumberedOnePerPacketFromEachConnection)
{
    listeningGateway({5});
    gateway->setNetNumber({10, 0, 0, 9});
    TForm11& w = f();
    MasterFrames& m = w.Frames;
    w.Link.EthReplyText.clear();
    m.SendReqUd2(5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return deviceLines() == 1; }, 10000));
    m.SendSndNke(5);
    m.SendSetPrimary(5, 5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return deviceLines() == 3; }, 10000));
    w.SendPexorCommand("GET TIME");   // bare: counted, though no packet
    ASSERT_TRUE(QTest::qWaitFor([&] { return deviceLines() == 4; }, 10000));
    w.Check_hex->setChecked(true);
    w.Edit_command->setText("10 7B 05 80 16");
    w.Butt_command_send->click();
    w.Timer_free_command->stop();
    m.SendReqUd2(5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return gateway->packets().size() == 5 && countOf(gateway->log(), Kind::Text) == 1; }, 10000));
    std::vector<int> numbers;
    for (const SimPacketInfo& p : packetsOf(*gateway))
        numbers.push_back(p.packetNo);
    EXPECT_EQ(numbers, (std::vector<int> {1, 2, 3, 5, 6}));
    EXPECT_EQ(w.Link.PacketNo, 7);
    // The first packet carried the starting number, the next ones the replier's.
    const std::vector<SimPacketInfo> packets = packetsOf(*gateway);
    EXPECT_EQ(packets[0].net, (std::array<std::uint8_t, 4> {0, 0, 0, 0}));
    EXPECT_EQ(packets[1].net, (std::array<std::uint8_t, 4> {10, 0, 0, 9}));
    EXPECT_EQ(packets[3].body, 0xA1);
    EXPECT_EQ(packets[3].payload, std::string("\x10\x7B\x05\x80\x16", 5));

    // A new gateway starts again at 1.
    gateway->hangUp();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.Link.ClientOnListen; }, 10000));
    gateway->clearLog();
    // Without a gateway: the error, and nothing changes.
    w.SendPexorCommand("GET TIME");
    EXPECT_EQ(w.Log.line(w.Log.count() - 1), "Socket exception during setting Pexor parameters - not connected");
    EXPECT_EQ(w.Link.PacketNo, 7);
    EXPECT_FALSE(w.Link.ClientOnListen);
    ASSERT_TRUE(gateway->callIn(static_cast<std::uint16_t>(port())));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Link.ClientOnListen; }, 10000));
    m.SendReqUd2(5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return gateway->packets().size() == 1; }, 10000));
    EXPECT_EQ(packetsOf(*gateway)[0].packetNo, 1);
}

TEST_F(LinkEndToEnd, TheGatewayServerTakesTheNetworkNumberPerPacketAndCountsFromEachConnect)
{
    gatewayServer({5}, "1.2.3.4");
    gateway->setNetNumber({10, 0, 0, 9});
    TForm11& w = f();
    ASSERT_TRUE(w.PrepareLink());
    w.Frames.SendReqUd2(5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return deviceLines() == 1; }, 10000));
    settings().Edit_net_number->setText("5.6.7.8");
    w.Frames.SendReqUd2(5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return deviceLines() == 2; }, 10000));
    settings().Edit_net_number->setText("5.6.7.");   // invalid: the last number stays, the replier's
    w.Frames.SendReqUd2(5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return gateway->packets().size() == 3; }, 10000));
    const std::vector<SimPacketInfo> p = packetsOf(*gateway);
    EXPECT_EQ(p[0].net, (std::array<std::uint8_t, 4> {1, 2, 3, 4}));
    EXPECT_EQ(p[1].net, (std::array<std::uint8_t, 4> {5, 6, 7, 8}));
    EXPECT_EQ(p[2].net, (std::array<std::uint8_t, 4> {10, 0, 0, 9}));
    EXPECT_EQ(p[0].packetNo, 1);
    EXPECT_EQ(p[2].packetNo, 3);
    w.ReleaseLink();

    // Not connected: the text command's error; nothing counted, no flag set.
    const std::size_t before = w.Log.count();
    const std::int32_t number = w.Link.PacketNo;
    w.SendPexorCommand("GET TIME");
    EXPECT_EQ(w.Log.line(before), "Socket exception during setting Pexor parameters - not connected");
    EXPECT_EQ(w.Link.PacketNo, number);
    EXPECT_FALSE(w.Link.TovekClientConnected);

    // The next exchange connects again and counts from 1.
    gateway->clearLog();
    settings().Edit_net_number->setText("1.2.3.4");
    ASSERT_TRUE(w.PrepareLink());
    w.SendPexorCommand("GET TIME");
    ASSERT_TRUE(QTest::qWaitFor([&] { return gateway->packets().size() == 1; }, 10000));
    EXPECT_EQ(packetsOf(*gateway)[0].packetNo, 1);
    EXPECT_EQ(packetsOf(*gateway)[0].body, 0xA1);
    EXPECT_EQ(packetsOf(*gateway)[0].payload, "GET TIME");
    EXPECT_EQ(w.Link.PacketNo, 2);
    w.ReleaseLink();
}

TEST_F(LinkEndToEnd, AfterHostilePeersAGoodGatewayReadsAMeter)
{
    startListening();
    byHand();
    TForm11& w = f();
    const std::size_t sockets = openSockets();
    {
        SimGateway hostile(SimGateway::Mode::CallingIn);
        ASSERT_TRUE(hostile.callIn(static_cast<std::uint16_t>(port())));
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.Link.ClientOnListen; }, 10000));
        ASSERT_TRUE(hostile.sendGarbage(64 * 1024, 3));
        ASSERT_TRUE(hostile.sendRaw(std::string(150, '\x01')));   // half a packet, then gone
        hostile.hangUp();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !w.Link.ClientOnListen; }, 10000));
        hostile.connectAndClose(static_cast<std::uint16_t>(port()), 50);
        ASSERT_TRUE(QTest::qWaitFor([&] { return hostile.connectionCount() == 0; }, 30000));
    }
    ASSERT_NO_FATAL_FAILURE(takeQueuedConnections());
    EXPECT_EQ(w.ListenRxBlock.count(), 0u);

    gateway = std::make_unique<SimGateway>(SimGateway::Mode::CallingIn);
    gateway->addMeter(heatMeter(6));
    ASSERT_TRUE(gateway->callIn(static_cast<std::uint16_t>(port())));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Link.ClientOnListen; }, 10000));
    checkedBefore = deviceLines();
    readSelected(6);
    EXPECT_EQ(stepGateway(), 1);
    EXPECT_EQ(gridRow(1), row(6));
    gateway.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.Link.ClientOnListen && openSockets() == sockets; }, 30000))
        << openSockets() << " sockets, " << sockets << " before";
}

} // namespace
