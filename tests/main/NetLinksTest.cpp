// The TCP links against plain sockets of the test: the listening socket with its gateway,
// packet assembly on both gateway links, hostile peers, the idle close and the display
// module's collected bytes.
#include "ClosedPort.h"
#include "EthReplyPacket.h"
#include "LinkAppFixture.h"
#include "StringGridView.h"
#include "TForm11.h"
#include "TSettings.h"
#include "UpDownEdit.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <sys/ioctl.h>
#include <linux/sockios.h>

#include <algorithm>
#include <filesystem>
#include <random>

namespace {

using namespace std::chrono_literals;
using netpeers::Peer;
using netpeers::Server;

class NetLinks : public LinkAppFixture {};

TEST_F(NetLinks, TheListeningSocketOpensClosesAndRefusesBadPorts)
{
    startListening();
    TForm11& w = f();
    EXPECT_EQ(logCount("Socket is opened at port 0"), 1u);
    EXPECT_FALSE(w.Link.ClientOnListen);

    // Closing drops the gateway with it.
    Peer gateway = gatewayCallsIn();
    w.ToggleListenSocket("0");
    EXPECT_FALSE(w.Link.ListenOpen);
    EXPECT_EQ(w.Log.line(w.Log.count() - 1), "Socket closed");
    EXPECT_FALSE(w.Socket1->isListening());
    EXPECT_TRUE(gateway.waitClosed());

    w.ToggleListenSocket("");
    EXPECT_EQ(w.Log.line(w.Log.count() - 1), "Socket port is not defined in Settings...");
    EXPECT_FALSE(w.Link.ListenOpen);

    const Server holder;   // the port is taken
    for (const std::string& text : {holder.portText(), std::string("70000"), std::string("-1")}) {
        SCOPED_TRACE(text);
        w.ToggleListenSocket(text);
        EXPECT_TRUE(w.Log.line(w.Log.count() - 1).starts_with("Exception opening socket - "))
            << w.Log.line(w.Log.count() - 1);
        EXPECT_FALSE(w.Link.ListenOpen);
        EXPECT_FALSE(w.Socket1->isListening());
    }
    // Opened again at the text as typed.
    w.ToggleListenSocket("00");
    EXPECT_TRUE(w.Link.ListenOpen);
    EXPECT_EQ(w.Log.line(w.Log.count() - 1), "Socket is opened at port 00");
}

TEST_F(NetLinks, AGatewayIsAcceptedAndItsDisconnectLogged)
{
    startListening();
    TForm11& w = f();
    w.Link.PacketNo = 7;
    const std::size_t from = w.Log.count();
    Peer gateway = gatewayCallsIn();
    sockaddr_in local {};
    socklen_t len = sizeof local;
    ASSERT_EQ(::getsockname(gateway.fd(), reinterpret_cast<sockaddr*>(&local), &len), 0);
    const std::string peerPort = std::to_string(ntohs(local.sin_port));
    EXPECT_EQ(logFrom(from), (std::vector<std::string> {"Incoming request...",
                                                           "Connected to 127.0.0.1, 127.0.0.1, port No " + peerPort,
                                                           "2:05:09 PM,  2/3/26", "\r"}));
    EXPECT_EQ(w.Link.PacketNo, 1);
    EXPECT_EQ(w.GatewayRemoteAddr, "127.0.0.1");
    EXPECT_EQ(w.GatewayRemotePort, ntohs(local.sin_port));
    EXPECT_TRUE(w.Timer_close_socket->isActive());

    const std::size_t before = w.Log.count();
    gateway.close();
    ASSERT_TRUE(waitLine("Connection closed by client at 2/3/26, 2:05:09 PM", before));
    EXPECT_EQ(logFrom(before).size(), 1u);   // a peer's close is no socket error
    EXPECT_FALSE(w.Link.ClientOnListen);
    EXPECT_TRUE(w.Link.ListenOpen);

    // With the gateway box unticked a gateway is still taken, with the "ignored" line.
    settings().Check_ethernet->setChecked(false);
    const std::size_t again = w.Log.count();
    Peer second = gatewayCallsIn();
    EXPECT_EQ(w.Log.line(again), "Incoming request from Tovek/Sarnel ignored at 2:05:09 PM, 2/3/26");
    EXPECT_TRUE(w.Log.line(again + 1).starts_with("Connected to 127.0.0.1, 127.0.0.1, port No "));
}

TEST_F(NetLinks, SettingsApplyClosesTheListeningSocketWithItsGateway)
{
    startListening();
    Peer gateway = gatewayCallsIn();
    settings().BitBtn1Click();
    EXPECT_FALSE(f().Link.ListenOpen);
    EXPECT_FALSE(f().Link.ClientOnListen);
    EXPECT_FALSE(f().Socket1->isListening());
    EXPECT_TRUE(gateway.waitClosed());
    // The next activation opens it again.
    f().FormActivate();
    EXPECT_TRUE(f().Link.ListenOpen);
}

TEST_F(NetLinks, PacketsAreAssembledPerReadOnTheListeningLink)
{
    startListening();
    TForm11& w = f();
    Peer gateway = gatewayCallsIn();
    const auto checkedGood = [&](const std::string& text) {
        const std::size_t from = w.Log.count();
        EXPECT_TRUE(gateway.send(replyWith(text)));
        EXPECT_TRUE(waitLine("Done!", from)) << text;
        EXPECT_EQ(w.Link.EthReplyText, text);
    };
    const auto waitCount = [&](std::size_t n) {
        return QTest::qWaitFor([&] { return w.ListenRxBlock.count() == n; }, 10000);
    };

    checkedGood("one read");

    // 150 + 150: one check, after the second.
    const std::string split = replyWith("split");
    std::size_t from = w.Log.count();
    ASSERT_TRUE(gateway.send(split.substr(0, 150)));
    ASSERT_TRUE(waitCount(150));
    EXPECT_EQ(w.Log.count(), from);
    ASSERT_TRUE(gateway.send(split.substr(150)));
    ASSERT_TRUE(waitLine("Done!", from));
    EXPECT_EQ(logFrom(from), (std::vector<std::string> {"Device 10.0.0.7", "Done!"}));
    EXPECT_EQ(w.Link.EthReplyText, "split");
    checkedGood("after the split");

    // 200 + 200: the overshoot costs both reads.
    from = w.Log.count();
    ASSERT_TRUE(gateway.send(split.substr(0, 200)));
    ASSERT_TRUE(waitCount(200));
    ASSERT_TRUE(gateway.send(split.substr(0, 200)));
    ASSERT_TRUE(waitLine("Wrong byte count in the telegram, 400", from));
    EXPECT_EQ(w.ListenRxBlock.count(), 0u);
    checkedGood("after the overshoot");

    // Two packets in one write: two checks.
    from = w.Log.count();
    ASSERT_TRUE(gateway.send(replyWith("first") + replyWith("second")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return logCount("Done!", from) == 2; }, 10000));
    EXPECT_EQ(w.Link.EthReplyText, "second");
    checkedGood("after the pair");

    // A reply that fails a check leaves no text, and the device's number stays.
    w.Link.EthReplyText = "old";
    from = w.Log.count();
    std::string broken = replyWith("broken");
    broken[299] = 0x05;
    ASSERT_TRUE(gateway.send(broken));
    ASSERT_TRUE(waitLine("Error in STOP byte of ethernet response...", from));
    EXPECT_EQ(w.Link.EthReplyText, "");
    EXPECT_EQ(w.Link.NetNumber, (NetNumberBytes {10, 0, 0, 7}));
}

TEST_F(NetLinks, AHalfPacketOfADeadGatewayDoesNotPrefixTheNextOne)
{
    startListening();
    TForm11& w = f();
    {
        Peer dying = gatewayCallsIn();
        ASSERT_TRUE(dying.send(replyWith("lost").substr(0, 150)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.ListenRxBlock.count() == 150; }, 10000));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.Link.ClientOnListen; }, 10000));
    EXPECT_EQ(w.ListenRxBlock.count(), 0u);
    Peer next = gatewayCallsIn();
    const std::size_t from = w.Log.count();
    ASSERT_TRUE(next.send(replyWith("fresh")));
    ASSERT_TRUE(waitLine("Done!", from));
    EXPECT_EQ(w.Link.EthReplyText, "fresh");
}

TEST_F(NetLinks, TheFirstPacketOfAGatewayStartsTheAutomaticRead)
{
    // The search runs over one silent address, on the listening gateway.
    startListening("AutoDisplay=0\r\nAutoMbus=1\r\n");
    TForm11& w = f();
    w.UD_address_min->setValue(3);
    w.UD_address_max->setValue(3);
    StringGrid& grid = w.Grid_vantrel->grid();
    grid.setCell(0, 1, "00000009");
    grid.setRowCount(3);
    Peer gateway = gatewayCallsIn();
    ASSERT_TRUE(gateway.send(statusOnlyReply({.status = 1, .flags1 = 0x80})));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.SearchActive; }, 10000));
    EXPECT_TRUE(prompts.boxes.empty());   // the table was cleared without asking
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.cell(0, 1), "");
    // The search's request went out as the gateway's packet 1.
    ASSERT_TRUE(gateway.waitReceived(300));
    const std::string request = gateway.take(300);
    EXPECT_EQ(at(request, 6) * 256 + at(request, 7), 1);
    EXPECT_EQ(request.substr(16, 5), std::string("\x10\x7B\x03\x7E\x16", 5));
    w.Butt_find_primaryClick();   // stop
    ASSERT_FALSE(w.SearchActive);

    // A second packet, after something was sent, starts nothing.
    const std::size_t from = w.Log.count();
    ASSERT_TRUE(gateway.send(replyWith("x")));
    ASSERT_TRUE(waitLine("Done!", from));
    EXPECT_FALSE(w.SearchActive);

    // With the display read chosen, no search starts either (that read is the display's).
    gateway.close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.Link.ClientOnListen; }, 10000));
    settings().Check_autopexor->setChecked(true);
    EXPECT_FALSE(settings().Check_autombus->isChecked());
    Peer another = gatewayCallsIn();
    const std::size_t more = w.Log.count();
    ASSERT_TRUE(another.send(replyWith("y")));
    ASSERT_TRUE(waitLine("Done!", more));
    EXPECT_FALSE(w.SearchActive);
    EXPECT_EQ(w.Link.PacketNo, 1);
}

TEST_F(NetLinks, TheGatewayServerLinkAssemblesItsOwnBlock)
{
    Server server;
    startWith("UseEthernet=1\r\n", "[Ethernet]\r\nPort=0\r\nAutoDisplay=0\r\n[LANXP]\r\nPort=" + server.portText()
                                         + "\r\nNetNumber=10.0.0.1\r\n");
    TForm11& w = f();
    w.FormActivate();
    Peer listening = gatewayCallsIn();
    // The user moves to the gateway server; the listening gateway stays connected.
    settings().Check_tovek_server->setChecked(true);
    ASSERT_FALSE(settings().Check_ethernet->isChecked());
    w.Link.PacketNo = 9;
    const std::size_t from = w.Log.count();
    ASSERT_TRUE(w.PrepareLink());
    EXPECT_EQ(w.Log.line(from), "Trying to connect to Tovek-2 server...");
    EXPECT_EQ(w.Log.line(from + 1), "Connected TCP/IP, at 2:05:09 PM, server 127.0.0.1");
    EXPECT_EQ(w.Link.PacketNo, 1);
    Peer gwServer = server.accept();
    ASSERT_TRUE(gwServer.valid());

    w.Frames.SendReqUd2(1);
    ASSERT_TRUE(gwServer.waitReceived(300));
    EXPECT_EQ(gwServer.take(300).substr(1, 4), std::string("\x0A\x00\x00\x01", 4));

    // Half a packet on the listening link meanwhile leaves the server's reply whole.
    ASSERT_TRUE(listening.send(replyWith("noise").substr(0, 150)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.ListenRxBlock.count() == 150; }, 10000));
    const std::string reply = replyWith("server reply");
    ASSERT_TRUE(gwServer.send(reply.substr(0, 100)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.TovekRxBlock.count() == 100; }, 10000));
    ASSERT_TRUE(gwServer.send(reply.substr(100)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Link.EthReplyText == "server reply"; }, 10000));
    EXPECT_EQ(w.ListenRxBlock.count(), 150u);

    // 200 + 200 on this link too, then a good packet.
    std::size_t at200 = w.Log.count();
    ASSERT_TRUE(gwServer.send(reply.substr(0, 200)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.TovekRxBlock.count() == 200; }, 10000));
    ASSERT_TRUE(gwServer.send(reply.substr(0, 200)));
    ASSERT_TRUE(waitLine("Wrong byte count in the telegram, 400", at200));
    EXPECT_EQ(w.TovekRxBlock.count(), 0u);
    w.Link.EthReplyText.clear();
    ASSERT_TRUE(gwServer.send(replyWith("a") + replyWith("b")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Link.EthReplyText == "b"; }, 10000));

    // The exchange ends: the link is dropped and its block emptied.
    ASSERT_TRUE(gwServer.send(reply.substr(0, 50)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.TovekRxBlock.count() == 50; }, 10000));
    const std::size_t end = w.Log.count();
    w.ReleaseLink();
    EXPECT_FALSE(w.Link.TovekClientConnected);
    ASSERT_TRUE(waitLine("Disconnected TCP/IP connection at 2:05:09 PM, from server 127.0.0.1", end));
    EXPECT_EQ(w.Log.line(w.Log.count() - 1), "");
    EXPECT_EQ(w.TovekRxBlock.count(), 0u);
    EXPECT_TRUE(gwServer.waitClosed());
}

TEST_F(NetLinks, WhatIsSentIsOnTheWireWhenTheSendReturns)
{
    // The window's events do not run between a send and these reads: bytes left in a
    // socket's buffer would go out only later, after whatever holds the window meanwhile
    // (the pause after a global SND_NKE).
    Server server;
    startWith("UseEthernet=1\r\n", "[Ethernet]\r\nPort=0\r\nAutoDisplay=0\r\n[LANXP]\r\nPort=" + server.portText()
                                         + "\r\n");
    TForm11& w = f();
    w.FormActivate();
    Peer gateway = gatewayCallsIn();
    w.Frames.SendSndNke(255);
    const std::string nke = gateway.raw().read(300, 5s);
    ASSERT_EQ(nke.size(), 300u);
    EXPECT_EQ(nke.substr(16, 5), std::string("\x10\x40\xFF\x3F\x16", 5));
    w.SendPexorCommand("GET TIME");
    EXPECT_EQ(gateway.raw().read(8, 5s), "GET TIME");

    settings().Check_tovek_server->setChecked(true);
    ASSERT_TRUE(w.PrepareLink());
    Peer gwServer = server.accept();
    ASSERT_TRUE(gwServer.valid());
    w.Frames.SendReqUd2(1);
    EXPECT_EQ(gwServer.raw().read(300, 5s).size(), 300u);
    w.ReleaseLink();

    settings().Check_xport->setChecked(true);
    ASSERT_TRUE(w.PrepareLink());
    Peer module = server.accept();
    ASSERT_TRUE(module.valid());
    w.Frames.SendReqUd2(1);
    EXPECT_EQ(module.raw().read(5, 5s), std::string("\x10\x7B\x01\x7C\x16", 5));
    w.ReleaseLink();
}

TEST_F(NetLinks, HostilePeersCostNothingButLogLines)
{
    startListening();
    TForm11& w = f();
    QTest::qWait(0);
    const std::size_t descriptors = openSockets();
    const std::size_t sockets = programSockets();

    // 1 MiB of random bytes: at most one failure line per 300 bytes, and the window's
    // timers keep running while it is read.
    {
        Peer flood = gatewayCallsIn();
        std::mt19937 random(7);
        std::string garbage(1 << 20, '\0');
        for (char& c : garbage)
            c = static_cast<char>(random());
        std::vector<std::size_t> seen;   // log lines at each tick
        QTimer ticker;   // ticks whenever the window's loop is free
        ticker.setInterval(0);
        QObject::connect(&ticker, &QTimer::timeout, [&] { seen.push_back(w.Log.count()); });
        const std::size_t from = w.Log.count();
        ticker.start();
        ASSERT_TRUE(flood.send(garbage));
        ASSERT_TRUE(allRead(flood, *w.Socket1Connections.front()));
        ticker.stop();
        const std::size_t blocks = garbage.size() / 300;
        EXPECT_LE(w.Log.count() - from, blocks + 1);
        // A read that overshoots restarts assembly anywhere in the stream: any check may fail.
        for (const std::string& line : logFrom(from))
            ASSERT_TRUE((line.starts_with("Error in ") && line.ends_with(" of ethernet response..."))
                        || line.starts_with("Wrong byte count in the telegram, "))
                << line;
        const std::size_t end = w.Log.count();
        EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [&](std::size_t n) { return n > from && n < end; }))
            << "no timer tick while the flood was read, " << seen.size() << " ticks";
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.Link.ClientOnListen; }, 10000));

    // 200 connects and closes in a row (the program's events run between them, or the
    // system's queue of connections not yet taken would fill).
    for (int i = 0; i < 200; ++i) {
        Peer p = Peer::connectTo(port());
        ASSERT_TRUE(p.valid()) << i;
        p.close();
        QCoreApplication::processEvents();
    }
    takeQueuedConnections();
    ASSERT_TRUE(QTest::qWaitFor([&] { return programSockets() == sockets; }, 30000));

    // 20 connects while a gateway is connected: each closed at once, the gateway unharmed.
    Peer gateway = gatewayCallsIn();
    const int gatewayPort = w.GatewayRemotePort;
    w.Link.PacketNo = 5;
    const std::size_t from = w.Log.count();
    for (int i = 0; i < 20; ++i) {
        Peer intruder = Peer::connectTo(port());
        ASSERT_TRUE(intruder.valid());
        EXPECT_TRUE(intruder.waitClosed()) << i;
    }
    EXPECT_EQ(w.Log.count(), from);
    EXPECT_EQ(w.Link.PacketNo, 5);
    EXPECT_EQ(w.GatewayRemotePort, gatewayPort);
    EXPECT_TRUE(w.Link.ClientOnListen);
    w.SendPexorCommand("GET TIME");
    ASSERT_TRUE(gateway.waitReceived(8));
    EXPECT_EQ(gateway.received(), "GET TIME");
    ASSERT_TRUE(gateway.send(replyWith("12:00")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Link.EthReplyText == "12:00"; }, 10000));
    gateway.close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.Link.ClientOnListen; }, 10000));

    // Nothing is left behind.
    ASSERT_TRUE(QTest::qWaitFor([&] { return programSockets() == sockets && openSockets() == descriptors; }, 30000))
        << programSockets() << " sockets, " << openSockets() << " socket descriptors";
}

TEST_F(NetLinks, AnIdleGatewayIsDroppedAndTheSocketListensAgain)
{
    startListening();
    TForm11& w = f();
    w.Timer_close_socket->setInterval(300);
    Peer idle = gatewayCallsIn();
    EXPECT_TRUE(w.Timer_close_socket->isActive());
    const std::size_t from = w.Log.count();
    ASSERT_TRUE(idle.waitClosed());
    ASSERT_TRUE(waitLine("Socket is opened at port 0", from));
    EXPECT_TRUE(w.Link.ListenOpen);
    EXPECT_FALSE(w.Link.ClientOnListen);
    EXPECT_FALSE(w.Timer_close_socket->isActive());
    EXPECT_EQ(logCount("Connection closed by client at 2/3/26, 2:05:09 PM", from), 1u);

    // Reads every 100 ms keep a gateway (the time-out here far longer than that gap).
    w.Timer_close_socket->setInterval(1000);
    Peer busy = gatewayCallsIn();
    QTimer sender;
    sender.setInterval(100);
    int sent = 0;
    QObject::connect(&sender, &QTimer::timeout, [&] { busy.send(replyWith("tick")); ++sent; });
    const std::size_t keep = w.Log.count();
    sender.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return logCount("Done!", keep) >= 20; }, 30000));
    sender.stop();
    EXPECT_TRUE(w.Link.ClientOnListen);
    EXPECT_EQ(logCount("Socket is opened at port 0", keep), 0u);

    // An empty port text: nothing closes or opens, the flags are cleared, the timer goes on.
    w.Timer_close_socket->setInterval(300);
    settings().Edit_tcp_port->setText("");
    const std::size_t empty = w.Log.count();
    w.Timer_close_socket->start();
    ASSERT_TRUE(waitLine("Socket port is not defined in Settings...", empty));
    EXPECT_FALSE(w.Link.ListenOpen || w.Link.ClientOnListen);
    EXPECT_TRUE(w.Timer_close_socket->isActive());
    EXPECT_TRUE(w.Socket1->isListening());
}

TEST_F(NetLinks, TheDisplayModuleConnectsPerExchangeAndBoundsWhatItCollects)
{
    Server module;
    startWith("UseLANXP=1\r\n", "[LANXP]\r\nPort=" + module.portText() + "\r\n");
    TForm11& w = f();
    const std::size_t from = w.Log.count();
    ASSERT_TRUE(w.PrepareLink());
    EXPECT_EQ(w.Log.line(from), "Trying to connect to Pexor-V48 ethernet...");
    EXPECT_EQ(w.Log.line(from + 1), "Connected TCP/IP, at 2:05:09 PM");
    Peer peer = module.accept();
    ASSERT_TRUE(peer.valid());

    // A module that keeps sending unasked fills at most 64 KiB.
    ASSERT_TRUE(peer.send(std::string(1 << 20, 'z')));
    ASSERT_TRUE(allRead(peer, *w.Xport_socket));
    EXPECT_EQ(w.Link.LanxpReplyText.size(), 64u * 1024);

    // The next request gets its own reply.
    w.Frames.SendReqUd2(1);
    EXPECT_EQ(w.Link.LanxpReplyText, "");
    ASSERT_TRUE(peer.waitReceived(5));
    EXPECT_EQ(peer.take(5), std::string("\x10\x7B\x01\x7C\x16", 5));
    ASSERT_TRUE(peer.send("\xE5"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Link.LanxpReplyText == "\xE5"; }, 10000));

    const std::size_t end = w.Log.count();
    w.ReleaseLink();
    EXPECT_FALSE(w.Link.LanxpConnected);
    EXPECT_TRUE(waitLine("Disconnected TCP/IP connection at 2:05:09 PM", end));
    EXPECT_TRUE(peer.waitClosed());

    // A module that is not there: no connection, and nothing to send on.
    const ClosedPort closed;
    settings().Edit_lanxp_port->setText(QString::fromStdString(closed.text()));
    const std::size_t refused = w.Log.count();
    EXPECT_FALSE(w.PrepareLink());
    EXPECT_EQ(logCount("Socket error #10061", refused), 1u);
    // A port text that is no port: refused before any connection.
    settings().Edit_lanxp_port->setText("70000");
    EXPECT_FALSE(w.PrepareLink());
    EXPECT_EQ(w.Log.line(w.Log.count() - 1), "Remote IP and Port are not properly set...");

    // A target changed under a live connection is refused, and the link dropped.
    settings().Edit_lanxp_port->setText(QString::fromStdString(module.portText()));
    ASSERT_TRUE(w.PrepareLink());
    Peer live = module.accept();
    settings().Edit_lanxp_port->setText(QString::fromStdString(closed.text()));
    const std::size_t changed = w.Log.count();
    w.Butt_connect_xportClick();
    EXPECT_EQ(w.Log.line(changed), "Remote IP and Port are not properly set...");
    EXPECT_FALSE(w.Link.LanxpConnected);
    EXPECT_TRUE(live.waitClosed());
}

} // namespace
